// Not built yet: records are accepted without output.
#include "filter/AAIExportFilter.h"

void PathBounds::Start(double x, double y) { minX = maxX = x; minY = maxY = y; valid = true; }
void PathBounds::ExtendLine(double, double) {}
void PathBounds::ExtendCurve(double, double, double, double, double, double, double, double) {}
int PathBounds::PointAt(double&, double&) const { return 1; }
