// Defaults of the text attributes, applied at each picture and drawing section.
#include "filter/AAIExportFilter.h"

void AAIExportFilter::ResetTextState()
{
    static_cast<TextAttributes&>(textState) = TextAttributes{};
    // The block stays: it is only room for the next run.
    if (textState.pendingString.Data() != nullptr)
        textState.pendingString[0] = '\0';
}
