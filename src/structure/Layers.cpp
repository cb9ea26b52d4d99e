// Declared layers and the layer brackets around their objects.
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "filter/DefinitionNames.h"

namespace {

// The first block holds ten layers; each later one twice the last, so that
// declaring n layers copies fewer than 2n.
constexpr std::size_t kFirstLayerBlock = 10;
// Names longer than the list's field keeps are cut, never overrun.
constexpr std::size_t kMaxLayerName = sizeof LayerDefinition::name - 1;

}  // namespace

int AAIExportFilter::DefineLayer(const DefLayerData* data)
{
    if (data == nullptr)
        return 0;
    const std::size_t count = layerDefinitions.Size();
    if (count == layerDefinitions.Capacity() &&
        !layerDefinitions.Reserve(count == 0 ? kFirstLayerBlock : 2 * count, count))
        return 0;  // the layers declared so far stay

    LayerDefinition layer{};
    StoreBoundedName(layer.name, data->name, kMaxLayerName);
    layer.visibility = data->visibility;
    if (!layerDefinitions.Append(layer))
        return 0;
    ++searchSteps;
    layerIndex.Add(layer.name, static_cast<int>(count));
    return 1;
}

int AAIExportFilter::BeginLayer(const char* name)
{
    if (name == nullptr)
        return 0;
    // The host's text has no declared size: the index reads no more than a
    // name can hold.
    ++searchSteps;
    const int index = layerIndex.Find(name);
    if (index < 0) {
        brackets.Push(Bracket::kUndeclaredLayer);  // its objects go outside any layer
        return 1;
    }

    const LayerDefinition& layer = layerDefinitions[static_cast<std::size_t>(index)];
    // Visible, preview, enabled, printing, dimmed, multi-layer masks, colour
    // index, then red green blue: the red component tells the layers apart.
    if (!output.Write("%AI5_BeginLayer\n", token::Integer{layer.visibility}, " 1 1 1 0 0 -1 ",
                      token::Integer{index}, " 0 0  Lb\n", token::String(layer.name), "Ln\n"))
        return 0;
    brackets.Push(Bracket::kLayer);
    return output.WriteBufferToExportFile(0);
}

int AAIExportFilter::EndLayer()
{
    // Each end closes its own opening once: a second end would unbalance the brackets.
    const bool declared = brackets.Innermost(Bracket::kLayer, Bracket::kUndeclaredLayer);
    if (!brackets.Remove(declared ? Bracket::kLayer : Bracket::kUndeclaredLayer))
        return 0;
    if (!declared)
        return 1;
    if (!output.Write("LB\n%AI5_EndLayer\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}
