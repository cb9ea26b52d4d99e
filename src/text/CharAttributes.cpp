// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::SetCharAttr(SetCharAttrData*) { return 1; }
int AAIExportFilter::SetTextAttr(SetTextAttrData*) { return 1; }
int AAIExportFilter::SetTextTracking(double*) { return 1; }
double AAIExportFilter::CalculateFontFactor(double) { return 0.75; }
const char* AAIExportFilter::LookUpPostScriptName(const char*) { return nullptr; }
