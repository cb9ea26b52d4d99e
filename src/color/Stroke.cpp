// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::SetStroke(SetStrokeData*) { return 1; }
