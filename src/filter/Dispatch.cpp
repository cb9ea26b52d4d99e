// Routing of one record to its operation, inside the numeric-locale bracket.
#include "filter/AAIExportFilter.h"
#include "host/Opcodes.h"
#include "platform/Platform.h"

namespace {

// Records whose operation reads its payload: a null payload fails them.
bool ReadsPayload(unsigned short opcode)
{
    switch (opcode) {
    case aiop::kBeginPicture:
    case aiop::kBeginBitmap:
    case aiop::kBeginLayer:
    case aiop::kDefineLayer:
    case aiop::kLine:
    case aiop::kMoveTo:
    case aiop::kLineTo:
    case aiop::kCurveTo:
    case aiop::kPathBitmap:
    case aiop::kPathPostscript:
    case aiop::kText:
    case aiop::kAppendText:
    case aiop::kBitmap:
    case aiop::kSetColorDef:
    case aiop::kSetPatternDef:
    case aiop::kSetGradientDef:
    case aiop::kSetPatternTrans:
    case aiop::kSetPatternColSpacing:
    case aiop::kSetPatternRowSpacing:
    case aiop::kSetFillColorByName:
    case aiop::kSetFillType:
    case aiop::kSetFillMode:
    case aiop::kSetGradientRGN:
    case aiop::kSetFillTypeName:
    case aiop::kSetStroke:
    case aiop::kSetStrokeColorByName:
    case aiop::kSetFillColorByValue:
    case aiop::kSetStrokeColorByValue:
    case aiop::kSetMatrix:
    case aiop::kSetGradient2:
    case aiop::kSetPatternBackground:
    case aiop::kSetTextType:
    case aiop::kSetCharAttr:
    case aiop::kSetTextAttr:
    case aiop::kSetTextScale:
    case aiop::kSetTextMatrix:
    case aiop::kSetTextVerOffset:
    case aiop::kSetTextTracking:
    case aiop::kSetPatternSections:
    case aiop::kBeginDrawingSection:
        return true;
    default:
        return false;
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
    case aiop::kSetTextTracking:
        return true;
    default:
        return false;
    }
}

}  // namespace

int AAIExportFilter::writeData(unsigned short opcode, void* payload)
{
    aiexport_platform::NumericLocaleScope numericLocale;
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
    switch (opcode) {
#define AIEXPORT_ROUTE0(opcode, Operation) \
    case aiop::opcode: return Operation();
#define AIEXPORT_ROUTE1(opcode, Operation, Payload) \
    case aiop::opcode: return Operation(static_cast<Payload>(payload));
#include "host/RecordRoutes.inc"
    // Operations this filter adds to the interface.
    case aiop::kBeginClipRgn: return BeginClipRgn();
    case aiop::kEndClipRgn: return EndClipRgn();
    case aiop::kSetMatrix: return SetMatrix(static_cast<SetMatrixData*>(payload));
    case aiop::kSetPatternSections: return SetPatternSections(static_cast<int*>(payload));
    case aiop::kBeginPatternSection: return BeginPatternSection();
    case aiop::kEndPatternSection: return EndPatternSection();
    case aiop::kBeginDrawingSection:
        return BeginDrawingSection(static_cast<BeginDrawingSectionData*>(payload));
    case aiop::kEndDrawingSection: return EndDrawingSection();
    case aiop::kBeginPreviewSection: return BeginPreviewSection();
    case aiop::kEndPreviewSection: return EndPreviewSection();
    case aiop::kSetPreview: return SetPreview(static_cast<SetPreviewData*>(payload));
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
