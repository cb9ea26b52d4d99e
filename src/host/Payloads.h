// Record payloads: the host's structures, byte for byte. Packed on 2-byte
// boundaries, so doubles may sit at offsets that are not multiples of 8.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 2)

struct BeginPictureData {
    std::uint32_t reserved;  // not read
    double left;
    double bottom;
    double width;
    double height;
};

struct BeginDrawingSectionData {
    double width;
    double height;
};

struct MoveToData {
    double x;
    double y;
};

struct LineToData {
    double x;
    double y;
};

struct CurveToData {
    double x1, y1;  // first control point
    double x2, y2;  // second control point
    double x3, y3;  // end point
};

struct LineData {
    double x1, y1;  // start
    double x2, y2;  // end
};

struct SetColorByValueData {
    std::uint16_t model;  // 0 RGB, 1 CMYK
    std::uint16_t red;
    std::uint16_t green;
    std::uint16_t blue;
    double cyan;
    double magenta;
    double yellow;
    double black;
};

struct NAME_TAG {
    std::uint16_t tag;
    char name[64];
};

struct SetFillTypeNameData {
    std::uint16_t fillType;
    std::uint16_t tag;
    char name[64];
};

struct SetStrokeData {
    std::int16_t style;  // 0 solid, 1..4 dashes, 5 none
    double width;
    std::int16_t cap;
    std::int16_t join;
    double miterLimit;
};

struct SetColorDefData {
    std::uint16_t tag;
    char name[64];
    SetColorByValueData color;
    std::uint16_t spot;
};

struct SetGradientDefData {
    std::uint16_t tag;
    char name[64];
};

struct SetGradient2Data {
    std::int16_t type;  // 0 linear, else radial
    double startX;
    double startY;
    double endX;
    double endY;
};

struct GradientColor {
    SetColorByValueData color;
    std::uint16_t tinted;
    double tint;
};

struct SetGradientRGNData {
    double location;  // percent along the gradient
    double midpoint;  // kept with the stop, not written
    GradientColor stopColor;
    unsigned char reserved[66];
    std::uint16_t flags;  // kept with the stop, not written
};

struct SetPatternDefData {
    std::uint16_t tag;
    char name[64];
    double tileWidth;
    double tileHeight;
    double extra1;
    double extra2;
    double extra3;
    std::uint16_t extraWord;
};

struct DefLayerData {
    char name[256];
    std::int32_t visibility;
};

struct SetMatrixData {
    double a, b, c, d, tx, ty;
};

struct SetCharAttrData {
    std::uint16_t faceNameLength;
    char faceName[64];
    std::uint16_t styleNameLength;
    char styleName[64];
    std::uint32_t attributeWordA;
    std::uint32_t attributeWordB;
    std::uint32_t kernClass;
    double fontSize;
    std::uint8_t sizeIsEm;
    std::uint8_t filler;
    double horizontalScale;
    double attributeValueC;
    double wordSpacing;
    double charSpacing;
    double attributeValueD;
};

struct SetTextAttrData {
    std::uint32_t alignment;
    std::uint32_t paragraphWordB;
    std::uint32_t paragraphWordC;
    std::uint32_t paragraphWordD;
    double leading;
    double paragraphLeading;
    std::uint32_t paragraphWordE;
};

struct _TextData {
    char* text;  // NUL-terminated 8-bit characters
    std::int32_t field;
    std::uint32_t count;
};

struct SetTextMatrixData {
    double a, b, c, d, tx, ty;
};

struct SetTextScaleData {
    double x;
    double y;
};

struct BeginBitmapData {
    double unused[6];
    std::int16_t width;
    std::int16_t height;
    std::int16_t bytesPerRow;
    std::uint16_t bitDepth;
    std::uint16_t colorModel;
};

struct BitmapData {
    std::int16_t firstRow;
    std::int16_t lastRow;
    unsigned char* rowData;
};

struct PathPostscriptData {
    char filePath[258];
    double placeX;
    double placeY;
    double unused[2];
    double placeScale;
    unsigned char reserved[12];
    std::int32_t boxLeft;
    std::int32_t boxTop;
    std::int32_t boxRight;
    std::int32_t boxBottom;
};

