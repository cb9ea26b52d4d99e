// Character attributes: names read within their arrays, and the font factor's bounds.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "text/TextSupport.h"

TEST(CharAttr, UnterminatedNamesAreReadToTheArrayEndAndCompareWhole)
{
    const std::string face(64, 'F');
    ExportSession s;
    s.Record(aiop::kBeginText);
    s.filter.Mark();
    s.Record(aiop::kSetCharAttr, CharAttr(face, std::string(64, 's')));
    const std::string tf = " 17.6327 13.2245 -4.4082 Tf\n";
    const std::string first = "/_" + face + "-" + std::string(64, 's') + tf;
    EXPECT_EQ(s.filter.SinceMark().substr(0, first.size()), first);
    SendText(s, "A");
    s.filter.Mark();
    // The same names again write nothing; one byte less is another font.
    s.Record(aiop::kSetCharAttr, CharAttr(face, std::string(64, 's')));
    s.Record(aiop::kSetCharAttr, CharAttr(face, std::string(63, 's')));
    EXPECT_EQ(s.filter.SinceMark(), "(A) Tx 1 15 Tk\n/_" + face + "-" + std::string(63, 's') + tf);
}

TEST(CalculateFontFactor, EachBoundBelongsToTheLargerSizes)
{
    const std::pair<double, double> bounds[] = {
        {8, 49.0 / 72}, {49, 25.0 / 36}, {200.0 / 3, 17.0 / 24}, {85, 35.0 / 48}, {1295.0 / 12, 0.75},
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
