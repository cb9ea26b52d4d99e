// The paint operator that ends a path, from the fill and stroke state.
#include <cmath>

#include "filter/AAIExportFilter.h"

namespace {

constexpr double kSamePoint = 1e-8;

}  // namespace

int AAIExportFilter::GetPaintFromGSatate(char* paint)
{
    if (paint == nullptr)
        return 0;
    const bool filled = graphicsState.fillType != kFillNone;
    const bool stroked = graphicsState.stroke.style != kStrokeNone;
    // An end point back on the start of the last subpath closes the path
    // as surely as a ClosePath record does.
    const bool closed = pathClosed || (std::fabs(subpathStart.x - currentPoint.x) < kSamePoint &&
                                       std::fabs(subpathStart.y - currentPoint.y) < kSamePoint);
    char letter;
    if (!closed)
        letter = (filled || stroked) ? 'S' : 'N';  // an open path is never filled
    else if (filled)
        letter = stroked ? 'b' : 'f';
    else
        letter = stroked ? 's' : 'n';
    paint[0] = letter;
    return 1;
}