struct PathBitmapData {
    char filePath[258];
    std::uint16_t fileType;  // 1 TIFF
    double placeX;
    double placeY;
    double placeWidth;
    double placeHeight;
    double placeScale;
};

#pragma pack(pop)

// Records this filter accepts without reading their payloads.
struct ArcData;
struct ArcToData;
struct CircleData;
struct EllipseData;
struct RectangleData;
struct GlyphData;
struct SetGradientData;
struct SetColorTableData;
struct SetArcTextAttrData;
struct SetGlyphMatrixData;
struct SetLineRunData;
struct SetLineRunMatrixData;
struct SetDirRunData;
struct SetJustRunData;
struct SetKernRunData;
struct SetParaRunData;
struct SetFontRunData;
struct SetTextData;
struct SetPreviewData;
struct SetJobInfoData;

// The binary contract, pinned.
static_assert(sizeof(BeginPictureData) == 36);
static_assert(offsetof(BeginPictureData, left) == 4);
static_assert(offsetof(BeginPictureData, bottom) == 12);
static_assert(offsetof(BeginPictureData, width) == 20);
static_assert(offsetof(BeginPictureData, height) == 28);

static_assert(sizeof(BeginDrawingSectionData) == 16);
static_assert(offsetof(BeginDrawingSectionData, height) == 8);

static_assert(sizeof(MoveToData) == 16 && offsetof(MoveToData, y) == 8);
static_assert(sizeof(LineToData) == 16 && offsetof(LineToData, y) == 8);
static_assert(sizeof(CurveToData) == 48);
static_assert(offsetof(CurveToData, y1) == 8 && offsetof(CurveToData, x2) == 16);
static_assert(offsetof(CurveToData, y2) == 24 && offsetof(CurveToData, x3) == 32);
static_assert(offsetof(CurveToData, y3) == 40);
static_assert(sizeof(LineData) == 32);
static_assert(offsetof(LineData, y1) == 8 && offsetof(LineData, x2) == 16);
static_assert(offsetof(LineData, y2) == 24);

static_assert(sizeof(SetColorByValueData) == 40);
static_assert(offsetof(SetColorByValueData, red) == 2);
static_assert(offsetof(SetColorByValueData, green) == 4);
static_assert(offsetof(SetColorByValueData, blue) == 6);
static_assert(offsetof(SetColorByValueData, cyan) == 8);
static_assert(offsetof(SetColorByValueData, magenta) == 16);
static_assert(offsetof(SetColorByValueData, yellow) == 24);
static_assert(offsetof(SetColorByValueData, black) == 32);

static_assert(sizeof(NAME_TAG) == 66 && offsetof(NAME_TAG, name) == 2);
static_assert(sizeof(SetFillTypeNameData) == 68);
static_assert(offsetof(SetFillTypeNameData, tag) == 2);
static_assert(offsetof(SetFillTypeNameData, name) == 4);

static_assert(sizeof(SetStrokeData) == 22);
static_assert(offsetof(SetStrokeData, width) == 2);
static_assert(offsetof(SetStrokeData, cap) == 10);
static_assert(offsetof(SetStrokeData, join) == 12);
static_assert(offsetof(SetStrokeData, miterLimit) == 14);

static_assert(sizeof(SetColorDefData) == 108);
static_assert(offsetof(SetColorDefData, name) == 2);
static_assert(offsetof(SetColorDefData, color) == 66);
static_assert(offsetof(SetColorDefData, spot) == 106);

static_assert(sizeof(SetGradientDefData) == 66);
static_assert(sizeof(SetGradient2Data) == 34);
static_assert(offsetof(SetGradient2Data, startX) == 2);
static_assert(offsetof(SetGradient2Data, endY) == 26);

static_assert(sizeof(GradientColor) == 50);
static_assert(offsetof(GradientColor, tinted) == 40);
static_assert(offsetof(GradientColor, tint) == 42);
static_assert(sizeof(SetGradientRGNData) == 134);
static_assert(offsetof(SetGradientRGNData, midpoint) == 8);
static_assert(offsetof(SetGradientRGNData, stopColor) == 16);
static_assert(offsetof(SetGradientRGNData, reserved) == 66);
static_assert(offsetof(SetGradientRGNData, flags) == 132);

