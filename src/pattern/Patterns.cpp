// Patterns: definitions with their tile items, fills, and the headers written at the end.
#include <algorithm>
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "filter/DefinitionNames.h"

namespace {

constexpr unsigned short kNoBackground = 65535;

struct TileBox {
    double minX, minY, maxX, maxY;
};

// The box of a tile as its header states it: the extent of its paths, and
// one gap between tiles when the pattern filled anything. A tile without
// paths has no extent at all, whatever the slot held before.
TileBox HeaderBox(const PatternSlot& slot)
{
    if (!slot.tileBoundsValid)
        return {0.0, 0.0, 0.0, 0.0};
    TileBox box{slot.minX, slot.minY, slot.maxX, slot.maxY};
    if (slot.used) {
        box.maxX += (slot.maxX - slot.minX) * slot.columnSpacing;
        box.maxY += (slot.maxY - slot.minY) * slot.rowSpacing;
    }
    return box;
}

// How much a fill scales the tile so that it has the size asked for; a tile
// without extent in a direction is left at its size there.
double TileScale(double wanted, double extent) { return extent > 0.0 ? wanted / extent : 1.0; }

}  // namespace

int AAIExportFilter::WriteTileBackground(const SetColorByValueData& color)
{
    if (color.model != 0) {
        const double cmyk[4] = {color.cyan, color.magenta, color.yellow, color.black};
        return output.Write(token::Reals{cmyk, 4}, " k\n");
    }
    if (color.red == color.green && color.red == color.blue)
        return output.Write(token::Real{color.red * kOneOver255}, "g\n");
    const double rgb[3] = {color.red * kOneOver255, color.green * kOneOver255,
                           color.blue * kOneOver255};
    return output.Write(token::Reals{rgb, 3}, " Xa\n");
}

int AAIExportFilter::SetPatternSections(int* count)
{
    return count != nullptr && *count <= kDefinitionSlots ? 1 : 0;
}

int AAIExportFilter::SetPatternDef(SetPatternDefData* data)
{
    if (data == nullptr)
        return 0;
    const std::size_t length = DefinitionNameLength(data->name);
    // A nameless slot counts as free: its header would never be written.
    if (length == 0)
        return 0;
    // A definition still open ends before the next begins: its tile would
    // otherwise hold this one.
    if (inPatternDefinition && !EndPattern())
        return 0;
    // Slots fill from the first: the next free one is counted, not sought.
    const int index = patternCount;
    if (index == kDefinitionSlots)
        return 0;
    ++searchSteps;
    char name[sizeof PatternSlot::name];
    StoreBoundedName(name, data->name, kMaxDefinitionName);
    if (!output.Write("%AI3_BeginPattern: ", token::String(name), "\n"))
        return 0;
    brackets.Push(Bracket::kPattern);

    PatternSlot& slot = patternTable[index];
    slot = PatternSlot{};  // nothing of an earlier definition in this slot survives
    std::memcpy(slot.name, name, sizeof name);
    patternIndex.Add(slot.name, index);
    ++patternCount;
    slot.tag = data->tag;
    slot.tileWidth = DistanceToPS(data->tileWidth);
    slot.tileHeight = DistanceToPS(data->tileHeight);
    slot.extra1 = DistanceToPS(data->extra1);
    slot.extra2 = DistanceToPS(data->extra2);
    slot.extra3 = DistanceToPS(data->extra3);
    slot.extraWord = data->extraWord;
    inPatternDefinition = 1;
    // The tile starts empty, whether or not its beginning record comes.
    patternTileFirstPath = 1;
    patternItemOpened = 0;
    patternTileAttribWritten = 0;
    currentPatternIndex = index;
    currentDefinitionIndex = index;

    const int flushed = output.WriteBufferToExportFile(0);
    // The header goes right after that line. Should the flush fail, the line
    // still waits at the end of the buffer and lands there later.
    const long at = BodyPosition();
    const unsigned int buffered = output.Length();
    if (at < 0)
        return 0;
    slot.tempPosition = static_cast<unsigned long long>(at) + buffered;
    return flushed;
}

int AAIExportFilter::SetPatternTrans(char* data)
{
    if (data == nullptr || !inPatternDefinition)
        return 0;
    patternTable[currentPatternIndex].transfer = data[0];
    return 1;
}

int AAIExportFilter::SetPatternColSpacing(double* data)
{
    if (data == nullptr || !inPatternDefinition)
        return 0;
    patternTable[currentPatternIndex].columnSpacing = *data * 0.01;
    return 1;
}

int AAIExportFilter::SetPatternRowSpacing(double* data)
{
    if (data == nullptr || !inPatternDefinition)
        return 0;
    patternTable[currentPatternIndex].rowSpacing = *data * 0.01;
    return 1;
}

int AAIExportFilter::SetPatternBackground(SetColorByValueData* data)
{
    if (data == nullptr || !inPatternDefinition)
        return 0;
    PatternSlot& slot = patternTable[currentPatternIndex];
    slot.hasBackground = data->model != kNoBackground;
    slot.background = *data;
    return 1;
}

int AAIExportFilter::BeginPattern()
{
    if (!inPatternDefinition)
        return 0;
    patternTileAttribWritten = 0;
    patternTileFirstPath = 1;
    patternItemOpened = 0;
    patternTable[currentPatternIndex].tileBoundsValid = false;
    return 1;
}

