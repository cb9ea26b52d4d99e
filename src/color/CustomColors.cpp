// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::SetColorDef(SetColorDefData*) { return 1; }
int AAIExportFilter::SetFillColorByName(NAME_TAG*) { return 1; }
int AAIExportFilter::SetStrokeColorByName(NAME_TAG*) { return 1; }
int AAIExportFilter::IsColorExistingByColorName(const char*, int& index) { index = kDefinitionSlots; return 0; }
int AAIExportFilter::ExportSetNameColor(NAME_TAG*, int) { return 0; }
