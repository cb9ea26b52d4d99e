// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::BeginPath() { return 1; }
int AAIExportFilter::MoveTo(MoveToData*) { return 1; }
int AAIExportFilter::LineTo(LineToData*) { return 1; }
int AAIExportFilter::CurveTo(CurveToData*) { return 1; }
int AAIExportFilter::ClosePath() { return 1; }
int AAIExportFilter::EndPath() { return 1; }
int AAIExportFilter::Line(LineData*) { return 1; }