int AAIExportFilter::EndPattern()
{
    // Without an open definition the closing lines would end a string and an
    // array that no one began: nothing is written.
    if (!inPatternDefinition)
        return 0;
    // What the tile still has open closes inside it.
    const int inner = brackets.Has(Bracket::kPattern) ? CloseBracketsAbove(Bracket::kPattern) : 1;
    brackets.Remove(Bracket::kPattern);
    // An item opened by a colour but never given a path still needs its
    // attribute block; a tile without any item has nothing to close.
    const bool itemPending = patternItemOpened;
    const bool noItem = patternTileFirstPath && !patternItemOpened;
    if (itemPending && !SetPatternTilePathLineStyle())
        return 0;
    inPatternDefinition = 0;
    patternTileFirstPath = 0;
    patternTileAttribWritten = 0;
    patternItemOpened = 0;
    if (!noItem && !output.Write("%AI6_EndPatternLayer\n) &\n"))
        return 0;
    if (!output.Write("] E\n%AI3_EndPattern\n"))
        return 0;
    return output.WriteBufferToExportFile(0) && inner;
}

int AAIExportFilter::SetPatternTilePathAttrib()
{
    const int written = patternTileFirstPath
                            ? output.Write("(0 O 0 R ")
                            : output.Write("%AI6_EndPatternLayer\n) &\n", "(0 O 0 R ");
    if (!written)
        return 0;
    patternItemOpened = 1;
    return 1;
}

int AAIExportFilter::SetPatternTilePathLineStyle()
{
    const SetStrokeData& stroke = graphicsState.stroke;
    // A tile path that came without a colour still opens its item, or the
    // block below would close a string that was never begun.
    if (!output.Write(token::Text(patternItemOpened ? "" : "(0 O 0 R "),
                      ") @\n(\n%AI6_BeginPatternLayer\n800 Ar\n",
                      token::Integer{std::max(CapCode(stroke.cap), 0)}, "J ",
                      token::Integer{std::max(JoinCode(stroke.join), 0)}, "j ",
                      token::Real{DistanceToPS(stroke.width)}, "w ", token::Real{stroke.miterLimit},
                      "M [] 0 d\n%AI3_Note:\n0 D\n1 XR\n"))
        return 0;
    patternItemOpened = 0;
    return 1;
}

int AAIExportFilter::IsPatternNameDefined(const char* name, int& index)
{
    ++searchSteps;
    return FindIndexedSlot(patternIndex, kDefinitionSlots, name, index);
}

int AAIExportFilter::SetExportPatternFill()
{
    int index = kDefinitionSlots;
    if (!IsPatternNameDefined(graphicsState.fillTypeName.name, index))
        return 0;
    PatternSlot& slot = patternTable[index];
    // Scales come from the tile's own extent, never from a box that an
    // earlier fill widened, so every fill of a pattern looks the same.
    const double width = slot.tileBoundsValid ? slot.maxX - slot.minX : 0.0;
    const double height = slot.tileBoundsValid ? slot.maxY - slot.minY : 0.0;

    if (!output.Write(Name(slot.name), "0 0 ", token::Real{TileScale(slot.tileWidth, width)},
                      token::Real{TileScale(slot.tileHeight, height)},
                      "0 0 0 0 0 [1 0 0 1 0 0] p\n"))
        return 0;
    slot.used = true;
    patternFillWritten = 1;
    return 1;
}

int AAIExportFilter::ExportPatternDefinition(unsigned long long& position)
{
    for (int i = 0; i < kDefinitionSlots && patternTable[i].name[0] != '\0'; ++i) {
        const PatternSlot& slot = patternTable[i];
        // Definitions lie in the body in slot order; one that does not is
        // beyond repair.
        if (slot.tempPosition < position)
            return 0;
        if (!output.CopyTempToExport(slot.tempPosition - position))
            return 0;
        position = slot.tempPosition;

        const TileBox box = HeaderBox(slot);
        const double bounds[4] = {box.minX, box.minY, box.maxX, box.maxY};
        if (!output.Write(token::String(slot.name), token::Reals{bounds, 4},
                          "[\n%AI3_Tile\n(0 O 0 R ") ||
            (slot.hasBackground && !WriteTileBackground(slot.background)))
            return 0;
        patternItemOpened = 1;  // the background item is open; its block follows
        if (!SetPatternTilePathLineStyle())
            return 0;

        const double corners[5][2] = {{box.minX, box.minY},
                                      {box.maxX, box.minY},
                                      {box.maxX, box.maxY},
                                      {box.minX, box.maxY},
                                      {box.minX, box.minY}};
        // The tile's box: filled with the background, or left unpainted without one.
        if (!output.Write(token::Reals{corners[0], 2}, "m\n", token::Reals{corners[1], 2}, "l\n",
                          token::Reals{corners[2], 2}, "l\n", token::Reals{corners[3], 2}, "l\n",
                          token::Reals{corners[4], 2}, "l\n", slot.hasBackground ? "f\n" : "n\n",
                          "%AI6_EndPatternLayer\n) &\n"))
            return 0;
        if (!output.WriteBufferToExportFile(1))
            return 0;
    }
    return 1;
}
