// Routing of one record to its operation, inside the numeric-locale bracket.
#include "filter/AAIExportFilter.h"
#include "host/Opcodes.h"
#include "platform/Platform.h"

namespace {

// Records whose operation reads its payload: a null payload fails them.
#define AIEXPORT_READS_NoPayload false
#define AIEXPORT_READS_Ignored(Type) false
#define AIEXPORT_READS_Struct(Type) true
#define AIEXPORT_READS_String true

bool ReadsPayload(unsigned short opcode)
{
    switch (opcode) {
// clang-format off
#define AIEXPORT_RECORD(Name, opcode, Route, Payload, Fields) \
    case aiop::k##Name: return AIEXPORT_READS_##Payload;
#include "host/Records.def"
        // clang-format on
    default: return false;
    }
}

bool IsTextRecord(unsigned short opcode)
{
    switch (opcode) {
    case aiop::kBeginText:
    case aiop::kEndText:
    case aiop::kBeginSimpleText:
    case aiop::kEndSimpleText:
    case aiop::kText:
    case aiop::kAppendText:
    case aiop::kGlyph:
    case aiop::kSetTextType:
    case aiop::kSetCharAttr:
    case aiop::kSetTextAttr:
    case aiop::kSetArcTextAttr:
    case aiop::kSetTextScale:
    case aiop::kSetTextMatrix:
    case aiop::kSetTextVerOffset:
    case aiop::kSetGlyphMatrix:
    case aiop::kSetLineRun:
    case aiop::kSetLineRunMatrix:
    case aiop::kSetDirRun:
    case aiop::kSetJustRun:
    case aiop::kSetKernRun:
    case aiop::kSetParaRun:
    case aiop::kSetFontRun:
    case aiop::kSetText:
    case aiop::kSetTextTracking: return true;
    default: return false;
    }
}

bool IsKnownRecord(unsigned short opcode)
{
    switch (opcode) {
// clang-format off
#define AIEXPORT_RECORD(Name, opcode, Route, Payload, Fields) case aiop::k##Name: return true;
#include "host/Records.def"
        // clang-format on
    default: return false;
    }
}

// An image's data lines admit nothing between them: while one is open, only
// its rows, its end, the records that end it (the next image among them) and
// records that write nothing are taken.
bool IsAdmittedInImage(unsigned short opcode)
{
    switch (opcode) {
    case aiop::kBitmap:
    case aiop::kEndBitmap:
    case aiop::kBeginBitmap:
    case aiop::kBeginPicture:
    case aiop::kEndPicture:
    case aiop::kBeginPatternSection:
    case aiop::kEndPatternSection:
    case aiop::kBeginDrawingSection:
    case aiop::kEndDrawingSection:
    case aiop::kSetMatrix:
    case aiop::kSetColorDef:
    case aiop::kDefineLayer:
    case aiop::kBeginGradient:
    case aiop::kSetGradientDef:
    case aiop::kSetGradient2:
    case aiop::kSetGradientRGN:
    case aiop::kEndGradient:
    case aiop::kSetGradient:
    case aiop::kSetColorTable:
    case aiop::kSetPatternSections:
    case aiop::kArc:
    case aiop::kArcTo:
    case aiop::kCircle:
    case aiop::kEllipse:
    case aiop::kRectangle:
    case aiop::kReversePath:
    case aiop::kBeginPreviewSection:
    case aiop::kEndPreviewSection:
    case aiop::kSetPreview: return true;
    default: return !IsKnownRecord(opcode);
    }
}

// The records a drawing sends most, whose operations write numbers only
// through the module's own formatter (output/FixedPoint.h, the hexadecimal
// encoder) and call nothing of the C library a locale changes. They need no
// bracket, whose two locale switches were 5% of a vector drawing's instructions.
bool NeedsNoLocale(unsigned short opcode)
{
    switch (opcode) {
    case aiop::kMoveTo:
    case aiop::kLineTo:
    case aiop::kCurveTo:
    case aiop::kBitmap: return true;
    default: return false;
    }
}

}  // namespace

int AAIExportFilter::writeData(unsigned short opcode, void* payload)
{
    aiexport_platform::NumericLocaleScope numericLocale(!NeedsNoLocale(opcode));
    int result = 0;
    try {
        result = (payload == nullptr && ReadsPayload(opcode)) ? 0 : Dispatch(opcode, payload);
    } catch (...) {
        result = 0;
    }
    if (opcode == aiop::kEndPicture) {
        try {
            ResetParameters();
        } catch (...) {
        }
    }
    return result;
}

int AAIExportFilter::Dispatch(unsigned short opcode, void* payload)
{
    // Everything in a pattern tile lies inside the tile items' strings, and a
    // text object has no item or bounds of its own there: text is refused.
    if (inPatternDefinition && IsTextRecord(opcode))
        return 0;
    if (rasterOpen && !IsAdmittedInImage(opcode))
        return 0;
    switch (opcode) {
// clang-format off
#define AIEXPORT_RECORD(Name, opcode, Route, Payload, Fields) \
    AIEXPORT_FILTER_##Route(Name, AIEXPORT_ARGUMENT_##Payload)
#define AIEXPORT_FILTER_Both AIEXPORT_ROUTE
#define AIEXPORT_FILTER_Interface AIEXPORT_UNROUTED
#define AIEXPORT_FILTER_Filter AIEXPORT_ROUTE
#include "host/Records.def"
        // clang-format on
    default: return 1;  // 40, 41, 1290, 1301, 2056 and unknown opcodes
    }
}

// Records accepted without effect.
int AAIExportFilter::Arc(ArcData*) { return 1; }
int AAIExportFilter::ArcTo(ArcToData*) { return 1; }
int AAIExportFilter::Circle(CircleData*) { return 1; }
int AAIExportFilter::Ellipse(EllipseData*) { return 1; }
int AAIExportFilter::Rectangle(RectangleData*) { return 1; }
int AAIExportFilter::ReversePath() { return 1; }
int AAIExportFilter::BeginGradient() { return 1; }
int AAIExportFilter::SetGradient(SetGradientData*) { return 1; }
int AAIExportFilter::SetColorTable(SetColorTableData*) { return 1; }
int AAIExportFilter::BeginPreviewSection() { return 1; }
int AAIExportFilter::EndPreviewSection() { return 1; }
int AAIExportFilter::SetPreview(SetPreviewData*) { return 1; }
