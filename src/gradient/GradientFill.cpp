// Gradient fills: the instance that wraps a path's paint operator.
#include <cmath>
#include <cstring>

#include "filter/AAIExportFilter.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

// Direction from the start to the end point, in degrees, -180 < a <= 180.
double GradientAngle(double dx, double dy, bool startRightOfEnd)
{
    // Coincident points have no direction; 0/0 would print as nonsense.
    if (dx == 0.0 && dy == 0.0)
        return 0.0;
    // arctan covers only the right half plane; a vector pointing left is
    // turned by half a circle. dx = 0 gives +-inf and so +-90.
    double angle = std::atan(dy / dx) * kDegreesPerRadian;
    if (startRightOfEnd)
        angle = angle <= 0.0 ? angle + 180.0 : angle - 180.0;
    return angle;
}

}  // namespace

int AAIExportFilter::PaintGradient(char* paint)
{
    if (paint == nullptr || graphicsState.fillType != kFillGradient)
        return 0;
    // Looked up before anything is written: an instance without its
    // gradient would leave the file unreadable.
    int slot = kDefinitionSlots;
    if (!IsGradientNameDefined(graphicsState.fillTypeName.name, slot))
        return 0;
    const GradientSlot& gradient = gradientTable[slot];
    double x1 = gradient.startX, y1 = gradient.startY;
    double x2 = gradient.endX, y2 = gradient.endY;
    regionBounds.PointAt(x1, y1);
    regionBounds.PointAt(x2, y2);
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double angle = GradientAngle(dx, dy, x1 > x2);
    const double length = std::sqrt(dx * dx + dy * dy);

    const double vector[4] = {x1, y1, angle, length};
    const int strokeFlag = graphicsState.stroke.style == kStrokeNone ? 0 : (pathClosed ? 2 : 1);
    if (!output.Write("Bb\n0 0 0 0 Bh\n1 ", Name(gradient.writtenName), token::Reals{vector, 4},
                      "1 0 0 1 0 0 Bg\n", token::Text(paint), token::Integer{strokeFlag}, "BB\n"))
        return 0;
    currentDefinitionIndex = slot;
    return 1;
}
