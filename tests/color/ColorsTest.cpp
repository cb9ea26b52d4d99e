// Colour operators, conversions, the change test and the fill types.
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

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

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(ColorOperators, EveryFormOfTheTable)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    struct Case {
        const char* what;
        std::function<int()> write;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"gray fill", [&] { return f.ExportSetRGBColor(0.5, 0.5, 0.5, 1, 0, nullptr); }, "0.5000 g\n"},
        {"gray stroke", [&] { return f.ExportSetRGBColor(0.5, 0.5, 0.5, 0, 0, nullptr); }, "0.5000 G\n"},
        {"rgb fill", [&] { return f.ExportSetRGBColor(1, 0, 0.25, 1, 0, nullptr); },
         "1.0000 0.0000 0.2500 Xa\n"},
        {"rgb stroke", [&] { return f.ExportSetRGBColor(1, 0, 0.25, 0, 0, nullptr); },
         "1.0000 0.0000 0.2500 XA\n"},
        // A custom gray keeps all three numbers and its name.
        {"custom rgb fill", [&] { return f.ExportSetRGBColor(0.5, 0.5, 0.5, 1, 1, "Ash"); },
         "0.5000 0.5000 0.5000 (Ash) 0 1 Xx\n"},
        {"custom rgb stroke", [&] { return f.ExportSetRGBColor(1, 0.5, 0, 0, 1, "Orange"); },
         "1.0000 0.5000 0.0000 (Orange) 0 1 XX\n"},
        {"cmyk fill", [&] { return f.ExportSetCMYKColor(0, 0, 0, 1, 1, 0, nullptr); },
         "0.0000 0.0000 0.0000 1.0000 k\n"},
        {"cmyk stroke", [&] { return f.ExportSetCMYKColor(1, 0, 0, 0, 0, 0, nullptr); },
         "1.0000 0.0000 0.0000 0.0000 K\n"},
        // Tint: CMYK 0 1 1 0 is RGB 255 0 0, whose gray is 0.3.
        {"custom cmyk fill", [&] { return f.ExportSetCMYKColor(0, 1, 1, 0, 1, 1, "Red"); },
         "0.0000 1.0000 1.0000 0.0000 (Red) 0.3000 x\n"},
        {"custom cmyk stroke", [&] { return f.ExportSetCMYKColor(0, 1, 1, 0, 0, 1, "Red"); },
         "0.0000 1.0000 1.0000 0.0000 (Red) 0.3000 X\n"},
    };
    for (const Case& c : cases) {
        f.Mark();
        EXPECT_EQ(c.write(), 1) << c.what;
        EXPECT_EQ(f.SinceMark(), c.text) << c.what;
    }
}

TEST(ColorOperators, CustomWithoutNameFailsAndPatternFillSilences)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.Mark();
    EXPECT_EQ(f.ExportSetRGBColor(1, 0, 0, 1, 1, nullptr), 0);
    EXPECT_EQ(f.ExportSetCMYKColor(1, 0, 0, 0, 0, 1, nullptr), 0);
    EXPECT_EQ(f.SinceMark(), "");

    // While a pattern fill is in force, colour records change the state only.
    f.patternFillWritten = 1;
    EXPECT_EQ(f.ExportSetRGBColor(1, 0, 0, 1, 1, nullptr), 1);
    EXPECT_EQ(s.Record(aiop::kSetFillColorByValue, Rgb(10, 20, 30)), 1);
    EXPECT_EQ(s.Record(aiop::kSetStrokeColorByValue, Cmyk(0.1, 0, 0, 0)), 1);
    EXPECT_EQ(f.SinceMark(), "");
    EXPECT_EQ(f.graphicsState.fillColor.red, 10);
    EXPECT_EQ(double{f.graphicsState.strokeColor.cyan}, 0.1);
}

TEST(ColorOperators, HostileValuesAreWrittenWhole)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByValue, Cmyk(1e300, -1e300, std::nan(""), HUGE_VAL)), 1);
    char big[400];
    std::snprintf(big, sizeof big, "%.4f ", 1e300);
    EXPECT_EQ(f.SinceMark(), std::string(big) + "-" + big + "0.0000 0.0000 k\n");
    // The custom tint converts to 16 bits: out-of-range sums saturate.
    f.Mark();
    EXPECT_EQ(f.ExportSetCMYKColor(-1e300, -1e300, -1e300, 0, 1, 1, "X"), 1);
    EXPECT_NE(f.SinceMark().find(" (X) "), std::string::npos);
}

