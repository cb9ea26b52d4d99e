// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::BeginGroup() { return 1; }
int AAIExportFilter::EndGroup() { return 1; }
int AAIExportFilter::BeginComposite() { return 1; }
int AAIExportFilter::EndComposite() { return 1; }
int AAIExportFilter::BeginMask() { return 1; }
int AAIExportFilter::EndMask() { return 1; }
int AAIExportFilter::BeginClipRgn() { return 1; }
int AAIExportFilter::EndClipRgn() { return 1; }
int AAIExportFilter::BeginGuide() { return 1; }
int AAIExportFilter::EndGuide() { return 1; }
int AAIExportFilter::SetMatrix(SetMatrixData*) { return 1; }
