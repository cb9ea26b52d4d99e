// Number tokens against what the format requires, over more values than any drawing holds.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/FilterProbe.h"

namespace {

std::string Float(double v)
{
    char out[kMaxRealToken + 1];
    const unsigned n = FilterProbe::FloatToString(out, v);
    return std::string(out, n);
}

}  // namespace

TEST(FloatToString, NeverWritesNanOrInf)
{
    EXPECT_EQ(Float(std::nan("")), "0.0000 ");
    EXPECT_EQ(Float(HUGE_VAL), "0.0000 ");
    EXPECT_EQ(Float(-HUGE_VAL), "0.0000 ");
}

TEST(TruncateToInt, TruncatesTowardZeroAndClamps)
{
    EXPECT_EQ(FilterProbe::TruncateToInt(-0.5), 0);
    EXPECT_EQ(FilterProbe::TruncateToInt(791.9), 791);
    EXPECT_EQ(FilterProbe::TruncateToInt(-791.9), -791);
    EXPECT_EQ(FilterProbe::TruncateToInt(1e300), 2147483647);
    EXPECT_EQ(FilterProbe::TruncateToInt(-1e300), -2147483647 - 1);
    EXPECT_EQ(FilterProbe::TruncateToInt(std::nan("")), 0);
}

TEST(FloatToString, WritesWhatPrintfWrites)
{
    // Tens of millions of values where a fast formatter goes wrong first:
    // exact ties, one ulp either side of ties, powers of ten, values that
    // round to -0.0000, the edge of the fast range and beyond it.
    std::mt19937_64 random(2024);
    std::uniform_int_distribution<long long> units(-99999999999LL, 99999999999LL);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    char want[400];
    long checked = 0;
    auto check = [&](double v) {
        std::snprintf(want, sizeof want, "%.4f ", v);
        ASSERT_EQ(Float(v), want) << std::hexfloat << v;
        ++checked;
    };
#ifdef AIEXPORT_SANITIZED
    const int rounds = 125000;  // the instrumented build samples a twentieth
#else
    const int rounds = 2500000;
#endif
    for (int i = 0; i < rounds; ++i) {
        const double tie = (static_cast<double>(units(random)) + 0.5) / 10000.0;
        check(tie);
        check(std::nextafter(tie, HUGE_VAL));
        check(std::nextafter(tie, -HUGE_VAL));
        check(unit(random) * 0.0001);
        check(std::ldexp(unit(random), static_cast<int>(random() % 80) - 30));
        check(static_cast<double>(units(random)) / 10000.0);
        check(unit(random) * 1.2e8);
        check(unit(random));
    }
    for (int e = -320; e <= 14; ++e) {
        const double p = std::pow(10.0, e);
        for (double v : {p, -p, std::nextafter(p, 0.0), std::nextafter(p, HUGE_VAL)})
            check(v);
    }
    for (int k = 0; k < 100000; ++k)
        check(k / 32.0);  // exact binary ties such as 0.03125
    for (double v :
         {0.5, -0.00001, -0.0, 1e15, -1e15, 2.00005, 0.99995, 9.99995, -0.00005, 4.9e-324})
        check(v);
    EXPECT_GT(checked, 8L * rounds);
}

TEST(FloatToString, RealsBeyondWhatAReaderHoldsAreWrittenAtTheBound)
{
    // A single-precision reader stops at 1e39; a product of two written
    // values must still fit it.
    for (double v : {std::nextafter(1e15, HUGE_VAL), 1e16, 3.5e38, 1e300, DBL_MAX}) {
        EXPECT_EQ(Float(v), "1000000000000000.0000 ") << v;
        EXPECT_EQ(Float(-v), "-1000000000000000.0000 ") << v;
    }
    EXPECT_EQ(Float(std::nextafter(1e15, 0.0)), "999999999999999.8750 ");
}
