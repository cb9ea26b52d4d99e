// Default bodies of the host interface: drawing operations do nothing.
#include "host/AHostExportFilter.h"

#include "host/Opcodes.h"

int AHostExportFilter::exportFile(char*) { return 0; }
int AHostExportFilter::hasPrefererences() { return 0; }
int AHostExportFilter::displayPreferenceDialog() { return 1; }

int AHostExportFilter::writeData(unsigned short opcode, void* payload)
{
    // The interface's own routing: no locale bracket, no reset after the
    // picture, and only the operations this class declares.
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
    case aiop::kSetGradient: return SetGradient(static_cast<SetGradientData*>(payload));
    case aiop::kSetFillTypeName: return SetFillTypeName(static_cast<SetFillTypeNameData*>(payload));
    case aiop::kSetStroke: return SetStroke(static_cast<SetStrokeData*>(payload));
    case aiop::kSetStrokeColorByName: return SetStrokeColorByName(static_cast<NAME_TAG*>(payload));
    case aiop::kSetFillColorByValue:
        return SetFillColorByValue(static_cast<SetColorByValueData*>(payload));
    case aiop::kSetStrokeColorByValue:
        return SetStrokeColorByValue(static_cast<SetColorByValueData*>(payload));
    case aiop::kSetGradient2: return SetGradient2(static_cast<SetGradient2Data*>(payload));
    case aiop::kSetColorTable: return SetColorTable(static_cast<SetColorTableData*>(payload));
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
    default: return 1;
    }
}

int AHostExportFilter::BeginPicture(BeginPictureData*) { return 1; }
int AHostExportFilter::EndPicture()
{
    targetFile.Close();
    return 1;
}
int AHostExportFilter::BeginGroup() { return 1; }
int AHostExportFilter::EndGroup() { return 1; }
int AHostExportFilter::BeginComposite() { return 1; }
int AHostExportFilter::EndComposite() { return 1; }
int AHostExportFilter::BeginPattern() { return 1; }
int AHostExportFilter::EndPattern() { return 1; }
int AHostExportFilter::BeginPath() { return 1; }
int AHostExportFilter::EndPath() { return 1; }
int AHostExportFilter::BeginText() { return 1; }
int AHostExportFilter::EndText() { return 1; }
int AHostExportFilter::BeginSimpleText() { return 1; }
int AHostExportFilter::EndSimpleText() { return 1; }
int AHostExportFilter::BeginGuide() { return 1; }
int AHostExportFilter::EndGuide() { return 1; }
int AHostExportFilter::BeginGradient() { return 1; }
int AHostExportFilter::EndGradient() { return 1; }
int AHostExportFilter::BeginMask() { return 1; }
int AHostExportFilter::EndMask() { return 1; }
int AHostExportFilter::BeginBitmap(BeginBitmapData*) { return 1; }
int AHostExportFilter::EndBitmap() { return 1; }
int AHostExportFilter::Line(LineData*) { return 1; }
int AHostExportFilter::Arc(ArcData*) { return 1; }
int AHostExportFilter::ArcTo(ArcToData*) { return 1; }
int AHostExportFilter::Circle(CircleData*) { return 1; }
int AHostExportFilter::Ellipse(EllipseData*) { return 1; }
int AHostExportFilter::MoveTo(MoveToData*) { return 1; }
int AHostExportFilter::LineTo(LineToData*) { return 1; }
int AHostExportFilter::CurveTo(CurveToData*) { return 1; }
int AHostExportFilter::PathBitmap(PathBitmapData*) { return 1; }
int AHostExportFilter::PathPostscript(PathPostscriptData*) { return 1; }
int AHostExportFilter::Text(_TextData*) { return 1; }
int AHostExportFilter::AppendText(_TextData*) { return 1; }
int AHostExportFilter::Glyph(GlyphData*) { return 1; }
int AHostExportFilter::Bitmap(BitmapData*) { return 1; }
int AHostExportFilter::Rectangle(RectangleData*) { return 1; }
int AHostExportFilter::ClosePath() { return 1; }
int AHostExportFilter::ReversePath() { return 1; }
int AHostExportFilter::SetColorDef(SetColorDefData*) { return 1; }
int AHostExportFilter::SetPatternDef(SetPatternDefData*) { return 1; }
int AHostExportFilter::SetPatternTrans(char*) { return 1; }
int AHostExportFilter::SetPatternColSpacing(double*) { return 1; }
int AHostExportFilter::SetPatternRowSpacing(double*) { return 1; }
int AHostExportFilter::SetPatternBackground(SetColorByValueData*) { return 1; }
int AHostExportFilter::SetFillType(unsigned short*) { return 1; }
int AHostExportFilter::SetFillMode(unsigned short*) { return 1; }
int AHostExportFilter::SetFillTypeName(SetFillTypeNameData*) { return 1; }
int AHostExportFilter::SetGradientDef(SetGradientDefData*) { return 1; }
int AHostExportFilter::SetGradient(SetGradientData*) { return 1; }
int AHostExportFilter::SetGradient2(SetGradient2Data*) { return 1; }
int AHostExportFilter::SetGradientRGN(SetGradientRGNData*) { return 1; }
int AHostExportFilter::SetStroke(SetStrokeData*) { return 1; }
int AHostExportFilter::SetStrokeColorByName(NAME_TAG*) { return 1; }
int AHostExportFilter::SetFillColorByName(NAME_TAG*) { return 1; }
int AHostExportFilter::SetStrokeColorByValue(SetColorByValueData*) { return 1; }
int AHostExportFilter::SetFillColorByValue(SetColorByValueData*) { return 1; }
int AHostExportFilter::SetColorTable(SetColorTableData*) { return 1; }
int AHostExportFilter::SetTextType(unsigned short*) { return 1; }
int AHostExportFilter::SetCharAttr(SetCharAttrData*) { return 1; }
int AHostExportFilter::SetTextAttr(SetTextAttrData*) { return 1; }
int AHostExportFilter::SetArcTextAttr(SetArcTextAttrData*) { return 1; }
int AHostExportFilter::SetTextScale(SetTextScaleData*) { return 1; }
int AHostExportFilter::SetTextMatrix(SetTextMatrixData*) { return 1; }
int AHostExportFilter::SetTextVerOffset(double*) { return 1; }
int AHostExportFilter::SetGlyphMatrix(SetGlyphMatrixData*) { return 1; }
int AHostExportFilter::SetLineRun(SetLineRunData*) { return 1; }
int AHostExportFilter::SetLineRunMatrix(SetLineRunMatrixData*) { return 1; }
int AHostExportFilter::SetDirRun(SetDirRunData*) { return 1; }
int AHostExportFilter::SetJustRun(SetJustRunData*) { return 1; }
int AHostExportFilter::SetKernRun(SetKernRunData*) { return 1; }
int AHostExportFilter::SetParaRun(SetParaRunData*) { return 1; }
int AHostExportFilter::SetFontRun(SetFontRunData*) { return 1; }
int AHostExportFilter::SetText(SetTextData*) { return 1; }
int AHostExportFilter::SetTextTracking(double*) { return 1; }
int AHostExportFilter::DefineLayer(const DefLayerData*) { return 1; }
int AHostExportFilter::BeginLayer(const char*) { return 1; }
int AHostExportFilter::EndLayer() { return 1; }
