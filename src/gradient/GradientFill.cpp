// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::PaintGradient(char*) { return 0; }
