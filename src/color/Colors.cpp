// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::SetFillType(unsigned short*) { return 1; }
int AAIExportFilter::SetFillMode(unsigned short*) { return 1; }
int AAIExportFilter::SetFillTypeName(SetFillTypeNameData*) { return 1; }
int AAIExportFilter::SetFillColorByValue(SetColorByValueData*) { return 1; }
int AAIExportFilter::SetStrokeColorByValue(SetColorByValueData*) { return 1; }
int AAIExportFilter::ExportSetValueColor(SetColorByValueData*, int) { return 1; }
int AAIExportFilter::ExportSetRGBColor(double, double, double, int, int, const char*) { return 1; }
int AAIExportFilter::ExportSetCMYKColor(double, double, double, double, int, int, const char*) { return 1; }
int AAIExportFilter::ConvertCMYK_RGB(double, double, double, double, unsigned short&, unsigned short&, unsigned short&) { return 1; }
int AAIExportFilter::ConvertRGB_CMYK(double&, double&, double&, double&, unsigned short, unsigned short, unsigned short) { return 1; }
int AAIExportFilter::ConverRGB_Gray(double&, unsigned short, unsigned short, unsigned short) { return 1; }
