// Colour operators, conversions, the change test and the fill types.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

SetColorByValueData Rgb(unsigned short r, unsigned short g, unsigned short b)
{
    return SetColorByValueData{0, r, g, b, 0.0, 0.0, 0.0, 0.0};
}

SetColorByValueData Cmyk(double c, double m, double y, double k)
{
    return SetColorByValueData{1, 0, 0, 0, c, m, y, k};
}

}  // namespace

TEST(ColorOperators, FormsOfTheTableAndHostileValues)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    auto rgb = [&](double r, double g, double b, int fill, int custom, const char* name) {
        f.Mark();
        const int result = f.ExportSetRGBColor(r, g, b, fill, custom, name);
        return std::to_string(result) + " " + f.SinceMark();
    };
    auto cmyk = [&](double c, double m, double y, double k, int fill, int custom, const char* name) {
        f.Mark();
        const int result = f.ExportSetCMYKColor(c, m, y, k, fill, custom, name);
        return std::to_string(result) + " " + f.SinceMark();
    };
    EXPECT_EQ(rgb(0.5, 0.5, 0.5, 0, 0, nullptr), "1 0.5000 G\n");
    EXPECT_EQ(rgb(1, 0, 0.25, 1, 0, nullptr), "1 1.0000 0.0000 0.2500 Xa\n");
    // A custom gray keeps its three numbers.
    EXPECT_EQ(rgb(0.5, 0.5, 0.5, 1, 1, "Ash"), "1 0.5000 0.5000 0.5000 (Ash) 0 1 Xx\n");
    EXPECT_EQ(cmyk(1, 0, 0, 0, 0, 0, nullptr), "1 1.0000 0.0000 0.0000 0.0000 K\n");
    // The tint is 0 whatever the colour, or readers would show it lightened.
    EXPECT_EQ(cmyk(0, 1, 1, 0, 0, 1, "Red"), "1 0.0000 1.0000 1.0000 0.0000 (Red) 0 X\n");
    EXPECT_EQ(rgb(1, 0, 0, 1, 1, nullptr), "0 ");
    EXPECT_EQ(cmyk(1, 0, 0, 0, 0, 1, nullptr), "0 ");

    // While a pattern fill is in force, colour records change the state only.
    f.patternFillWritten = 1;
    EXPECT_EQ(rgb(1, 0, 0, 1, 1, nullptr), "1 ");
    f.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByValue, Rgb(10, 20, 30)), 1);
    EXPECT_EQ(f.SinceMark(), "");
    EXPECT_EQ(f.graphicsState.fillColor.red, 10);

    // Values that print long or not at all are written whole, or as 0.
    f.patternFillWritten = 0;
    f.Mark();
    s.Record(aiop::kSetFillColorByValue, Cmyk(1e300, -1e300, std::nan(""), HUGE_VAL));
    char big[400];
    std::snprintf(big, sizeof big, "%.4f ", 1e300);
    EXPECT_EQ(f.SinceMark(), std::string(big) + "-" + big + "0.0000 0.0000 k\n");
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
    FilterProbe& f = s.filter;
    auto fill = [&](SetColorByValueData color) {
        f.Mark();
        EXPECT_EQ(s.Record(aiop::kSetFillColorByValue, color), 1);
        return f.SinceMark();
    };
    auto type = [&](unsigned short t) { s.Record(aiop::kSetFillType, t); };

    // Until the first SetFillType every colour is written.
    EXPECT_EQ(fill(Rgb(128, 128, 128)), "0.5020 g\n");
    EXPECT_EQ(fill(Rgb(128, 128, 128)), "0.5020 g\n");
    type(1);
    EXPECT_EQ(fill(Rgb(128, 128, 128)), "");
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "0.0000 0.0000 0.0000 1.0000 k\n");
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "");
    // 4 is stored as 1 but compared as 4: a change, until a type repeats.
    type(4);
    EXPECT_EQ(f.graphicsState.fillType, 1);
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "0.0000 0.0000 0.0000 1.0000 k\n");
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "0.0000 0.0000 0.0000 1.0000 k\n");
    type(1);
    EXPECT_EQ(fill(Cmyk(0, 0, 0, 1)), "");
    // No fill resets the colour to black: written after a change, not after 5 again.
    f.graphicsState.fillByName = 1;
    type(5);
    EXPECT_EQ(f.graphicsState.fillByName, 0);
    EXPECT_EQ(double{f.graphicsState.fillColor.black}, 1.0);
    EXPECT_EQ(fill(Rgb(0, 0, 0)), "0.0000 g\n");
    type(5);
    EXPECT_EQ(fill(Rgb(0, 0, 0)), "");
    // A colour by name, and anything inside a pattern definition, force it.
    f.graphicsState.fillByName = 1;
    EXPECT_EQ(fill(Rgb(0, 0, 0)), "0.0000 g\n");
    EXPECT_EQ(fill(Rgb(0, 0, 0)), "");
    f.patternTileFirstPath = 1;
    EXPECT_NE(fill(Rgb(0, 0, 0)), "");
    f.patternTileFirstPath = 0;
    f.inPatternDefinition = 1;
    EXPECT_NE(fill(Rgb(0, 0, 0)), "");
    EXPECT_NE(fill(Rgb(0, 0, 0)), "");
}

