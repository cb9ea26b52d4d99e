// Colours defined by name: the colour table, its lookup and the uses by name.
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "filter/DefinitionNames.h"

namespace {

// Names travel in 64-byte arrays that the host need not terminate.
static_assert(sizeof NAME_TAG::name == kMaxDefinitionName + 1 &&
              sizeof SetColorDefData::name == kMaxDefinitionName + 1);

void CopyColorName(char (&target)[sizeof NAME_TAG::name], const char* source)
{
    StoreBoundedName(target, source, kMaxDefinitionName);
}

bool IsSameColorName(const char* a, const char* b)
{
    return IsSameBoundedName(a, b, kMaxDefinitionName);
}

}  // namespace

int AAIExportFilter::SetColorDef(SetColorDefData* data)
{
    if (data == nullptr)
        return 0;
    // Slots fill from the first: the next free one is counted, not sought.
    if (colorCount == kDefinitionSlots)
        return 0;  // all slots in use: the definition is lost
    ++searchSteps;
    SetColorDefData& slot = colorTable[colorCount];
    // The whole colour is copied, not only the group its model names: a
    // use that reads the other group must not find an older colour there.
    slot.tag = data->tag;
    slot.color = data->color;
    slot.spot = data->spot;
    CopyColorName(slot.name, data->name);
    // A nameless definition leaves its slot free for the next.
    if (slot.name[0] != '\0') {
        colorIndex.Add(slot.name, colorCount);
        ++colorCount;
    }
    return 1;
}

int AAIExportFilter::IsColorExistingByColorName(const char* name, int& index)
{
    ++searchSteps;
    return FindIndexedSlot(colorIndex, kDefinitionSlots, name, index);
}

int AAIExportFilter::ExportSetNameColor(NAME_TAG* nameTag, int isFill)
{
    if (nameTag == nullptr)
        return 0;
    if (!OpenColorOperator())
        return 0;
    char name[sizeof NAME_TAG::name];
    CopyColorName(name, nameTag->name);
    int index = kDefinitionSlots;
    if (!IsColorExistingByColorName(name, index))
        return 0;

    SetColorDefData& slot = colorTable[index];
    const int isCustom = slot.spot != 0;
    if (slot.color.model == 1)
        return ExportSetCMYKColor(slot.color.cyan, slot.color.magenta, slot.color.yellow,
                                  slot.color.black, isFill, isCustom, slot.name);
    slot.color.model = 0;
    return ExportSetRGBColor(slot.color.red * kOneOver255, slot.color.green * kOneOver255,
                             slot.color.blue * kOneOver255, isFill, isCustom, slot.name);
}

int AAIExportFilter::SetFillColorByName(NAME_TAG* nameTag)
{
    if (nameTag == nullptr)
        return 0;
    // Inside a tile the colour stays in force from path to path; outside, a
    // colour by name is written at every use. It is in force only while no
    // other colour, by value or by another name, has been set since.
    const bool inForce = graphicsState.fillByName &&
                         IsSameColorName(nameTag->name, graphicsState.fillColorName.name);
    graphicsState.fillByName = 1;
    if (inForce && inPatternDefinition && !patternTileFirstPath)
        return 1;
    CopyColorName(graphicsState.fillColorName.name, nameTag->name);
    graphicsState.fillColorName.tag = nameTag->tag;
    return ExportSetNameColor(nameTag, 1);
}

int AAIExportFilter::SetStrokeColorByName(NAME_TAG* nameTag)
{
    if (nameTag == nullptr)
        return 0;
    const bool inForce = graphicsState.strokeByName &&
                         IsSameColorName(nameTag->name, graphicsState.strokeColorName.name);
    graphicsState.strokeByName = 1;
    if (inForce && inPatternDefinition && !patternTileFirstPath)
        return 1;
    CopyColorName(graphicsState.strokeColorName.name, nameTag->name);
    graphicsState.strokeColorName.tag = nameTag->tag;
    return ExportSetNameColor(nameTag, 0);
}
