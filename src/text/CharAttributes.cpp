// Character and paragraph attributes, tracking, the font size factor and the font lookup.
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "text/FontTables.h"

namespace {

constexpr std::size_t kNameArray = sizeof SetCharAttrData::faceName;
static_assert(sizeof SetCharAttrData::styleName == kNameArray);
static_assert(sizeof TextState::faceName == kNameArray && sizeof TextState::styleName == kNameArray);

// Face, "-", style and the NUL: names that fill their arrays unterminated still fit whole.
constexpr std::size_t kJoinedNameArea = kNameArray + 1 + kNameArray + 1;
// "/_", the joined name, a blank; the em size, ascent, descent; "Tf\n".
constexpr std::size_t kFontRoom = 2 + (kJoinedNameArea - 1) + 1 + 3 * kMaxRealToken + 3;
// Three percentages and the longest tail, "TW\n0 Tc\n0 Tw\n".
constexpr std::size_t kSpacingRoom = 3 * kMaxRealToken + 13;
// The scale, "100 ", "Tz\n".
constexpr std::size_t kScaleRoom = kMaxRealToken + 4 + 3;

// Host names arrive in fixed arrays that need not be terminated.
std::size_t NameLength(const char (&name)[kNameArray])
{
    return strnlen(name, kNameArray);
}

bool IsSameName(const char (&a)[kNameArray], const char (&b)[kNameArray])
{
    const std::size_t length = NameLength(a);
    return length == NameLength(b) && std::memcmp(a, b, length) == 0;
}

void StoreName(char (&stored)[kNameArray], const char (&incoming)[kNameArray])
{
    const std::size_t length = NameLength(incoming);
    std::memcpy(stored, incoming, length);
    std::memset(stored + length, 0, kNameArray - length);
}

void JoinHostName(char (&joined)[kJoinedNameArea], const char (&face)[kNameArray],
                  const char (&style)[kNameArray])
{
    const std::size_t faceLength = NameLength(face);
    const std::size_t styleLength = NameLength(style);
    std::memcpy(joined, face, faceLength);
    joined[faceLength] = '-';
    std::memcpy(joined + faceLength + 1, style, styleLength);
    joined[faceLength + 1 + styleLength] = '\0';
}

}  // namespace

int AAIExportFilter::SetCharAttr(SetCharAttrData* data)
{
    if (data == nullptr)
        return 0;
    TextState& t = textState;
    // A value without an operator still ends the run when it changes.
    auto keep = [this](auto& stored, auto incoming) {
        if (textStarted && incoming == stored)
            return 1;
        if (!BreakRun())
            return 0;
        stored = incoming;
        return 1;
    };

    // sizeIsEm is left out of the comparison: alone it changes neither the font nor the run.
    const double fontSize = data->fontSize;
    if (!textStarted || !IsSameName(data->faceName, t.faceName) ||
        !IsSameName(data->styleName, t.styleName) || fontSize != t.fontSize) {
        if (!BreakRun() || !EnsureRoom(kFontRoom))
            return 0;
        StoreName(t.faceName, data->faceName);
        StoreName(t.styleName, data->styleName);
        t.faceNameLength = data->faceNameLength;
        t.styleNameLength = data->styleNameLength;
        t.fontSize = fontSize;
        t.sizeIsEm = data->sizeIsEm;

        char joined[kJoinedNameArea];
        JoinHostName(joined, t.faceName, t.styleName);
        bufferLength += StringToFontName(buffer + bufferLength, LookUpPostScriptName(joined));
        const double em = t.sizeIsEm ? fontSize : fontSize / CalculateFontFactor(fontSize);
        bufferLength += FloatToString(buffer + bufferLength, em);
        bufferLength += FloatToString(buffer + bufferLength, em * 0.75);
        bufferLength += FloatToString(buffer + bufferLength, em * -0.25);
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "Tf\n");
    }

    const double charSpacing = data->charSpacing;
    if (!textStarted || charSpacing != t.charSpacing) {
        if (!BreakRun() || !EnsureRoom(kSpacingRoom))
            return 0;
        t.charSpacing = charSpacing;
        for (int i = 0; i < 3; ++i)  // minimum, optimum, maximum
            bufferLength += FloatToString(buffer + bufferLength, charSpacing * 100);
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "TC\n");
    }

    const double wordSpacing = data->wordSpacing;
    if (!textStarted || wordSpacing != t.wordSpacing) {
        if (!BreakRun() || !EnsureRoom(kSpacingRoom))
            return 0;
        t.wordSpacing = wordSpacing;
        for (int i = 0; i < 3; ++i)
            bufferLength += FloatToString(buffer + bufferLength, (wordSpacing + 1) * 100);
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "TW\n0 Tc\n0 Tw\n");
    }

    if (!keep(t.attributeWordA, data->attributeWordA) ||
        !keep(t.attributeWordB, data->attributeWordB))
        return 0;

    // The kern value belongs to the run as it is written, so a change alone joins the run.
    t.kernClass = data->kernClass;

    const double horizontalScale = data->horizontalScale;
    if (!textStarted || horizontalScale != t.horizontalScale) {
        if (!BreakRun() || !EnsureRoom(kScaleRoom))
            return 0;
        t.horizontalScale = horizontalScale;
        bufferLength += FloatToString(buffer + bufferLength, horizontalScale * 100);
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "100 Tz\n");
    }

    return keep(t.attributeValueC, data->attributeValueC) &&
           keep(t.attributeValueD, data->attributeValueD);
}

