// Colour conversions: the last bit of each result reaches the file.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "support/FilterProbe.h"

TEST(ColorConversions, ExamplesAndExactArithmetic)
{
    unsigned short r = 0, g = 0, b = 0;
    auto toRgb = [&](double c, double m, double y, double k) {
        FilterProbe::ConvertCMYK_RGB(c, m, y, k, r, g, b);
        return std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b);
    };
    EXPECT_EQ(toRgb(0, 0.5, 1.0, 0), "255 127 0");                // truncated, not rounded
    EXPECT_EQ(toRgb(0.7, 0, 0, 0.5), "0 127 127");                // c + k capped at 1
    EXPECT_EQ(toRgb(-0.5, 0, 0, 0), "382 255 255");               // sums below 0 not clamped
    EXPECT_EQ(toRgb(-1e300, std::nan(""), 0, 0), "65535 0 255");  // saturates; NaN counts as 1

    double c = 0, m = 0, y = 0, k = 0;
    FilterProbe::ConvertRGB_CMYK(c, m, y, k, 255, 0, 0);
    EXPECT_TRUE(c == 0.0 && m == 1.0 && y == 1.0 && k == 0.0);  // not reduced by k
    FilterProbe::ConvertRGB_CMYK(c, m, y, k, 128, 128, 128);
    EXPECT_NEAR(c, 0.498, 1e-3);
    EXPECT_EQ(k, c);
    // 1/255 is a multiplier: 37 * (1/255) differs from 37 / 255 in the last bit.
    FilterProbe::ConvertRGB_CMYK(c, m, y, k, 37, 0, 0);
    EXPECT_EQ(c, 0x1.b5b5b5b5b5b5cp-1);

    double gray = 0;
    FilterProbe::ConverRGB_Gray(gray, 255, 0, 0);
    EXPECT_EQ(gray, 0x1.3333333333333p-2);
    // Summed blue, green, red: the order red, green, blue gives ...12p-6.
    FilterProbe::ConverRGB_Gray(gray, 1, 7, 26);
    EXPECT_EQ(gray, 0x1.d463bfe8dea13p-6);
}
