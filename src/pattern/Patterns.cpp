// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::SetPatternSections(int*) { return 1; }
int AAIExportFilter::SetPatternDef(SetPatternDefData*) { return 1; }
int AAIExportFilter::SetPatternTrans(char*) { return 1; }
int AAIExportFilter::SetPatternColSpacing(double*) { return 1; }
int AAIExportFilter::SetPatternRowSpacing(double*) { return 1; }
int AAIExportFilter::SetPatternBackground(SetColorByValueData*) { return 1; }
int AAIExportFilter::BeginPattern() { return 1; }
int AAIExportFilter::EndPattern() { return 1; }
int AAIExportFilter::SetPatternTilePathAttrib() { return 1; }
int AAIExportFilter::SetPatternTilePathLineStyle() { return 1; }
int AAIExportFilter::IsPatternNameDefined(const char*, int& index) { index = kDefinitionSlots; return 0; }
int AAIExportFilter::SetExportPatternFill() { return 0; }
int AAIExportFilter::ExportPatternDefinition(unsigned int& position) { position = prologEndMark; return 1; }
