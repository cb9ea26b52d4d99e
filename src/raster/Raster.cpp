// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::BeginBitmap(BeginBitmapData*) { return 1; }
int AAIExportFilter::Bitmap(BitmapData*) { return 1; }
int AAIExportFilter::EndBitmap() { return 1; }
