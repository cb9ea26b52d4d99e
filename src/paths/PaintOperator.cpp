// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::GetPaintFromGSatate(char*) { return 1; }
