// Boxes of lines and cubic segments: exact extents, never the control hull.
#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "paths/PathBounds.h"

namespace {

PathBounds Curve(double x0, double y0, double x1, double y1, double x2, double y2, double x3,
                 double y3)
{
    PathBounds box;
    box.Start(x0, y0);
    box.ExtendCurve(x0, y0, x1, y1, x2, y2, x3, y3);
    return box;
}

double Bezier(double p0, double p1, double p2, double p3, double t)
{
    const double u = 1.0 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

}  // namespace

TEST(PathBounds, CurveBoxIsTightOverRandomSegments)
{
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> real(-100.0, 100.0);
    std::uniform_int_distribution<int> small(-3, 3);
    constexpr int kSamples = 4000;
    int hullWider = 0;
    for (int n = 0; n < 20000; ++n) {
        double p[8];
        // Half the segments on a coarse grid, so flat ends and repeated
        // control points (the zero cases) come up often.
        for (double& v : p)
            v = (n % 2 == 0) ? real(random) : small(random);
        const PathBounds box = Curve(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);

        double lo[2] = {HUGE_VAL, HUGE_VAL};
        double hi[2] = {-HUGE_VAL, -HUGE_VAL};
        for (int i = 0; i <= kSamples; ++i) {
            const double t = static_cast<double>(i) / kSamples;
            const double x = Bezier(p[0], p[2], p[4], p[6], t);
            const double y = Bezier(p[1], p[3], p[5], p[7], t);
            lo[0] = std::min(lo[0], x);
            hi[0] = std::max(hi[0], x);
            lo[1] = std::min(lo[1], y);
            hi[1] = std::max(hi[1], y);
        }
        // Containment is exact up to rounding; the edges are reached within
        // what a sampling step can miss near a flat extreme.
        const double contain = 1e-9;
        const double reach = 1e-3;
        ASSERT_LE(box.minX, lo[0] + contain) << n;
        ASSERT_GE(box.maxX, hi[0] - contain) << n;
        ASSERT_LE(box.minY, lo[1] + contain) << n;
        ASSERT_GE(box.maxY, hi[1] - contain) << n;
        ASSERT_NEAR(box.minX, lo[0], reach) << n;
        ASSERT_NEAR(box.maxX, hi[0], reach) << n;
        ASSERT_NEAR(box.minY, lo[1], reach) << n;
        ASSERT_NEAR(box.maxY, hi[1], reach) << n;

        const double hullMinX = std::min({p[0], p[2], p[4], p[6]});
        if (hullMinX < box.minX - reach)
            ++hullWider;
    }
    EXPECT_GT(hullWider, 1000);  // the test does exercise curves that bulge
}
