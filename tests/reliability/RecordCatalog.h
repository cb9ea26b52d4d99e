// Every record a host can send, with the shape of its payload, and the checks
// a finished document must pass; shared by the hostile-host tests and the fuzzers.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "host/Opcodes.h"
#include "host/Payloads.h"

namespace reliability {

enum class PayloadShape {
    kIgnored,  // the filter does not read it: a zeroed block is sent
    kFixed,    // a structure of `size` bytes, names in fixed arrays
    kText,     // _TextData pointing at NUL-terminated characters
    kCString,  // the payload itself is a NUL-terminated string
    kBitmap,   // BitmapData pointing at rows of the current image
};

struct RecordShape {
    unsigned short opcode;
    PayloadShape shape;
    std::size_t size;                 // bytes of the payload structure
    std::vector<std::size_t> reals;   // offsets of the doubles the filter reads
};

// Opcodes the filter knows nothing of; they must be accepted and ignored.
constexpr unsigned short kUnknownOpcodes[] = {0, 40, 41, 1290, 1297, 1301, 2056, 65535};

inline const std::vector<RecordShape>& Catalog()
{
    using S = PayloadShape;
    constexpr std::size_t kColor = offsetof(SetColorByValueData, cyan);
    const std::vector<std::size_t> colorReals = {kColor, kColor + 8, kColor + 16, kColor + 24};
    auto shifted = [&](std::size_t base, std::vector<std::size_t> extra) {
        for (std::size_t r : colorReals)
            extra.push_back(base + r);
        return extra;
    };
    static const std::vector<RecordShape> records = {
        {aiop::kBeginPicture, S::kFixed, sizeof(BeginPictureData), {4, 12, 20, 28}},
        {aiop::kEndPicture, S::kIgnored, 0, {}},
        {aiop::kBeginGroup, S::kIgnored, 0, {}},
        {aiop::kEndGroup, S::kIgnored, 0, {}},
        {aiop::kBeginComposite, S::kIgnored, 0, {}},
        {aiop::kEndComposite, S::kIgnored, 0, {}},
        {aiop::kBeginPattern, S::kIgnored, 0, {}},
        {aiop::kEndPattern, S::kIgnored, 0, {}},
        {aiop::kBeginPath, S::kIgnored, 0, {}},
        {aiop::kEndPath, S::kIgnored, 0, {}},
        {aiop::kBeginText, S::kIgnored, 0, {}},
        {aiop::kEndText, S::kIgnored, 0, {}},
        {aiop::kBeginSimpleText, S::kIgnored, 0, {}},
        {aiop::kEndSimpleText, S::kIgnored, 0, {}},
        {aiop::kBeginGuide, S::kIgnored, 0, {}},
        {aiop::kEndGuide, S::kIgnored, 0, {}},
        {aiop::kBeginGradient, S::kIgnored, 0, {}},
        {aiop::kEndGradient, S::kIgnored, 0, {}},
        {aiop::kBeginMask, S::kIgnored, 0, {}},
        {aiop::kEndMask, S::kIgnored, 0, {}},
        {aiop::kBeginBitmap, S::kFixed, sizeof(BeginBitmapData), {}},
        {aiop::kEndBitmap, S::kIgnored, 0, {}},
        {aiop::kBeginClipRgn, S::kIgnored, 0, {}},
        {aiop::kEndClipRgn, S::kIgnored, 0, {}},
        {aiop::kBeginLayer, S::kCString, 0, {}},
        {aiop::kEndLayer, S::kIgnored, 0, {}},
        {aiop::kDefineLayer, S::kFixed, sizeof(DefLayerData), {}},
        {aiop::kLine, S::kFixed, sizeof(LineData), {0, 8, 16, 24}},
        {aiop::kArc, S::kIgnored, 0, {}},
        {aiop::kArcTo, S::kIgnored, 0, {}},
        {aiop::kCircle, S::kIgnored, 0, {}},
        {aiop::kEllipse, S::kIgnored, 0, {}},
        {aiop::kMoveTo, S::kFixed, sizeof(MoveToData), {0, 8}},
        {aiop::kLineTo, S::kFixed, sizeof(LineToData), {0, 8}},
        {aiop::kCurveTo, S::kFixed, sizeof(CurveToData), {0, 8, 16, 24, 32, 40}},
        {aiop::kPathBitmap, S::kFixed, sizeof(PathBitmapData), {260, 268, 276, 284, 292}},
        {aiop::kPathPostscript, S::kFixed, sizeof(PathPostscriptData), {258, 266, 274, 282, 290}},
        {aiop::kText, S::kText, sizeof(_TextData), {}},
        {aiop::kAppendText, S::kText, sizeof(_TextData), {}},
        {aiop::kGlyph, S::kIgnored, 0, {}},
        {aiop::kBitmap, S::kBitmap, sizeof(BitmapData), {}},
        {aiop::kRectangle, S::kIgnored, 0, {}},
        {aiop::kClosePath, S::kIgnored, 0, {}},
        {aiop::kReversePath, S::kIgnored, 0, {}},
        {aiop::kSetColorDef, S::kFixed, sizeof(SetColorDefData),
         shifted(offsetof(SetColorDefData, color), {})},
        {aiop::kSetPatternDef, S::kFixed, sizeof(SetPatternDefData), {66, 74, 82, 90, 98}},
        {aiop::kSetGradientDef, S::kFixed, sizeof(SetGradientDefData), {}},
        {aiop::kSetPatternTrans, S::kCString, 0, {}},
        {aiop::kSetPatternColSpacing, S::kFixed, sizeof(double), {0}},
        {aiop::kSetPatternRowSpacing, S::kFixed, sizeof(double), {0}},
        {aiop::kSetFillColorByName, S::kFixed, sizeof(NAME_TAG), {}},
        {aiop::kSetFillType, S::kFixed, sizeof(unsigned short), {}},
        {aiop::kSetFillMode, S::kFixed, sizeof(unsigned short), {}},
        {aiop::kSetGradientRGN, S::kFixed, sizeof(SetGradientRGNData),
         shifted(offsetof(SetGradientRGNData, stopColor), {0, 8, 16 + 42})},
        {aiop::kSetGradient, S::kIgnored, 0, {}},
        {aiop::kSetFillTypeName, S::kFixed, sizeof(SetFillTypeNameData), {}},
        {aiop::kSetStroke, S::kFixed, sizeof(SetStrokeData), {2, 14}},
        {aiop::kSetStrokeColorByName, S::kFixed, sizeof(NAME_TAG), {}},
        {aiop::kSetFillColorByValue, S::kFixed, sizeof(SetColorByValueData), colorReals},
        {aiop::kSetStrokeColorByValue, S::kFixed, sizeof(SetColorByValueData), colorReals},
        {aiop::kSetMatrix, S::kFixed, sizeof(SetMatrixData), {0, 8, 16, 24, 32, 40}},
        {aiop::kSetGradient2, S::kFixed, sizeof(SetGradient2Data), {2, 10, 18, 26}},
        {aiop::kSetColorTable, S::kIgnored, 0, {}},
        {aiop::kSetPatternBackground, S::kFixed, sizeof(SetColorByValueData), colorReals},
        {aiop::kSetTextType, S::kFixed, sizeof(unsigned short), {}},
        {aiop::kSetCharAttr, S::kFixed, sizeof(SetCharAttrData), {144, 154, 162, 170, 178, 186}},
        {aiop::kSetTextAttr, S::kFixed, sizeof(SetTextAttrData), {16, 24}},
        {aiop::kSetArcTextAttr, S::kIgnored, 0, {}},
        {aiop::kSetTextScale, S::kFixed, sizeof(SetTextScaleData), {0, 8}},
        {aiop::kSetTextMatrix, S::kFixed, sizeof(SetTextMatrixData), {0, 8, 16, 24, 32, 40}},
        {aiop::kSetTextVerOffset, S::kFixed, sizeof(double), {0}},
        {aiop::kSetGlyphMatrix, S::kIgnored, 0, {}},
        {aiop::kSetLineRun, S::kIgnored, 0, {}},
        {aiop::kSetLineRunMatrix, S::kIgnored, 0, {}},
        {aiop::kSetDirRun, S::kIgnored, 0, {}},
        {aiop::kSetJustRun, S::kIgnored, 0, {}},
        {aiop::kSetKernRun, S::kIgnored, 0, {}},
        {aiop::kSetParaRun, S::kIgnored, 0, {}},
        {aiop::kSetFontRun, S::kIgnored, 0, {}},
        {aiop::kSetText, S::kIgnored, 0, {}},
        {aiop::kSetTextTracking, S::kFixed, sizeof(double), {0}},
        {aiop::kSetPatternSections, S::kFixed, sizeof(int), {}},
        {aiop::kBeginPatternSection, S::kIgnored, 0, {}},
        {aiop::kEndPatternSection, S::kIgnored, 0, {}},
        {aiop::kBeginDrawingSection, S::kFixed, sizeof(BeginDrawingSectionData), {0, 8}},
        {aiop::kEndDrawingSection, S::kIgnored, 0, {}},
        {aiop::kBeginPreviewSection, S::kIgnored, 0, {}},
        {aiop::kEndPreviewSection, S::kIgnored, 0, {}},
        {aiop::kSetPreview, S::kIgnored, 0, {}},
    };
    return records;
}

// A zeroed block for records whose payload is not read; larger than any
// structure the host could mean by it.
constexpr std::size_t kIgnoredPayloadSize = 512;

// Breaks every "nan" and "inf" (any case) in host bytes, so that such a word
// in a finished document can only come from formatting a number.
inline void BreakNonFiniteWords(unsigned char* bytes, std::size_t size)
{
    for (std::size_t i = 0; i + 3 <= size; ++i) {
        char w[4] = {static_cast<char>(std::tolower(bytes[i])),
                     static_cast<char>(std::tolower(bytes[i + 1])),
                     static_cast<char>(std::tolower(bytes[i + 2])), '\0'};
        if (std::strcmp(w, "nan") == 0 || std::strcmp(w, "inf") == 0)
            bytes[i + 2] = '_';
    }
}

// Is this word a printed non-finite number ("nan", "-nan", "inf", "Infinity"...)?
inline bool IsNonFiniteWord(const std::string& word)
{
    std::string w;
    for (char c : word)
        w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!w.empty() && (w[0] == '-' || w[0] == '+'))
        w.erase(0, 1);
    return w == "nan" || w == "inf" || w == "infinity";
}

// A finished document: its first line, its last line, and no number that is
// not finite. Returns "" when sound, else what is wrong.
inline std::string DocumentFault(const std::string& text)
{
    static const char kFirst[] = "%!PS-Adobe-3.0";
    static const char kLast[] = "%%EOF\n";
    if (text.compare(0, sizeof kFirst - 1, kFirst) != 0)
        return "does not begin with " + std::string(kFirst);
    if (text.size() < sizeof kLast - 1 ||
        text.compare(text.size() - (sizeof kLast - 1), sizeof kLast - 1, kLast) != 0)
        return "does not end with %%EOF and a line feed";
    static const char kDelimiters[] = " \t\r\n()[]{}<>/%:,;";
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(kDelimiters, at, sizeof kDelimiters - 1);
        if (start == std::string::npos)
            break;
        std::size_t end = text.find_first_of(kDelimiters, start, sizeof kDelimiters - 1);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        if (word.size() <= 9 && IsNonFiniteWord(word))
            return "holds the word '" + word + "' at byte " + std::to_string(start);
        at = end;
    }
    return "";
}

}  // namespace reliability