int AAIExportFilter::SetTextAttr(SetTextAttrData* data)
{
    if (data == nullptr)
        return 0;
    TextState& t = textState;
    auto keep = [this](auto& stored, auto incoming) {
        if (textStarted && incoming == stored)
            return 1;
        if (!BreakRun())
            return 0;
        stored = incoming;
        return 1;
    };

    const std::uint32_t alignment = data->alignment;
    if (!textStarted || alignment != t.alignment) {
        if (!BreakRun() || !EnsureRoom(kMaxIntegerToken + 3))
            return 0;
        t.alignment = alignment;
        bufferLength += IntegerToString(buffer + bufferLength, static_cast<int>(alignment));
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "Ta\n");
    }

    if (!keep(t.paragraphWordB, data->paragraphWordB) ||
        !keep(t.paragraphWordC, data->paragraphWordC) ||
        !keep(t.paragraphWordD, data->paragraphWordD))
        return 0;

    // paragraphWordE has no operand of its own but travels with the leading: a change rewrites Tl.
    const double leading = data->leading;
    const double paragraphLeading = data->paragraphLeading;
    const std::uint32_t paragraphWordE = data->paragraphWordE;
    if (textStarted && leading == t.leading && paragraphLeading == t.paragraphLeading &&
        paragraphWordE == t.paragraphWordE)
        return 1;
    if (!BreakRun() || !EnsureRoom(2 * kMaxRealToken + 3))
        return 0;
    t.leading = leading;
    t.paragraphLeading = paragraphLeading;
    t.paragraphWordE = paragraphWordE;
    bufferLength += FloatToString(buffer + bufferLength, leading);
    bufferLength += FloatToString(buffer + bufferLength, paragraphLeading);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "Tl\n");
    return 1;
}

int AAIExportFilter::SetTextTracking(double* data)
{
    if (data == nullptr)
        return 0;
    const double tracking = *data;
    if (textStarted && tracking == textState.tracking)
        return 1;
    if (!BreakRun() || !EnsureRoom(kMaxRealToken + 3))
        return 0;
    textState.tracking = tracking;
    bufferLength += FloatToString(buffer + bufferLength, tracking);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "Tt\n");
    return 1;
}

// The ratio of a nominal size to its em size; a size on a bound takes the larger sizes' ratio.
double AAIExportFilter::CalculateFontFactor(double size)
{
    if (size < 8)
        return 2.0 / 3;
    if (size < 49)
        return 49.0 / 72;
    if (size < 200.0 / 3)
        return 25.0 / 36;
    if (size < 85)
        return 17.0 / 24;
    if (size < 1295.0 / 12)
        return 35.0 / 48;
    return 0.75;
}

// The PostScript name of a joined host name, or the host name itself when the table lacks it.
// Only the group of the first letter is searched, so the match is exact and case-sensitive.
const char* AAIExportFilter::LookUpPostScriptName(const char* hostName)
{
    if (hostName == nullptr)
        return "";
    const unsigned char first = static_cast<unsigned char>(hostName[0]);
    if (first < 'A' || first > 'Z')
        return hostName;
    for (std::size_t row = letterStartTable[first - 'A']; hostFontTable[row].name[0] != '\0';
         ++row) {
        if (std::strcmp(hostFontTable[row].name, hostName) == 0)
            return postScriptNameTable[hostFontTable[row].postScriptIndex];
    }
    return hostName;
}
