// Blurred flat shapes as level sets: what a point is painted with (the
// innermost level that holds it) against the Gaussian blur worked out apart.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#ifdef AIEXPORT_HAVE_SVG
#include "SvgBlur.h"
#include "support/PathInside.h"

namespace {

using svgreader::BlurLevel;
using svgreader::BlurSettings;
using svgreader::BlurSource;
using svgreader::Point;
using svgreader::RectPath;

double Shown(const std::vector<BlurLevel>& levels, Point p)
{
    double alpha = 0;
    for (const BlurLevel& l : levels)
        if (InsidePath(l.area, p))
            alpha = l.alpha;
    return alpha;
}

// A box filter blurred: the product of the blurs along each axis.
double Phi(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }
double BlurredSquare(Point p, double x, double y, double side, double sx, double sy)
{
    return (Phi((p.x - x) / sx) - Phi((p.x - x - side) / sx)) *
           (Phi((p.y - y) / sy) - Phi((p.y - y - side) / sy));
}

BlurSettings Settings(double sx, double sy)
{
    BlurSettings s;
    s.deviationX = sx, s.deviationY = sy;
    s.region.Add(-1000, -1000), s.region.Add(1000, 1000);
    s.tolerance = 0.05;
    s.maxPixel = 1;
    return s;
}

TEST(SvgBlur, LevelsFollowTheBlurWithinAStep)
{
    // Across an edge, along a corner's diagonal and in a small shape whose
    // blur never reaches full alpha; each axis blurred by its own deviation.
    for (const auto& [side, sx, sy] :
         {std::tuple{100.0, 4.0, 4.0}, std::tuple{100.0, 6.0, 2.0}, std::tuple{6.0, 3.0, 3.0}}) {
        std::vector<BlurLevel> levels;
        ASSERT_TRUE(svgreader::BlurLevels({{RectPath(0, 0, side, side, 0, 0), false, 1}},
                                          Settings(sx, sy), levels));
        ASSERT_GT(levels.size(), 10u);
        for (std::size_t k = 1; k < levels.size(); ++k)
            EXPECT_GT(levels[k].alpha, levels[k - 1].alpha);
        const double peak = BlurredSquare({side / 2, side / 2}, 0, 0, side, sx, sy);
        EXPECT_NEAR(levels.back().alpha, peak, 0.01);
        const double limit = 3.0 / 255;
        for (double t = -4; t <= 4; t += 0.37) {
            const Point edge{t * sx, side / 2}, corner{t * sx, t * sy};
            EXPECT_NEAR(Shown(levels, edge), BlurredSquare(edge, 0, 0, side, sx, sy), limit)
                << side << " " << t;
            EXPECT_NEAR(Shown(levels, corner), BlurredSquare(corner, 0, 0, side, sx, sy), limit)
                << side << " " << t;
        }
    }
}

TEST(SvgBlur, SourcesCompositeAndTheRegionCuts)
{
    // Two half-clear squares over each other: three quarters where both are.
    std::vector<BlurLevel> levels;
    ASSERT_TRUE(svgreader::BlurLevels({{RectPath(0, 0, 100, 100, 0, 0), false, 0.5},
                                       {RectPath(50, 0, 100, 100, 0, 0), false, 0.5}},
                                      Settings(2, 2), levels));
    EXPECT_NEAR(Shown(levels, {75, 50}), 0.75, 2.0 / 255);
    EXPECT_NEAR(Shown(levels, {25, 50}), 0.5, 2.0 / 255);

    // The region holds the square and no more: nothing beyond it, the
    // blur as before inside it.
    BlurSettings cut = Settings(4, 4);
    cut.region = {};
    cut.region.Add(0, 0), cut.region.Add(100, 100);
    ASSERT_TRUE(svgreader::BlurLevels({{RectPath(0, 0, 100, 100, 0, 0), false, 1}}, cut, levels));
    EXPECT_EQ(Shown(levels, {-1.5, 50}), 0);
    EXPECT_EQ(Shown(levels, {50, 101.5}), 0);
    EXPECT_NEAR(Shown(levels, {2, 50}), BlurredSquare({2, 50}, 0, 0, 100, 4, 4), 3.0 / 255);
}

TEST(SvgBlur, WhatCannotBeSampledIsRefused)
{
    std::vector<BlurLevel> levels;
    const std::vector<BlurSource> square{{RectPath(0, 0, 100, 100, 0, 0), false, 1}};
    // Too clear to show: no level, and that is an answer.
    EXPECT_TRUE(svgreader::BlurLevels({{RectPath(0, 0, 100, 100, 0, 0), false, 0.001}},
                                      Settings(4, 4), levels));
    EXPECT_TRUE(levels.empty());
    const double nan = std::nan(""), inf = HUGE_VAL;
    for (const auto& [sx, sy] :
         {std::pair{-1.0, 4.0}, std::pair{0.0, 0.0}, std::pair{nan, 4.0}, std::pair{inf, 4.0}})
        EXPECT_FALSE(svgreader::BlurLevels(square, Settings(sx, sy), levels)) << sx;
    // Far wider along one axis than the other: the kernel along it would
    // not end (or not in time).
    EXPECT_FALSE(svgreader::BlurLevels(square, Settings(1e300, 1), levels));
    EXPECT_FALSE(svgreader::BlurLevels(square, Settings(5000, 1), levels));
    // A page-wide shape sampled no coarser than a hundredth: beyond the grid.
    BlurSettings fine = Settings(4, 4);
    fine.maxPixel = 0.01;
    EXPECT_FALSE(svgreader::BlurLevels(square, fine, levels));
    // The steps widen to stay within the levels asked for.
    BlurSettings few = Settings(4, 4);
    few.maxLevels = 16;
    ASSERT_TRUE(svgreader::BlurLevels(square, few, levels));
    EXPECT_EQ(levels.size(), 16u);
}

}  // namespace

#endif
