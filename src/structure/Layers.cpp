// Declared layers and the layer brackets around their objects.
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "filter/DefinitionNames.h"

namespace {

constexpr std::size_t kLayerGrowth = 10;
// Names longer than the list's field keeps are cut, never overrun.
constexpr std::size_t kMaxLayerName = sizeof LayerDefinition::name - 1;

}  // namespace

int AAIExportFilter::DefineLayer(const DefLayerData* data)
{
    if (data == nullptr)
        return 0;
    const std::size_t count = layerDefinitions.Size();
    if (count == layerDefinitions.Capacity() &&
        !layerDefinitions.Reserve(count + kLayerGrowth, count))
        return 0;  // the layers declared so far stay

    LayerDefinition layer{};
    StoreBoundedName(layer.name, data->name, kMaxLayerName);
    layer.visibility = data->visibility;
    return layerDefinitions.Append(layer);
}

int AAIExportFilter::BeginLayer(const char* name)
{
    if (name == nullptr)
        return 0;
    // The host's text has no declared size: read no more than a name can hold.
    const std::size_t count = layerDefinitions.Size();
    std::size_t index = 0;
    while (index < count && !IsSameBoundedName(layerDefinitions[index].name, name, kMaxLayerName))
        ++index;
    if (index == count) {
        openLayers.push_back(false);  // undeclared: its objects go outside any layer
        return 1;
    }

    const LayerDefinition& layer = layerDefinitions[index];
    // Visible, preview, enabled, printing, dimmed, multi-layer masks, colour
    // index, then red green blue: the red component tells the layers apart.
    if (!output.Write("%AI5_BeginLayer\n", token::Integer{layer.visibility}, " 1 1 1 0 0 -1 ",
                      token::Integer{static_cast<int>(index)}, " 0 0  Lb\n",
                      token::String(layer.name), "Ln\n"))
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
    layerDefinitions.Clear();
    openLayers.clear();
}
