// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::BeginText() { return 1; }
int AAIExportFilter::EndText() { return 1; }
int AAIExportFilter::BeginSimpleText() { return 1; }
int AAIExportFilter::EndSimpleText() { return 1; }
int AAIExportFilter::SetTextType(unsigned short*) { return 1; }
int AAIExportFilter::SetTextMatrix(SetTextMatrixData*) { return 1; }
int AAIExportFilter::Text(_TextData*) { return 1; }
int AAIExportFilter::AppendText(_TextData*) { return 1; }
int AAIExportFilter::ExportTextString() { return 1; }
int AAIExportFilter::GetRenderModeFromGSatate(int& mode) { mode = 0; return 1; }
int AAIExportFilter::SetTextScale(SetTextScaleData*) { return 1; }
int AAIExportFilter::SetTextVerOffset(double*) { return 1; }
int AAIExportFilter::SetArcTextAttr(SetArcTextAttrData*) { return 1; }
int AAIExportFilter::SetText(SetTextData*) { return 1; }
int AAIExportFilter::Glyph(GlyphData*) { return 1; }
int AAIExportFilter::SetGlyphMatrix(SetGlyphMatrixData*) { return 1; }
int AAIExportFilter::SetLineRun(SetLineRunData*) { return 1; }
int AAIExportFilter::SetLineRunMatrix(SetLineRunMatrixData*) { return 1; }
int AAIExportFilter::SetDirRun(SetDirRunData*) { return 1; }
int AAIExportFilter::SetJustRun(SetJustRunData*) { return 1; }
int AAIExportFilter::SetKernRun(SetKernRunData*) { return 1; }
int AAIExportFilter::SetParaRun(SetParaRunData*) { return 1; }
int AAIExportFilter::SetFontRun(SetFontRunData*) { return 1; }
