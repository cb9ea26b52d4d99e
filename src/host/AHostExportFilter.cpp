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
#define AIEXPORT_ROUTE0(opcode, Operation) \
    case aiop::opcode: return Operation();
#define AIEXPORT_ROUTE1(opcode, Operation, Payload) \
    case aiop::opcode: return Operation(static_cast<Payload>(payload));
#include "host/RecordRoutes.inc"
    case aiop::kSetGradient: return SetGradient(static_cast<SetGradientData*>(payload));
    case aiop::kSetColorTable: return SetColorTable(static_cast<SetColorTableData*>(payload));
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