TEST(ColorByValue, StrokeColourIsWrittenAgainAfterTheStrokeWasRemoved)
{
    // Removing the stroke resets the stored stroke colour to black without an
    // operator; the colour in force in the file is still the last one written.
    ExportSession s;
    FilterProbe& f = s.filter;
    unsigned short solid = 1;
    s.Record(aiop::kSetFillType, solid);
    s.Record(aiop::kSetStroke, SetStrokeData{0, 0.0, 2, 1, 1.0001});
    s.Record(aiop::kSetStrokeColorByValue, Rgb(255, 0, 0));
    s.Record(aiop::kSetStroke, SetStrokeData{5, 0.0, 2, 1, 1.0001});
    EXPECT_EQ(f.graphicsState.strokeColor.red, 0);
    s.Record(aiop::kSetStroke, SetStrokeData{0, 0.0, 2, 1, 1.0001});
    f.Mark();
    s.Record(aiop::kSetStrokeColorByValue, Rgb(0, 0, 0));
    s.Record(aiop::kSetStrokeColorByValue, Rgb(0, 0, 0));
    EXPECT_EQ(f.SinceMark(), "0.0000 G\n");
}

TEST(FillType, OutlineTurnsTheLastFillColourIntoAStrokeColour)
{
    const char* cases[][2] = {
        {"0.5020 g\n", "0.5020 G\n"},
        {"1.0000 0.0000 0.0000 Xa\n", "1.0000 0.0000 0.0000 XA\n"},
        {"0.0000 0.0000 0.0000 1.0000 k\n", "0.0000 0.0000 0.0000 1.0000 K\n"},
        // Custom colours, and other operators that end in the same letters, stay.
        {"0.0000 1.0000 1.0000 0.0000 (Red) 0.3000 x\n", nullptr},
        {"1.0000 0.5020 0.0000 (Orange) 0 1 Xx\n", nullptr},
        {"1 0 0 1 0 0 Bg\n", nullptr},
        {"0 Tk\n", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        ExportSession s;
        FilterProbe& f = s.filter;
        f.WriteBufferToExportFile(0);
        f.Append(c[0]);
        unsigned short outline = 0;
        EXPECT_EQ(s.Record(aiop::kSetFillType, outline), 1);
        EXPECT_EQ(std::string(f.buffer, f.bufferLength), c[1] ? c[1] : c[0]);
    }
}

TEST(FillType, FillRuleAndNamedFillTypes)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillMode, static_cast<unsigned short>(77)), 1);
    EXPECT_EQ(f.SinceMark(), "0 XR\n");

    SetFillTypeNameData named{};
    std::memset(named.name, 'G', sizeof named.name);  // no terminator
    // Gradient and no fill succeed; undefined colours and patterns and unknown
    // types fail. The type is stored as it came, 4 included.
    const int results[] = {0, 0, 1, 0, 0, 1, 0};
    f.fillTypeChanged = 0;
    for (unsigned short type = 0; type <= 6; ++type) {
        named.fillType = type;
        f.Mark();
        EXPECT_EQ(s.Record(aiop::kSetFillTypeName, named), results[type]) << type;
        EXPECT_EQ(f.SinceMark(), "");
        EXPECT_EQ(f.graphicsState.fillType, type);
        EXPECT_EQ(std::strlen(f.graphicsState.fillTypeName.name), 63u);
    }
    EXPECT_EQ(f.fillTypeChanged, 0);
    EXPECT_EQ(s.Record(aiop::kSetFillTypeName), 0);
}