TEST(ColorConversions, ExamplesAndExactArithmetic)
{
    unsigned short r = 0, g = 0, b = 0;
    EXPECT_EQ(FilterProbe::ConvertCMYK_RGB(0, 0.5, 1.0, 0, r, g, b), 1);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 127);  // truncated, not rounded
    EXPECT_EQ(b, 0);
    FilterProbe::ConvertCMYK_RGB(0.7, 0, 0, 0.5, r, g, b);  // c + k capped at 1
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 127);
    EXPECT_EQ(b, 127);
    FilterProbe::ConvertCMYK_RGB(-0.5, 0, 0, 0, r, g, b);  // below 0 not clamped
    EXPECT_EQ(r, 382);
    FilterProbe::ConvertCMYK_RGB(-1e300, std::nan(""), 0, 0, r, g, b);
    EXPECT_EQ(r, 65535);
    EXPECT_EQ(g, 0);

    double c = 0, m = 0, y = 0, k = 0;
    FilterProbe::ConvertRGB_CMYK(c, m, y, k, 255, 0, 0);
    EXPECT_EQ(c, 0.0);
    EXPECT_EQ(m, 1.0);
    EXPECT_EQ(y, 1.0);
    EXPECT_EQ(k, 0.0);  // c, m, y are not reduced by k
    FilterProbe::ConvertRGB_CMYK(c, m, y, k, 128, 128, 128);
    EXPECT_NEAR(c, 0.498, 1e-3);
    EXPECT_EQ(k, c);
    // 1/255 is a multiplier: 37 * (1/255) differs from 37 / 255 in the last bit.
    FilterProbe::ConvertRGB_CMYK(c, m, y, k, 37, 0, 0);
    EXPECT_EQ(c, 0x1.b5b5b5b5b5b5cp-1);

    double gray = 0;
    FilterProbe::ConverRGB_Gray(gray, 255, 0, 0);
    EXPECT_EQ(gray, 0x1.3333333333333p-2);
    // Summed blue, green, red: the other order gives ...12p-6.
    FilterProbe::ConverRGB_Gray(gray, 1, 7, 26);
    EXPECT_EQ(gray, 0x1.d463bfe8dea13p-6);
}

TEST(ColorByValue, WrittenOnlyWhenChangedOrTheFillTypeChanged)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    unsigned short solid = 1, none = 5, alias = 4;
    struct Step {
        std::function<int()> record;
        const char* text;
    };
    const std::vector<Step> steps = {
        // Until the first SetFillType every colour is written.
        {[&] { return s.Record(aiop::kSetFillColorByValue, Rgb(128, 128, 128)); }, "0.5020 g\n"},
        {[&] { return s.Record(aiop::kSetFillColorByValue, Rgb(128, 128, 128)); }, "0.5020 g\n"},
        {[&] { return s.Record(aiop::kSetFillType, solid); }, ""},  // 1 -> 1: no change
        {[&] { return s.Record(aiop::kSetFillColorByValue, Rgb(128, 128, 128)); }, ""},
        {[&] { return s.Record(aiop::kSetFillColorByValue, Rgb(255, 0, 0)); },
         "1.0000 0.0000 0.0000 Xa\n"},
        // The CMYK group is compared when the model is CMYK.
        {[&] { return s.Record(aiop::kSetFillColorByValue, Cmyk(0, 0, 0, 1)); },
         "0.0000 0.0000 0.0000 1.0000 k\n"},
        {[&] { return s.Record(aiop::kSetFillColorByValue, Cmyk(0, 0, 0, 1)); }, ""},
        // 4 is stored as 1 but compared as 4: a change, so colours are written.
        {[&] { return s.Record(aiop::kSetFillType, alias); }, ""},
        {[&] { return s.Record(aiop::kSetFillColorByValue, Cmyk(0, 0, 0, 1)); },
         "0.0000 0.0000 0.0000 1.0000 k\n"},
        {[&] { return s.Record(aiop::kSetFillColorByValue, Cmyk(0, 0, 0, 1)); },
         "0.0000 0.0000 0.0000 1.0000 k\n"},
        {[&] { return s.Record(aiop::kSetFillType, solid); }, ""},
        {[&] { return s.Record(aiop::kSetFillColorByValue, Cmyk(0, 0, 0, 1)); }, ""},
        // No fill resets the fill colour to black; the type changed, so black is written.
        {[&] { return s.Record(aiop::kSetFillType, none); }, ""},
        {[&] { return s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 0)); }, "0.0000 g\n"},
        {[&] { return s.Record(aiop::kSetFillType, none); }, ""},
        {[&] { return s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 0)); }, ""},
        // Stroke colours follow the same test with their own stored colour.
        {[&] { return s.Record(aiop::kSetStrokeColorByValue, Rgb(255, 0, 0)); },
         "1.0000 0.0000 0.0000 XA\n"},
        {[&] { return s.Record(aiop::kSetStrokeColorByValue, Rgb(255, 0, 0)); }, ""},
    };
    int i = 0;
    for (const Step& step : steps) {
        f.Mark();
        EXPECT_EQ(step.record(), 1) << "step " << i;
        EXPECT_EQ(f.SinceMark(), step.text) << "step " << i;
        ++i;
    }
    EXPECT_EQ(f.graphicsState.fillType, 5);
}

