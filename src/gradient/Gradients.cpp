// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::SetGradientDef(SetGradientDefData*) { return 1; }
int AAIExportFilter::SetGradient2(SetGradient2Data*) { return 1; }
int AAIExportFilter::SetGradientRGN(SetGradientRGNData*) { return 1; }
int AAIExportFilter::EndGradient() { return 1; }
void AAIExportFilter::AssignGradientColor(const GradientColor&, GradientColor&) {}
int AAIExportFilter::IsGradientNameDefined(const char*, int& index) { index = kDefinitionSlots; return 0; }
int AAIExportFilter::ExportGradientDefinition() { return 1; }
int AAIExportFilter::GenerateLinearGradRegion(int) { return 1; }
int AAIExportFilter::GenerateRadialGradRegion(int) { return 1; }
void AAIExportFilter::FreeGradientStops() {}
