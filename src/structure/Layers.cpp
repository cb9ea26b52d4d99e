// Declared layers and the layer brackets around their objects.
#include <climits>
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "platform/Platform.h"

namespace plat = aiexport_platform;

namespace {

constexpr int kLayerGrowth = 10;
// Names longer than the list's field keeps are cut, never overrun.
constexpr std::size_t kMaxLayerName = sizeof LayerDefinition::name - 1;

}  // namespace

int AAIExportFilter::DefineLayer(const DefLayerData* data)
{
    if (data == nullptr)
        return 0;
    if (layerCount == layerCapacity) {
        if (layerCapacity > INT_MAX - kLayerGrowth)
            return 0;
        const int capacity = layerCapacity + kLayerGrowth;
        auto* grown = static_cast<LayerDefinition*>(
            plat::Allocate(static_cast<std::size_t>(capacity) * sizeof(LayerDefinition)));
        if (grown == nullptr)
            return 0;  // the layers declared so far stay
        if (layerCount > 0)
            std::memcpy(grown, layerDefinitions,
                        static_cast<std::size_t>(layerCount) * sizeof(LayerDefinition));
        plat::Free(layerDefinitions);
        layerDefinitions = grown;
        layerCapacity = capacity;
    }

    LayerDefinition& layer = layerDefinitions[layerCount];
    const std::size_t length = strnlen(data->name, kMaxLayerName);
    std::memcpy(layer.name, data->name, length);
    layer.name[length] = '\0';
    layer.visibility = data->visibility;
    ++layerCount;
    return 1;
}

int AAIExportFilter::BeginLayer(const char* name)
{
    if (name == nullptr)
        return 0;
    // The host's text has no declared size: read no more than a name can hold.
    const std::size_t length = strnlen(name, kMaxLayerName);

    int index = 0;
    while (index < layerCount) {
        const char* declared = layerDefinitions[index].name;
        if (std::strlen(declared) == length && std::memcmp(declared, name, length) == 0)
            break;
        ++index;
    }
    if (index == layerCount) {
        openLayers.push_back(false);  // undeclared: its objects go outside any layer
        return 1;
    }

    const LayerDefinition& layer = layerDefinitions[index];
    // Visible, preview, enabled, printing, dimmed, multi-layer masks, colour
    // index, then red green blue: the red component tells the layers apart.
    if (!output.Write("%AI5_BeginLayer\n", token::Integer{layer.visibility}, " 1 1 1 0 0 -1 ",
                      token::Integer{index}, " 0 0  Lb\n", token::String(layer.name), "Ln\n"))
        return 0;
    openLayers.push_back(true);
    return output.WriteBufferToExportFile(0);
}

int AAIExportFilter::EndLayer()
{
    // Each end closes its own opening once: a second end would unbalance the brackets.
    if (openLayers.empty())
        return 0;
    const bool bracketed = openLayers.back();
    openLayers.pop_back();
    if (!bracketed)
        return 1;
    if (!output.Write("LB\n%AI5_EndLayer\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}

void AAIExportFilter::ClearLayerDefinitions()
{
    plat::Free(layerDefinitions);
    layerDefinitions = nullptr;
    layerCount = 0;
    layerCapacity = 0;
    openLayers.clear();
}