TEST(ColorByValue, ByNameFlagAndPatternDefinitionForceTheWrite)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    unsigned short solid = 1;
    s.Record(aiop::kSetFillType, solid);
    s.Record(aiop::kSetFillType, solid);
    s.Record(aiop::kSetFillColorByValue, Rgb(1, 2, 3));

    f.graphicsState.fillByName = 1;
    f.Mark();
    s.Record(aiop::kSetFillColorByValue, Rgb(1, 2, 3));
    EXPECT_NE(f.SinceMark(), "");
    EXPECT_EQ(f.graphicsState.fillByName, 0);

    f.inPatternDefinition = 1;
    f.Mark();
    s.Record(aiop::kSetFillColorByValue, Rgb(1, 2, 3));
    s.Record(aiop::kSetFillColorByValue, Rgb(1, 2, 3));
    EXPECT_EQ(Count(f.SinceMark(), "Xa\n"), 2u);
    f.inPatternDefinition = 0;

    f.patternTileFirstPath = 1;
    f.Mark();
    s.Record(aiop::kSetFillColorByValue, Rgb(1, 2, 3));
    EXPECT_EQ(Count(f.SinceMark(), "Xa\n"), 1u);
}

TEST(ColorByValue, StrokeColourIsWrittenAgainAfterTheStrokeWasRemoved)
{
    // Removing the stroke resets the stored stroke colour to black without an
    // operator, so the colour in force in the file is still the last one.
    ExportSession s;
    FilterProbe& f = s.filter;
    unsigned short solid = 1;
    s.Record(aiop::kSetFillType, solid);
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
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"0.5020 g\n", "0.5020 G\n"},
        {"1.0000 0.0000 0.0000 Xa\n", "1.0000 0.0000 0.0000 XA\n"},
        {"0.0000 0.0000 0.0000 1.0000 k\n", "0.0000 0.0000 0.0000 1.0000 K\n"},
        // Custom colours and other operators ending in the same letters stay.
        {"0.0000 1.0000 1.0000 0.0000 (Red) 0.3000 x\n", nullptr},
        {"1.0000 0.5020 0.0000 (Orange) 0 1 Xx\n", nullptr},
        {"1 0 0 1 0 0 Bg\n", nullptr},
        {"0 Tk\n", nullptr},
        {"0 XR\n", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        ExportSession s;
        FilterProbe& f = s.filter;
        f.WriteBufferToExportFile(0);
        f.Append(c.before);
        unsigned short outline = 0;
        EXPECT_EQ(s.Record(aiop::kSetFillType, outline), 1);
        EXPECT_EQ(std::string(f.buffer, f.bufferLength), c.after ? c.after : c.before) << c.before;
        EXPECT_EQ(f.graphicsState.fillType, 0);
    }
}

TEST(FillType, NoFillResetsTheFillColourAndName)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    s.Record(aiop::kSetFillColorByValue, Cmyk(0.1, 0.2, 0.3, 0.4));
    f.graphicsState.fillByName = 1;
    std::strcpy(f.graphicsState.fillColorName.name, "Red");
    unsigned short none = 5;
    s.Record(aiop::kSetFillType, none);
    const SetColorByValueData& fill = f.graphicsState.fillColor;
    EXPECT_EQ(fill.model, 0);
    EXPECT_EQ(fill.red + fill.green + fill.blue, 0);
    EXPECT_EQ(fill.cyan + fill.magenta + fill.yellow, 0.0);
    EXPECT_EQ(double{fill.black}, 1.0);
    EXPECT_EQ(f.graphicsState.fillByName, 0);
    EXPECT_STREQ(f.graphicsState.fillColorName.name, "");
}

TEST(FillType, FillModeAndNamedFillTypes)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    for (unsigned short mode : {0, 1, 77}) {
        f.Mark();
        EXPECT_EQ(s.Record(aiop::kSetFillMode, mode), 1);
        EXPECT_EQ(f.SinceMark(), "0 XR\n");
    }

    SetFillTypeNameData named{};
    std::memset(named.name, 'G', sizeof named.name);  // no terminator
    struct Case {
        unsigned short type;
        int result;
    };
    // Gradients and no fill succeed now; undefined colours and patterns, and
    // unknown types, fail. The type is stored in every case.
    for (const Case c : {Case{2, 1}, Case{5, 1}, Case{1, 0}, Case{3, 0}, Case{0, 0}, Case{9, 0}}) {
        named.fillType = c.type;
        f.Mark();
        EXPECT_EQ(s.Record(aiop::kSetFillTypeName, named), c.result) << c.type;
        EXPECT_EQ(f.SinceMark(), "") << c.type;
        EXPECT_EQ(f.graphicsState.fillType, c.type);
        EXPECT_EQ(std::strlen(f.graphicsState.fillTypeName.name), 63u);
    }
    f.fillTypeChanged = 0;
    named.fillType = 4;
    s.Record(aiop::kSetFillTypeName, named);
    EXPECT_EQ(f.graphicsState.fillType, 4);  // no mapping here
    EXPECT_EQ(f.fillTypeChanged, 0);
    EXPECT_EQ(s.Record(aiop::kSetFillTypeName), 0);
}
