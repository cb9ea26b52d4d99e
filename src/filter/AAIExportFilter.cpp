// The filter object: construction, the exported factory, the descriptor.
#include "filter/AAIExportFilter.h"

#include <cstring>
#include <new>

#include "platform/Platform.h"

namespace plat = aiexport_platform;

AAIExportFilter* AAIExportFilter::filter = nullptr;

AAIExportFilter::AAIExportFilter()
{
    textState.pendingString.Reserve(256, 0);
    ResetPicture();
}

AAIExportFilter::~AAIExportFilter()
{
    if (filter == this)
        filter = nullptr;
    ReleaseTarget();
    tempFile.Close();
}

extern "C" __attribute__((visibility("default"))) AHostExportFilter* getFilter()
{
    if (AAIExportFilter::filter != nullptr)
        return AAIExportFilter::filter;
    try {
        auto* created = new (std::nothrow) AAIExportFilter();
        if (created != nullptr && (created->getFilterDescriptor() == nullptr)) {
            delete created;
            created = nullptr;
        }
        AAIExportFilter::filter = created;
    } catch (...) {
        AAIExportFilter::filter = nullptr;
    }
    return AAIExportFilter::filter;
}

char* AAIExportFilter::getFilterDescriptor()
{
    // A filter whose buffer could not be allocated is unusable.
    if (!output.HasBuffer() || textState.pendingString.Data() == nullptr)
        return nullptr;
    const char* text = plat::LoadModuleString(1);
    std::strncpy(descriptorText, text, sizeof descriptorText - 1);
    descriptorText[sizeof descriptorText - 1] = '\0';
    return descriptorText;
}

int AAIExportFilter::hasPrefererences() { return 0; }

int AAIExportFilter::displayPreferenceDialog() { return 1; }
