// The font factor: each bound belongs to the larger sizes.
#include <cmath>

#include <gtest/gtest.h>

#include "support/FilterProbe.h"

TEST(CalculateFontFactor, EachBoundBelongsToTheLargerSizes)
{
    const std::pair<double, double> bounds[] = {
        {8, 49.0 / 72},  {49, 25.0 / 36},     {200.0 / 3, 17.0 / 24},
        {85, 35.0 / 48}, {1295.0 / 12, 0.75},
    };
    double below = 2.0 / 3;  // the factor of every size under the first bound
    EXPECT_EQ(FilterProbe::CalculateFontFactor(-5), below);
    for (const auto& [bound, ratio] : bounds) {
        EXPECT_EQ(FilterProbe::CalculateFontFactor(std::nextafter(bound, 0.0)), below) << bound;
        EXPECT_EQ(FilterProbe::CalculateFontFactor(bound), ratio) << bound;
        below = ratio;
    }
    EXPECT_EQ(FilterProbe::CalculateFontFactor(1e300), 0.75);
}