static_assert(sizeof(SetPatternDefData) == 108);
static_assert(offsetof(SetPatternDefData, name) == 2);
static_assert(offsetof(SetPatternDefData, tileWidth) == 66);
static_assert(offsetof(SetPatternDefData, tileHeight) == 74);
static_assert(offsetof(SetPatternDefData, extra1) == 82);
static_assert(offsetof(SetPatternDefData, extra2) == 90);
static_assert(offsetof(SetPatternDefData, extra3) == 98);
static_assert(offsetof(SetPatternDefData, extraWord) == 106);

static_assert(sizeof(DefLayerData) == 260);
static_assert(offsetof(DefLayerData, visibility) == 256);

static_assert(sizeof(SetMatrixData) == 48 && offsetof(SetMatrixData, ty) == 40);

static_assert(sizeof(SetCharAttrData) == 194);
static_assert(offsetof(SetCharAttrData, faceName) == 2);
static_assert(offsetof(SetCharAttrData, styleNameLength) == 66);
static_assert(offsetof(SetCharAttrData, styleName) == 68);
static_assert(offsetof(SetCharAttrData, attributeWordA) == 132);
static_assert(offsetof(SetCharAttrData, attributeWordB) == 136);
static_assert(offsetof(SetCharAttrData, kernClass) == 140);
static_assert(offsetof(SetCharAttrData, fontSize) == 144);
static_assert(offsetof(SetCharAttrData, sizeIsEm) == 152);
static_assert(offsetof(SetCharAttrData, horizontalScale) == 154);
static_assert(offsetof(SetCharAttrData, attributeValueC) == 162);
static_assert(offsetof(SetCharAttrData, wordSpacing) == 170);
static_assert(offsetof(SetCharAttrData, charSpacing) == 178);
static_assert(offsetof(SetCharAttrData, attributeValueD) == 186);

static_assert(sizeof(SetTextAttrData) == 36);
static_assert(offsetof(SetTextAttrData, leading) == 16);
static_assert(offsetof(SetTextAttrData, paragraphLeading) == 24);
static_assert(offsetof(SetTextAttrData, paragraphWordE) == 32);

static_assert(sizeof(_TextData) == sizeof(char*) + 8);
static_assert(sizeof(SetTextMatrixData) == 48);
static_assert(sizeof(SetTextScaleData) == 16);

static_assert(sizeof(BeginBitmapData) == 58);
static_assert(offsetof(BeginBitmapData, width) == 48);
static_assert(offsetof(BeginBitmapData, height) == 50);
static_assert(offsetof(BeginBitmapData, bytesPerRow) == 52);
static_assert(offsetof(BeginBitmapData, bitDepth) == 54);
static_assert(offsetof(BeginBitmapData, colorModel) == 56);

static_assert(offsetof(BitmapData, lastRow) == 2);
static_assert(offsetof(BitmapData, rowData) == 4);
static_assert(sizeof(BitmapData) == 4 + sizeof(unsigned char*));

static_assert(sizeof(PathPostscriptData) == 326);
static_assert(offsetof(PathPostscriptData, placeX) == 258);
static_assert(offsetof(PathPostscriptData, placeY) == 266);
static_assert(offsetof(PathPostscriptData, placeScale) == 290);
static_assert(offsetof(PathPostscriptData, boxLeft) == 310);
static_assert(offsetof(PathPostscriptData, boxTop) == 314);
static_assert(offsetof(PathPostscriptData, boxRight) == 318);
static_assert(offsetof(PathPostscriptData, boxBottom) == 322);

static_assert(sizeof(PathBitmapData) == 300);
static_assert(offsetof(PathBitmapData, fileType) == 258);
static_assert(offsetof(PathBitmapData, placeX) == 260);
static_assert(offsetof(PathBitmapData, placeY) == 268);
static_assert(offsetof(PathBitmapData, placeWidth) == 276);
static_assert(offsetof(PathBitmapData, placeHeight) == 284);
static_assert(offsetof(PathBitmapData, placeScale) == 292);
