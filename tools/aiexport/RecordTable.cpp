// The record table: every opcode the filter routes, with the payload fields
// it reads, laid out by the host's packed structures.
#include "RecordTable.h"

#include <cstddef>

#include "host/Opcodes.h"
#include "host/Payloads.h"

namespace recordscript {
namespace {

using K = FieldKind;

constexpr std::uint16_t Off(std::size_t offset) { return static_cast<std::uint16_t>(offset); }

#define AIX_FIELD(Struct, member, kind) \
    FieldLayout { #member, kind, Off(offsetof(Struct, member)), 0, 0 }
#define AIX_CHARS(Struct, member) \
    FieldLayout { #member, K::kChars, Off(offsetof(Struct, member)), Off(sizeof(Struct::member)), 0 }

// A colour by value, embedded at `base` inside a larger payload.
#define AIX_COLOR_FIELDS(base)                                                  \
    FieldLayout{"model", K::kU16, Off((base) + offsetof(SetColorByValueData, model)), 0, 0},     \
        FieldLayout{"red", K::kU16, Off((base) + offsetof(SetColorByValueData, red)), 0, 0},     \
        FieldLayout{"green", K::kU16, Off((base) + offsetof(SetColorByValueData, green)), 0, 0}, \
        FieldLayout{"blue", K::kU16, Off((base) + offsetof(SetColorByValueData, blue)), 0, 0},   \
        FieldLayout{"cyan", K::kF64, Off((base) + offsetof(SetColorByValueData, cyan)), 0, 0},   \
        FieldLayout{"magenta", K::kF64, Off((base) + offsetof(SetColorByValueData, magenta)), 0, 0}, \
        FieldLayout{"yellow", K::kF64, Off((base) + offsetof(SetColorByValueData, yellow)), 0, 0},   \
        FieldLayout{"black", K::kF64, Off((base) + offsetof(SetColorByValueData, black)), 0, 0}

constexpr FieldLayout kBeginPicture[] = {
    AIX_FIELD(BeginPictureData, left, K::kF64),
    AIX_FIELD(BeginPictureData, bottom, K::kF64),
    AIX_FIELD(BeginPictureData, width, K::kF64),
    AIX_FIELD(BeginPictureData, height, K::kF64),
};
constexpr FieldLayout kBeginDrawingSection[] = {
    AIX_FIELD(BeginDrawingSectionData, width, K::kF64),
    AIX_FIELD(BeginDrawingSectionData, height, K::kF64),
};
constexpr FieldLayout kPoint[] = {
    AIX_FIELD(MoveToData, x, K::kF64),
    AIX_FIELD(MoveToData, y, K::kF64),
};
static_assert(sizeof(MoveToData) == sizeof(LineToData));
constexpr FieldLayout kCurveTo[] = {
    AIX_FIELD(CurveToData, x1, K::kF64), AIX_FIELD(CurveToData, y1, K::kF64),
    AIX_FIELD(CurveToData, x2, K::kF64), AIX_FIELD(CurveToData, y2, K::kF64),
    AIX_FIELD(CurveToData, x3, K::kF64), AIX_FIELD(CurveToData, y3, K::kF64),
};
constexpr FieldLayout kLine[] = {
    AIX_FIELD(LineData, x1, K::kF64), AIX_FIELD(LineData, y1, K::kF64),
    AIX_FIELD(LineData, x2, K::kF64), AIX_FIELD(LineData, y2, K::kF64),
};
constexpr FieldLayout kColorByValue[] = {AIX_COLOR_FIELDS(0)};
constexpr FieldLayout kNameTag[] = {
    AIX_FIELD(NAME_TAG, tag, K::kU16),
    AIX_CHARS(NAME_TAG, name),
};
constexpr FieldLayout kSetFillTypeName[] = {
    AIX_FIELD(SetFillTypeNameData, fillType, K::kU16),
    AIX_FIELD(SetFillTypeNameData, tag, K::kU16),
    AIX_CHARS(SetFillTypeNameData, name),
};
constexpr FieldLayout kU16Value[] = {{"value", K::kU16, 0, 0, 0}};
constexpr FieldLayout kF64Value[] = {{"value", K::kF64, 0, 0, 0}};
constexpr FieldLayout kI32Count[] = {{"count", K::kI32, 0, 0, 0}};
constexpr FieldLayout kSetStroke[] = {
    AIX_FIELD(SetStrokeData, style, K::kI16),
    AIX_FIELD(SetStrokeData, width, K::kF64),
    AIX_FIELD(SetStrokeData, cap, K::kI16),
    AIX_FIELD(SetStrokeData, join, K::kI16),
    AIX_FIELD(SetStrokeData, miterLimit, K::kF64),
};
constexpr FieldLayout kSetColorDef[] = {
    AIX_FIELD(SetColorDefData, tag, K::kU16),
    AIX_CHARS(SetColorDefData, name),
    AIX_COLOR_FIELDS(offsetof(SetColorDefData, color)),
    AIX_FIELD(SetColorDefData, spot, K::kU16),
};
constexpr FieldLayout kSetGradientDef[] = {
    AIX_FIELD(SetGradientDefData, tag, K::kU16),
    AIX_CHARS(SetGradientDefData, name),
};
constexpr FieldLayout kSetGradient2[] = {
    AIX_FIELD(SetGradient2Data, type, K::kI16),
    AIX_FIELD(SetGradient2Data, startX, K::kF64),
    AIX_FIELD(SetGradient2Data, startY, K::kF64),
    AIX_FIELD(SetGradient2Data, endX, K::kF64),
    AIX_FIELD(SetGradient2Data, endY, K::kF64),
};
constexpr std::size_t kStop = offsetof(SetGradientRGNData, stopColor);
constexpr FieldLayout kSetGradientRGN[] = {
    AIX_FIELD(SetGradientRGNData, location, K::kF64),
    AIX_FIELD(SetGradientRGNData, midpoint, K::kF64),
    AIX_COLOR_FIELDS(kStop + offsetof(GradientColor, color)),
    FieldLayout{"tinted", K::kU16, Off(kStop + offsetof(GradientColor, tinted)), 0, 0},
    FieldLayout{"tint", K::kF64, Off(kStop + offsetof(GradientColor, tint)), 0, 0},
    AIX_FIELD(SetGradientRGNData, flags, K::kU16),
};
constexpr FieldLayout kSetPatternDef[] = {
    AIX_FIELD(SetPatternDefData, tag, K::kU16),
    AIX_CHARS(SetPatternDefData, name),
    AIX_FIELD(SetPatternDefData, tileWidth, K::kF64),
    AIX_FIELD(SetPatternDefData, tileHeight, K::kF64),
    AIX_FIELD(SetPatternDefData, extra1, K::kF64),
    AIX_FIELD(SetPatternDefData, extra2, K::kF64),
    AIX_FIELD(SetPatternDefData, extra3, K::kF64),
    AIX_FIELD(SetPatternDefData, extraWord, K::kU16),
};
constexpr FieldLayout kPatternTrans[] = {{"text", K::kChars, 0, 0, 0}};
constexpr FieldLayout kLayerName[] = {{"name", K::kChars, 0, 0, 0}};
constexpr FieldLayout kDefineLayer[] = {
    AIX_CHARS(DefLayerData, name),
    AIX_FIELD(DefLayerData, visibility, K::kI32),
};
constexpr FieldLayout kMatrix[] = {
    AIX_FIELD(SetMatrixData, a, K::kF64),  AIX_FIELD(SetMatrixData, b, K::kF64),
    AIX_FIELD(SetMatrixData, c, K::kF64),  AIX_FIELD(SetMatrixData, d, K::kF64),
    AIX_FIELD(SetMatrixData, tx, K::kF64), AIX_FIELD(SetMatrixData, ty, K::kF64),
};
static_assert(sizeof(SetMatrixData) == sizeof(SetTextMatrixData));
static_assert(offsetof(SetMatrixData, ty) == offsetof(SetTextMatrixData, ty));
constexpr FieldLayout kSetTextScale[] = {
    AIX_FIELD(SetTextScaleData, x, K::kF64),
    AIX_FIELD(SetTextScaleData, y, K::kF64),
};
constexpr FieldLayout kSetCharAttr[] = {
    FieldLayout{"faceName", K::kCountedChars, Off(offsetof(SetCharAttrData, faceName)),
              Off(sizeof(SetCharAttrData::faceName)), Off(offsetof(SetCharAttrData, faceNameLength))},
    FieldLayout{"styleName", K::kCountedChars, Off(offsetof(SetCharAttrData, styleName)),
              Off(sizeof(SetCharAttrData::styleName)), Off(offsetof(SetCharAttrData, styleNameLength))},
    AIX_FIELD(SetCharAttrData, attributeWordA, K::kU32),
    AIX_FIELD(SetCharAttrData, attributeWordB, K::kU32),
    AIX_FIELD(SetCharAttrData, kernClass, K::kU32),
    AIX_FIELD(SetCharAttrData, fontSize, K::kF64),
    AIX_FIELD(SetCharAttrData, sizeIsEm, K::kU8),
    AIX_FIELD(SetCharAttrData, horizontalScale, K::kF64),
    AIX_FIELD(SetCharAttrData, attributeValueC, K::kF64),
    AIX_FIELD(SetCharAttrData, wordSpacing, K::kF64),
    AIX_FIELD(SetCharAttrData, charSpacing, K::kF64),
    AIX_FIELD(SetCharAttrData, attributeValueD, K::kF64),
};
constexpr FieldLayout kSetTextAttr[] = {
    AIX_FIELD(SetTextAttrData, alignment, K::kU32),
    AIX_FIELD(SetTextAttrData, paragraphWordB, K::kU32),
    AIX_FIELD(SetTextAttrData, paragraphWordC, K::kU32),
    AIX_FIELD(SetTextAttrData, paragraphWordD, K::kU32),
    AIX_FIELD(SetTextAttrData, leading, K::kF64),
    AIX_FIELD(SetTextAttrData, paragraphLeading, K::kF64),
    AIX_FIELD(SetTextAttrData, paragraphWordE, K::kU32),
};
constexpr FieldLayout kText[] = {
    FieldLayout{"characters", K::kText, Off(offsetof(_TextData, text)), 0, Off(offsetof(_TextData, count))},
};
constexpr FieldLayout kBeginBitmap[] = {
    AIX_FIELD(BeginBitmapData, width, K::kI16),
    AIX_FIELD(BeginBitmapData, height, K::kI16),
    AIX_FIELD(BeginBitmapData, bytesPerRow, K::kI16),
    AIX_FIELD(BeginBitmapData, bitDepth, K::kU16),
    AIX_FIELD(BeginBitmapData, colorModel, K::kU16),
};
constexpr FieldLayout kBitmap[] = {
    AIX_FIELD(BitmapData, firstRow, K::kI16),
    AIX_FIELD(BitmapData, lastRow, K::kI16),
    FieldLayout{"rows", K::kBytes, Off(offsetof(BitmapData, rowData)), 0, 0},
};
constexpr FieldLayout kPathPostscript[] = {
    AIX_CHARS(PathPostscriptData, filePath),
    AIX_FIELD(PathPostscriptData, placeX, K::kF64),
    AIX_FIELD(PathPostscriptData, placeY, K::kF64),
    AIX_FIELD(PathPostscriptData, placeScale, K::kF64),
    AIX_FIELD(PathPostscriptData, boxLeft, K::kI32),
    AIX_FIELD(PathPostscriptData, boxTop, K::kI32),
    AIX_FIELD(PathPostscriptData, boxRight, K::kI32),
    AIX_FIELD(PathPostscriptData, boxBottom, K::kI32),
};
constexpr FieldLayout kPathBitmap[] = {
    AIX_CHARS(PathBitmapData, filePath),
    AIX_FIELD(PathBitmapData, fileType, K::kU16),
    AIX_FIELD(PathBitmapData, placeX, K::kF64),
    AIX_FIELD(PathBitmapData, placeY, K::kF64),
    AIX_FIELD(PathBitmapData, placeWidth, K::kF64),
    AIX_FIELD(PathBitmapData, placeHeight, K::kF64),
    AIX_FIELD(PathBitmapData, placeScale, K::kF64),
};

#undef AIX_FIELD
#undef AIX_CHARS
#undef AIX_COLOR_FIELDS

template <std::size_t N>
constexpr RecordLayout Struct(const char* name, std::uint16_t opcode, std::size_t size,
                            const FieldLayout (&fields)[N])
{
    return {name, opcode, PayloadKind::kStruct, Off(size), fields, static_cast<std::uint8_t>(N)};
}
template <std::size_t N>
constexpr RecordLayout CString(const char* name, std::uint16_t opcode, const FieldLayout (&fields)[N])
{
    return {name, opcode, PayloadKind::kCString, 0, fields, static_cast<std::uint8_t>(N)};
}
constexpr RecordLayout Zeroed(const char* name, std::uint16_t opcode)
{
    return {name, opcode, PayloadKind::kZeroed, Off(kZeroedPayloadSize), nullptr, 0};
}

// In opcode order.
constexpr RecordLayout kRecords[] = {
    Struct("BeginPicture", aiop::kBeginPicture, sizeof(BeginPictureData), kBeginPicture),
    Zeroed("EndPicture", aiop::kEndPicture),
    Zeroed("BeginGroup", aiop::kBeginGroup),
    Zeroed("EndGroup", aiop::kEndGroup),
    Zeroed("BeginComposite", aiop::kBeginComposite),
    Zeroed("EndComposite", aiop::kEndComposite),
    Zeroed("BeginPattern", aiop::kBeginPattern),
    Zeroed("EndPattern", aiop::kEndPattern),
    Zeroed("BeginPath", aiop::kBeginPath),
    Zeroed("EndPath", aiop::kEndPath),
    Zeroed("BeginText", aiop::kBeginText),
    Zeroed("EndText", aiop::kEndText),
    Zeroed("BeginSimpleText", aiop::kBeginSimpleText),
    Zeroed("EndSimpleText", aiop::kEndSimpleText),
    Zeroed("BeginGuide", aiop::kBeginGuide),
    Zeroed("EndGuide", aiop::kEndGuide),
    Zeroed("BeginGradient", aiop::kBeginGradient),
    Zeroed("EndGradient", aiop::kEndGradient),
    Zeroed("BeginMask", aiop::kBeginMask),
    Zeroed("EndMask", aiop::kEndMask),
    Struct("BeginBitmap", aiop::kBeginBitmap, sizeof(BeginBitmapData), kBeginBitmap),
    Zeroed("EndBitmap", aiop::kEndBitmap),
    Zeroed("BeginClipRgn", aiop::kBeginClipRgn),
    Zeroed("EndClipRgn", aiop::kEndClipRgn),
    CString("BeginLayer", aiop::kBeginLayer, kLayerName),
    Zeroed("EndLayer", aiop::kEndLayer),
    Struct("DefineLayer", aiop::kDefineLayer, sizeof(DefLayerData), kDefineLayer),
    Struct("Line", aiop::kLine, sizeof(LineData), kLine),
    Zeroed("Arc", aiop::kArc),
    Zeroed("ArcTo", aiop::kArcTo),
    Zeroed("Circle", aiop::kCircle),
    Zeroed("Ellipse", aiop::kEllipse),
    Struct("MoveTo", aiop::kMoveTo, sizeof(MoveToData), kPoint),
    Struct("LineTo", aiop::kLineTo, sizeof(LineToData), kPoint),
    Struct("CurveTo", aiop::kCurveTo, sizeof(CurveToData), kCurveTo),
    Struct("PathBitmap", aiop::kPathBitmap, sizeof(PathBitmapData), kPathBitmap),
    Struct("PathPostscript", aiop::kPathPostscript, sizeof(PathPostscriptData), kPathPostscript),
    Struct("Text", aiop::kText, sizeof(_TextData), kText),
    Struct("AppendText", aiop::kAppendText, sizeof(_TextData), kText),
    Zeroed("Glyph", aiop::kGlyph),
    Struct("Bitmap", aiop::kBitmap, sizeof(BitmapData), kBitmap),
    Zeroed("Rectangle", aiop::kRectangle),
    Zeroed("ClosePath", aiop::kClosePath),
    Zeroed("ReversePath", aiop::kReversePath),
    Struct("SetColorDef", aiop::kSetColorDef, sizeof(SetColorDefData), kSetColorDef),
    Struct("SetPatternDef", aiop::kSetPatternDef, sizeof(SetPatternDefData), kSetPatternDef),
    Struct("SetGradientDef", aiop::kSetGradientDef, sizeof(SetGradientDefData), kSetGradientDef),
    CString("SetPatternTrans", aiop::kSetPatternTrans, kPatternTrans),
    Struct("SetPatternColSpacing", aiop::kSetPatternColSpacing, sizeof(double), kF64Value),
    Struct("SetPatternRowSpacing", aiop::kSetPatternRowSpacing, sizeof(double), kF64Value),
    Struct("SetFillColorByName", aiop::kSetFillColorByName, sizeof(NAME_TAG), kNameTag),
    Struct("SetFillType", aiop::kSetFillType, sizeof(unsigned short), kU16Value),
    Struct("SetFillMode", aiop::kSetFillMode, sizeof(unsigned short), kU16Value),
    Struct("SetGradientRGN", aiop::kSetGradientRGN, sizeof(SetGradientRGNData), kSetGradientRGN),
    Zeroed("SetGradient", aiop::kSetGradient),
    Struct("SetFillTypeName", aiop::kSetFillTypeName, sizeof(SetFillTypeNameData), kSetFillTypeName),
    Struct("SetStroke", aiop::kSetStroke, sizeof(SetStrokeData), kSetStroke),
    Struct("SetStrokeColorByName", aiop::kSetStrokeColorByName, sizeof(NAME_TAG), kNameTag),
    Struct("SetFillColorByValue", aiop::kSetFillColorByValue, sizeof(SetColorByValueData),
           kColorByValue),
    Struct("SetStrokeColorByValue", aiop::kSetStrokeColorByValue, sizeof(SetColorByValueData),
           kColorByValue),
    Struct("SetMatrix", aiop::kSetMatrix, sizeof(SetMatrixData), kMatrix),
    Struct("SetGradient2", aiop::kSetGradient2, sizeof(SetGradient2Data), kSetGradient2),
    Zeroed("SetColorTable", aiop::kSetColorTable),
    Struct("SetPatternBackground", aiop::kSetPatternBackground, sizeof(SetColorByValueData),
           kColorByValue),
    Struct("SetTextType", aiop::kSetTextType, sizeof(unsigned short), kU16Value),
    Struct("SetCharAttr", aiop::kSetCharAttr, sizeof(SetCharAttrData), kSetCharAttr),
    Struct("SetTextAttr", aiop::kSetTextAttr, sizeof(SetTextAttrData), kSetTextAttr),
    Zeroed("SetArcTextAttr", aiop::kSetArcTextAttr),
    Struct("SetTextScale", aiop::kSetTextScale, sizeof(SetTextScaleData), kSetTextScale),
    Struct("SetTextMatrix", aiop::kSetTextMatrix, sizeof(SetTextMatrixData), kMatrix),
    Struct("SetTextVerOffset", aiop::kSetTextVerOffset, sizeof(double), kF64Value),
    Zeroed("SetGlyphMatrix", aiop::kSetGlyphMatrix),
    Zeroed("SetLineRun", aiop::kSetLineRun),
    Zeroed("SetLineRunMatrix", aiop::kSetLineRunMatrix),
    Zeroed("SetDirRun", aiop::kSetDirRun),
    Zeroed("SetJustRun", aiop::kSetJustRun),
    Zeroed("SetKernRun", aiop::kSetKernRun),
    Zeroed("SetParaRun", aiop::kSetParaRun),
    Zeroed("SetFontRun", aiop::kSetFontRun),
    Zeroed("SetText", aiop::kSetText),
    Struct("SetTextTracking", aiop::kSetTextTracking, sizeof(double), kF64Value),
    Struct("SetPatternSections", aiop::kSetPatternSections, sizeof(int), kI32Count),
    Zeroed("BeginPatternSection", aiop::kBeginPatternSection),
    Zeroed("EndPatternSection", aiop::kEndPatternSection),
    Struct("BeginDrawingSection", aiop::kBeginDrawingSection, sizeof(BeginDrawingSectionData),
           kBeginDrawingSection),
    Zeroed("EndDrawingSection", aiop::kEndDrawingSection),
    Zeroed("BeginPreviewSection", aiop::kBeginPreviewSection),
    Zeroed("EndPreviewSection", aiop::kEndPreviewSection),
    Zeroed("SetPreview", aiop::kSetPreview),
};

constexpr bool InOpcodeOrder()
{
    for (std::size_t i = 1; i < sizeof kRecords / sizeof kRecords[0]; ++i)
        if (kRecords[i - 1].opcode >= kRecords[i].opcode)
            return false;
    return true;
}
static_assert(InOpcodeOrder(), "the table is searched by opcode in order");

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const RecordLayout* RecordTableBegin() { return kRecords; }
const RecordLayout* RecordTableEnd() { return kRecords + sizeof kRecords / sizeof kRecords[0]; }

const RecordLayout* FindRecordByName(std::string_view name)
{
    for (const RecordLayout* r = RecordTableBegin(); r != RecordTableEnd(); ++r)
        if (name == r->name)
            return r;
    return nullptr;
}

const RecordLayout* FindRecordByOpcode(std::uint16_t opcode)
{
    for (const RecordLayout* r = RecordTableBegin(); r != RecordTableEnd(); ++r)
        if (r->opcode == opcode)
            return r;
    return nullptr;
}

const RecordLayout* FindRecordIgnoringCase(std::string_view name)
{
    for (const RecordLayout* r = RecordTableBegin(); r != RecordTableEnd(); ++r) {
        const std::string_view candidate = r->name;
        if (candidate.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = Lower(candidate[i]) == Lower(name[i]);
        if (same)
            return r;
    }
    return nullptr;
}

}  // namespace recordscript
