// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::PathPostscript(PathPostscriptData*) { return 1; }
int AAIExportFilter::PathBitmap(PathBitmapData*) { return 1; }
int AAIExportFilter::GetBitmapInformation(const char*, unsigned short, int&, int&, int&, int&) { return 0; }
int AAIExportFilter::Read_INT32_FromFile(AImportFile, int) { return 0; }
int AAIExportFilter::Read_INT16_FromFile(AImportFile, int) { return 0; }
unsigned int AAIExportFilter::Read_UINT32_FromFile(AImportFile, int) { return 0; }
unsigned short AAIExportFilter::Read_UINT16_FromFile(AImportFile, int) { return 0; }
