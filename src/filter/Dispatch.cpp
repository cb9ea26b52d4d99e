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
    switch (opcode) {
    case aiop::kBeginPicture: return BeginPicture(static_cast<BeginPictureData*>(payload));
    case aiop::kEndPicture: return EndPicture();
    case aiop::kBeginGroup: return BeginGroup();
    case aiop::kEndGroup: return EndGroup();
    case aiop::kBeginComposite: return BeginComposite();
    case aiop::kEndComposite: return EndComposite();
    case aiop::kBeginPattern: return BeginPattern();
    case aiop::kEndPattern: return EndPattern();
    case aiop::kBeginPath: return BeginPath();
    case aiop::kEndPath: return EndPath();
    case aiop::kBeginText: return BeginText();
    case aiop::kEndText: return EndText();
    case aiop::kBeginSimpleText: return BeginSimpleText();
    case aiop::kEndSimpleText: return EndSimpleText();
    case aiop::kBeginGuide: return BeginGuide();
    case aiop::kEndGuide: return EndGuide();
    case aiop::kBeginGradient: return BeginGradient();
    case aiop::kEndGradient: return EndGradient();
    case aiop::kBeginMask: return BeginMask();
    case aiop::kEndMask: return EndMask();
    case aiop::kBeginBitmap: return BeginBitmap(static_cast<BeginBitmapData*>(payload));
    case aiop::kEndBitmap: return EndBitmap();
    case aiop::kBeginClipRgn: return BeginClipRgn();
    case aiop::kEndClipRgn: return EndClipRgn();
    case aiop::kBeginLayer: return BeginLayer(static_cast<const char*>(payload));
    case aiop::kEndLayer: return EndLayer();
    case aiop::kDefineLayer: return DefineLayer(static_cast<const DefLayerData*>(payload));
    case aiop::kLine: return Line(static_cast<LineData*>(payload));
    case aiop::kArc: return Arc(static_cast<ArcData*>(payload));
    case aiop::kArcTo: return ArcTo(static_cast<ArcToData*>(payload));
    case aiop::kCircle: return Circle(static_cast<CircleData*>(payload));
    case aiop::kEllipse: return Ellipse(static_cast<EllipseData*>(payload));
    case aiop::kRectangle: return Rectangle(static_cast<RectangleData*>(payload));
    case aiop::kMoveTo: return MoveTo(static_cast<MoveToData*>(payload));
    case aiop::kLineTo: return LineTo(static_cast<LineToData*>(payload));
    case aiop::kCurveTo: return CurveTo(static_cast<CurveToData*>(payload));
    case aiop::kPathBitmap: return PathBitmap(static_cast<PathBitmapData*>(payload));
    case aiop::kPathPostscript: return PathPostscript(static_cast<PathPostscriptData*>(payload));
    case aiop::kText: return Text(static_cast<_TextData*>(payload));
    case aiop::kAppendText: return AppendText(static_cast<_TextData*>(payload));
    case aiop::kGlyph: return Glyph(static_cast<GlyphData*>(payload));
    case aiop::kBitmap: return Bitmap(static_cast<BitmapData*>(payload));
    case aiop::kClosePath: return ClosePath();
    case aiop::kReversePath: return ReversePath();
    case aiop::kSetColorDef: return SetColorDef(static_cast<SetColorDefData*>(payload));
    case aiop::kSetPatternDef: return SetPatternDef(static_cast<SetPatternDefData*>(payload));
    case aiop::kSetGradientDef: return SetGradientDef(static_cast<SetGradientDefData*>(payload));
    case aiop::kSetPatternTrans: return SetPatternTrans(static_cast<char*>(payload));
    case aiop::kSetPatternColSpacing: return SetPatternColSpacing(static_cast<double*>(payload));
    case aiop::kSetPatternRowSpacing: return SetPatternRowSpacing(static_cast<double*>(payload));
    case aiop::kSetFillColorByName: return SetFillColorByName(static_cast<NAME_TAG*>(payload));
    case aiop::kSetFillType: return SetFillType(static_cast<unsigned short*>(payload));
    case aiop::kSetFillMode: return SetFillMode(static_cast<unsigned short*>(payload));
    case aiop::kSetGradientRGN: return SetGradientRGN(static_cast<SetGradientRGNData*>(payload));
    case aiop::kSetFillTypeName: return SetFillTypeName(static_cast<SetFillTypeNameData*>(payload));
    case aiop::kSetStroke: return SetStroke(static_cast<SetStrokeData*>(payload));
    case aiop::kSetStrokeColorByName: return SetStrokeColorByName(static_cast<NAME_TAG*>(payload));
    case aiop::kSetFillColorByValue:
        return SetFillColorByValue(static_cast<SetColorByValueData*>(payload));
    case aiop::kSetStrokeColorByValue:
        return SetStrokeColorByValue(static_cast<SetColorByValueData*>(payload));
    case aiop::kSetMatrix: return SetMatrix(static_cast<SetMatrixData*>(payload));
    case aiop::kSetGradient2: return SetGradient2(static_cast<SetGradient2Data*>(payload));
    case aiop::kSetPatternBackground:
        return SetPatternBackground(static_cast<SetColorByValueData*>(payload));
    case aiop::kSetTextType: return SetTextType(static_cast<unsigned short*>(payload));
    case aiop::kSetCharAttr: return SetCharAttr(static_cast<SetCharAttrData*>(payload));
    case aiop::kSetTextAttr: return SetTextAttr(static_cast<SetTextAttrData*>(payload));
    case aiop::kSetArcTextAttr: return SetArcTextAttr(static_cast<SetArcTextAttrData*>(payload));
    case aiop::kSetTextScale: return SetTextScale(static_cast<SetTextScaleData*>(payload));
    case aiop::kSetTextMatrix: return SetTextMatrix(static_cast<SetTextMatrixData*>(payload));
    case aiop::kSetTextVerOffset: return SetTextVerOffset(static_cast<double*>(payload));
    case aiop::kSetGlyphMatrix: return SetGlyphMatrix(static_cast<SetGlyphMatrixData*>(payload));
    case aiop::kSetLineRun: return SetLineRun(static_cast<SetLineRunData*>(payload));
    case aiop::kSetLineRunMatrix:
        return SetLineRunMatrix(static_cast<SetLineRunMatrixData*>(payload));
    case aiop::kSetDirRun: return SetDirRun(static_cast<SetDirRunData*>(payload));
    case aiop::kSetJustRun: return SetJustRun(static_cast<SetJustRunData*>(payload));
    case aiop::kSetKernRun: return SetKernRun(static_cast<SetKernRunData*>(payload));
    case aiop::kSetParaRun: return SetParaRun(static_cast<SetParaRunData*>(payload));
    case aiop::kSetFontRun: return SetFontRun(static_cast<SetFontRunData*>(payload));
    case aiop::kSetText: return SetText(static_cast<SetTextData*>(payload));
    case aiop::kSetTextTracking: return SetTextTracking(static_cast<double*>(payload));
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
