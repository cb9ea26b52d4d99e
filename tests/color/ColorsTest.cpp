// Colour operators, conversions, the change test and the fill types.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

SetColorByValueData Cmyk(double c, double m, double y, double k)
{
    return SetColorByValueData{1, 0, 0, 0, c, m, y, k};
}

}  // namespace

TEST(ColorOperators, FormsOfTheTableAndHostileValues)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, SetColorDefData{0, "Ash", Rgb(128, 128, 128), 1});
    s.Record(aiop::kSetColorDef, SetColorDefData{0, "Red", Cmyk(0, 1, 1, 0), 1});
    s.Record(aiop::kSetColorDef, SetColorDefData{0, "Plain", Rgb(255, 255, 255), 0});
    s.Mark();
    s.Record(aiop::kSetStrokeColorByValue, Rgb(128, 128, 128));
    s.Record(aiop::kSetFillColorByValue, Rgb(255, 0, 64));
    // A custom gray keeps its three numbers; the tint is 0 whatever the
    // colour, or readers would show it lightened.
    s.Record(aiop::kSetFillColorByName, NAME_TAG{0, "Ash"});
    s.Record(aiop::kSetStrokeColorByValue, Cmyk(1, 0, 0, 0));
    s.Record(aiop::kSetFillColorByName, NAME_TAG{0, "Red"});
    s.Record(aiop::kSetStrokeColorByName, NAME_TAG{0, "Red"});
    s.Record(aiop::kSetStrokeColorByName, NAME_TAG{0, "Plain"});
    EXPECT_EQ(s.SinceMark(), "0.5020 G\n1.0000 0.0000 0.2510 Xa\n"
                             "0.5020 0.5020 0.5020 (Ash) 0 1 Xx\n"
                             "1.0000 0.0000 0.0000 0.0000 K\n"
                             "0.0000 1.0000 1.0000 0.0000 (Red) 0 x\n"
                             "0.0000 1.0000 1.0000 0.0000 (Red) 0 X\n1.0000 G\n");

    // Values that print long or not at all are written whole, or as 0.
    s.Mark();
    s.Record(aiop::kSetFillColorByValue, Cmyk(1e300, -1e300, std::nan(""), HUGE_VAL));
    char big[400];
    std::snprintf(big, sizeof big, "%.4f ", 1e300);
    EXPECT_EQ(s.SinceMark(), std::string(big) + "-" + big + "0.0000 0.0000 k\n");
}

TEST(ColorConversions, ExamplesAndExactArithmetic)
{
    unsigned short r = 0, g = 0, b = 0;
    auto toRgb = [&](double c, double m, double y, double k) {
        FilterProbe::ConvertCMYK_RGB(c, m, y, k, r, g, b);
        return std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b);
    };
    EXPECT_EQ(toRgb(0, 0.5, 1.0, 0), "255 127 0");    // truncated, not rounded
    EXPECT_EQ(toRgb(0.7, 0, 0, 0.5), "0 127 127");    // c + k capped at 1
    EXPECT_EQ(toRgb(-0.5, 0, 0, 0), "382 255 255");   // sums below 0 not clamped
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

