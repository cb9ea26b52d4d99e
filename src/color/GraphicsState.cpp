// Defaults of the colours and the graphics state, applied at each picture and drawing section.
#include <cstring>

#include "filter/AAIExportFilter.h"

void AAIExportFilter::ResetFillColor()
{
    graphicsState.fillColor = SetColorByValueData{0, 0, 0, 0, 0.0, 0.0, 0.0, 1.0};
}

void AAIExportFilter::ResetGraphicsState()
{
    // The colour names, the by-name flags and fillTypeName are not reset.
    graphicsState.stroke = SetStrokeData{kStrokeNone, 0.0, 2, 1, 1.0001};
    graphicsState.strokeColor = SetColorByValueData{0, 0, 0, 0, 0.0, 0.0, 0.0, 1.0};
    strokeColorStale = 0;
    ResetFillColor();
    graphicsState.fillType = kFillSolid;
    const double identity[6] = {1.0, 0.0, 0.0, 1.0, 0.0, 0.0};
    std::memcpy(graphicsState.matrix, identity, sizeof identity);
}
