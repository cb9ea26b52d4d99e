// Boxes of written geometry; a cubic segment contributes its exact extent.
#include <cmath>
#include <utility>

#include "paths/PathBounds.h"

namespace {

constexpr double kEpsilon = 1e-8;

enum Sign { kNegative, kZero, kPositive };

Sign Classify(double d)
{
    if (d >= kEpsilon)
        return kPositive;
    if (d <= -kEpsilon)
        return kNegative;
    return kZero;
}

struct Range {
    double min;
    double max;
};

void Widen(Range& range, double value)
{
    if (value > range.max)
        range.max = value;
    else if (value < range.min)
        range.min = value;
}

// B at t = 1/(1+s): with w = 1/(1+s), 1-t = s*w and t = w.
double AtInverse(double p0, double p1, double p2, double p3, double s)
{
    const double w = 1.0 / (1.0 + s);
    return w * w * w * (((p0 * s + 3.0 * p1) * s + 3.0 * p2) * s + p3);
}

// B at t = s/(1+s): with w = 1/(1+s), 1-t = w and t = s*w.
double AtDirect(double p0, double p1, double p2, double p3, double s)
{
    const double w = 1.0 / (1.0 + s);
    return w * w * w * (((p3 * s + 3.0 * p2) * s + 3.0 * p1) * s + p0);
}

// Range of one coordinate of a cubic segment. B'(t) is proportional to
// (1-t)^2 d0 + 2(1-t)t d1 + t^2 d2; written in s = (1-t)/t it becomes
// s^2 d0 + 2 s d1 + d2 (roots (-d1 +- sqrt(D))/d0, D = d1^2 - d0 d2), and in
// s = t/(1-t) it becomes d0 + 2 s d1 + s^2 d2, used when d0 vanishes. Only
// roots with s > 0 lie inside the segment; the sign cases below pick them.
Range CurveRange(double p0, double p1, double p2, double p3)
{
    if (!(p0 < p3)) {
        std::swap(p0, p3);
        std::swap(p1, p2);
    }
    Range range{p0, p3};
    const double d0 = p1 - p0;
    const double d1 = p2 - p1;
    const double d2 = p3 - p2;
    const double D = d1 * d1 - d0 * d2;
    const Sign c0 = Classify(d0);
    const Sign c2 = Classify(d2);

    if (c0 != kZero && c0 == c2) {
        // Same signs at both ends: two stationary points or none.
        const bool turns = c0 == kPositive ? d1 < -kEpsilon : d1 > kEpsilon;
        if (turns && D > kEpsilon) {
            const double s1 = (std::sqrt(D) - d1) / d0;
            const double s2 = d2 / (d0 * s1);  // the product of the roots is d2/d0
            Widen(range, AtInverse(p0, p1, p2, p3, s1));
            Widen(range, AtInverse(p0, p1, p2, p3, s2));
        }
    } else if (c0 == kPositive && c2 == kNegative) {
        if (D > kEpsilon)
            Widen(range, AtInverse(p0, p1, p2, p3, (std::sqrt(D) - d1) / d0));
    } else if (c0 == kNegative && c2 == kPositive) {
        if (D > kEpsilon)
            Widen(range, AtInverse(p0, p1, p2, p3, (-std::sqrt(D) - d1) / d0));
    } else if (c0 != kZero && c2 == kZero) {
        if (c0 == kPositive ? d1 < -kEpsilon : d1 > kEpsilon)
            Widen(range, AtInverse(p0, p1, p2, p3, -2.0 * d1 / d0));
    } else if (c0 == kZero && c2 != kZero) {
        if (c2 == kPositive ? d1 < -kEpsilon : d1 > kEpsilon)
            Widen(range, AtDirect(p0, p1, p2, p3, -2.0 * d1 / d2));
    }
    return range;
}

}  // namespace

void PathBounds::Start(double x, double y)
{
    minX = maxX = x;
    minY = maxY = y;
    valid = true;
}

void PathBounds::ExtendLine(double x, double y)
{
    if (x < minX)
        minX = x;
    if (x > maxX)
        maxX = x;
    if (y < minY)
        minY = y;
    if (y > maxY)
        maxY = y;
}

void PathBounds::ExtendCurve(double x0, double y0, double x1, double y1, double x2, double y2,
                             double x3, double y3)
{
    const Range xs = CurveRange(x0, x1, x2, x3);
    const Range ys = CurveRange(y0, y1, y2, y3);
    if (xs.min < minX)
        minX = xs.min;
    if (xs.max > maxX)
        maxX = xs.max;
    if (ys.min < minY)
        minY = ys.min;
    if (ys.max > maxY)
        maxY = ys.max;
}

int PathBounds::PointAt(double& px, double& py) const
{
    px = minX + (maxX - minX) * px * 0.01;
    py = minY + (maxY - minY) * py * 0.01;
    return 1;
}