TEST(ColorByValue, WrittenWhenChangedOrWhenTheStateCannotBeTrusted)
{
    ExportSession s;
    auto fill = [&](SetColorByValueData color) {
        s.Mark();
        EXPECT_EQ(s.Record(aiop::kSetFillColorByValue, color), 1);
        return s.SinceMark();
    };
    auto type = [&](unsigned short t) { s.Record(aiop::kSetFillType, t); };

    // Until the first SetFillType every colour is written.
    EXPECT_EQ(fill(Rgb(128, 128, 128)), "0.5020 g\n");
    EXPECT_EQ(fill(Rgb(128, 128, 128)), "0.5020 g\n");
    type(1);
    EXPECT_EQ(fill(Rgb(128, 128, 128)), "");
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "0.0000 0.0000 0.0000 1.0000 k\n");
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "");
    // A colour that differs in one component only.
    EXPECT_EQ(fill(Rgb(10, 20, 20)), "0.0392 0.0784 0.0784 Xa\n");
    EXPECT_EQ(fill(Rgb(10, 20, 30)), "0.0392 0.0784 0.1176 Xa\n");
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "0.0000 0.0000 0.0000 1.0000 k\n");
    // 4 is stored as 1 but compared as 4: a change, until a type repeats.
    type(4);
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "0.0000 0.0000 0.0000 1.0000 k\n");
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "0.0000 0.0000 0.0000 1.0000 k\n");
    type(1);
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "");
    // No fill resets the colour to black: written after a change, not after 5 again.
    type(5);
    EXPECT_EQ(fill(Rgb(0, 0, 0)), "0.0000 g\n");
    type(5);
    EXPECT_EQ(fill(Rgb(0, 0, 0)), "");
    // A colour by name, even one that is not defined, forces the next one.
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, NAME_TAG{0, "Undefined"}), 0);
    EXPECT_EQ(fill(Rgb(0, 0, 0)), "0.0000 g\n");
    EXPECT_EQ(fill(Rgb(0, 0, 0)), "");
}

TEST(FillType, OutlineTurnsTheLastFillColourIntoAStrokeColour)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, SetColorDefData{0, "Red", Cmyk(0, 1, 1, 0), 1});
    s.Record(aiop::kSetColorDef, SetColorDefData{0, "Orange", Rgb(255, 128, 0), 1});
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { s.Record(aiop::kSetFillColorByValue, Rgb(128, 128, 128)); }, "0.5020 G\n"},
        {[&] { s.Record(aiop::kSetFillColorByValue, Rgb(255, 0, 0)); }, "1.0000 0.0000 0.0000 XA\n"},
        {[&] { s.Record(aiop::kSetFillColorByValue, Cmyk(0, 0, 0, 1)); },
         "0.0000 0.0000 0.0000 1.0000 K\n"},
        // Custom colours, and other operators that end in the same letters, stay.
        {[&] { s.Record(aiop::kSetFillColorByName, NAME_TAG{0, "Red"}); },
         "0.0000 1.0000 1.0000 0.0000 (Red) 0 x\n"},
        {[&] { s.Record(aiop::kSetFillColorByName, NAME_TAG{0, "Orange"}); },
         "1.0000 0.5020 0.0000 (Orange) 0 1 Xx\n"},
        {[&] { s.Record(aiop::kSetFillMode, static_cast<unsigned short>(0)); }, "0 XR\n"},
    };
    for (const auto& [record, written] : cases) {
        s.Record(aiop::kSetFillType, static_cast<unsigned short>(1));
        s.Record(aiop::kEndDrawingSection);  // the buffer starts empty
        s.Mark();
        record();
        EXPECT_EQ(s.Record(aiop::kSetFillType, static_cast<unsigned short>(0)), 1);
        EXPECT_EQ(s.SinceMark(), written);
    }
}

TEST(FillType, FillRuleAndNamedFillTypes)
{
    ExportSession s;
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillMode, static_cast<unsigned short>(77)), 1);
    EXPECT_EQ(s.SinceMark(), "0 XR\n");

    SetFillTypeNameData named{};
    std::memset(named.name, 'G', sizeof named.name);  // no terminator
    // Gradient and no fill succeed; undefined colours and patterns and unknown
    // types fail, and none writes anything.
    const int results[] = {0, 0, 1, 0, 0, 1, 0};
    for (unsigned short type = 0; type <= 6; ++type) {
        named.fillType = type;
        s.Mark();
        EXPECT_EQ(s.Record(aiop::kSetFillTypeName, named), results[type]) << type;
        EXPECT_EQ(s.SinceMark(), "");
    }
    EXPECT_EQ(s.Record(aiop::kSetFillTypeName), 0);
}
