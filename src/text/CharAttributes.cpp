// Character and paragraph attributes, tracking, the font size factor and the font lookup.
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "filter/DefinitionNames.h"
#include "text/FontTables.h"

namespace {

constexpr std::size_t kNameArray = sizeof SetCharAttrData::faceName;
static_assert(sizeof SetCharAttrData::styleName == kNameArray);
static_assert(sizeof TextState::faceName == kNameArray &&
              sizeof TextState::styleName == kNameArray);

// Face, "-", style and the NUL: names that fill their arrays unterminated still fit whole.
constexpr std::size_t kJoinedNameArea = kNameArray + 1 + kNameArray + 1;

// Face and style names fill their arrays whole when they need to: no NUL is required.
bool IsSameName(const char (&a)[kNameArray], const char (&b)[kNameArray])
{
    return IsSameBoundedName(a, b, kNameArray);
}

void StoreName(char (&stored)[kNameArray], const char (&incoming)[kNameArray])
{
    StoreBoundedName(stored, incoming, kNameArray);
}

void JoinHostName(char (&joined)[kJoinedNameArea], const char (&face)[kNameArray],
                  const char (&style)[kNameArray])
{
    const std::size_t faceLength = BoundedNameLength(face, kNameArray);
    const std::size_t styleLength = BoundedNameLength(style, kNameArray);
    std::memcpy(joined, face, faceLength);
    joined[faceLength] = '-';
    std::memcpy(joined + faceLength + 1, style, styleLength);
    joined[faceLength + 1 + styleLength] = '\0';
}

}  // namespace

// A value without an operator still ends the pending run when it changes.
template <class T>
int AAIExportFilter::KeepRunValue(T& stored, T incoming)
{
    if (textStarted && incoming == stored)
        return 1;
    if (!BreakRun())
        return 0;
    stored = incoming;
    return 1;
}

int AAIExportFilter::SetCharAttr(SetCharAttrData* data)
{
    if (data == nullptr)
        return 0;
    TextState& t = textState;

    // sizeIsEm is left out of the comparison: alone it changes neither the font nor the run.
    const double fontSize = data->fontSize;
    if (!textStarted || !IsSameName(data->faceName, t.faceName) ||
        !IsSameName(data->styleName, t.styleName) || fontSize != t.fontSize) {
        if (!BreakRun())
            return 0;
        char joined[kJoinedNameArea];
        JoinHostName(joined, data->faceName, data->styleName);
        const double em = data->sizeIsEm ? fontSize : fontSize / CalculateFontFactor(fontSize);
        const double metrics[3] = {em, em * 0.75, em * -0.25};  // em size, ascent, descent
        if (!output.Write(token::FontName(LookUpPostScriptName(joined)), token::Reals{metrics, 3},
                          "Tf\n"))
            return 0;
        StoreName(t.faceName, data->faceName);
        StoreName(t.styleName, data->styleName);
        t.faceNameLength = data->faceNameLength;
        t.styleNameLength = data->styleNameLength;
        t.fontSize = fontSize;
        t.sizeIsEm = data->sizeIsEm;
    }

    const double charSpacing = data->charSpacing;
    if (!textStarted || charSpacing != t.charSpacing) {
        const token::Real percent{charSpacing * 100};
        // Minimum, optimum, maximum.
        if (!BreakRun() || !output.Write(percent, percent, percent, "TC\n"))
            return 0;
        t.charSpacing = charSpacing;
    }

    const double wordSpacing = data->wordSpacing;
    if (!textStarted || wordSpacing != t.wordSpacing) {
        const token::Real percent{(wordSpacing + 1) * 100};
        if (!BreakRun() || !output.Write(percent, percent, percent, "TW\n0 Tc\n0 Tw\n"))
            return 0;
        t.wordSpacing = wordSpacing;
    }

    if (!KeepRunValue(t.attributeWordA, data->attributeWordA) ||
        !KeepRunValue(t.attributeWordB, data->attributeWordB))
        return 0;

    // The kern value belongs to the run as it is written, so a change alone joins the run.
    t.kernClass = data->kernClass;

    const double horizontalScale = data->horizontalScale;
    if (!textStarted || horizontalScale != t.horizontalScale) {
        if (!BreakRun() || !output.Write(token::Real{horizontalScale * 100}, "100 Tz\n"))
            return 0;
        t.horizontalScale = horizontalScale;
    }

    return KeepRunValue(t.attributeValueC, data->attributeValueC) &&
           KeepRunValue(t.attributeValueD, data->attributeValueD);
}

int AAIExportFilter::SetTextAttr(SetTextAttrData* data)
{
    if (data == nullptr)
        return 0;
    TextState& t = textState;

    const std::uint32_t alignment = data->alignment;
    if (!textStarted || alignment != t.alignment) {
        if (!BreakRun() || !output.Write(token::Integer{static_cast<int>(alignment)}, "Ta\n"))
            return 0;
        t.alignment = alignment;
    }

    if (!KeepRunValue(t.paragraphWordB, data->paragraphWordB) ||
        !KeepRunValue(t.paragraphWordC, data->paragraphWordC) ||
        !KeepRunValue(t.paragraphWordD, data->paragraphWordD))
        return 0;

    // paragraphWordE has no operand of its own but travels with the leading: a change rewrites Tl.
    const double leading = data->leading;
    const double paragraphLeading = data->paragraphLeading;
    const std::uint32_t paragraphWordE = data->paragraphWordE;
    if (textStarted && leading == t.leading && paragraphLeading == t.paragraphLeading &&
        paragraphWordE == t.paragraphWordE)
        return 1;
    if (!BreakRun() || !output.Write(token::Real{leading}, token::Real{paragraphLeading}, "Tl\n"))
        return 0;
    t.leading = leading;
    t.paragraphLeading = paragraphLeading;
    t.paragraphWordE = paragraphWordE;
    return 1;
}

int AAIExportFilter::SetTextTracking(double* data)
{
    if (data == nullptr)
        return 0;
    const double tracking = *data;
    if (textStarted && tracking == textState.tracking)
        return 1;
    if (!BreakRun() || !output.Write(token::Real{tracking}, "Tt\n"))
        return 0;
    textState.tracking = tracking;
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
