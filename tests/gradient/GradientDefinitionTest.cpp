// Gradient definitions: stops, tints, the table and the resources in the setup section.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

namespace {

SetGradientDefData Def(const char* name)
{
    SetGradientDefData data{};
    std::strncpy(data.name, name, sizeof data.name - 1);
    return data;
}

SetGradientRGNData RgbStop(double location, unsigned short r, unsigned short g, unsigned short b)
{
    SetGradientRGNData data{};
    data.location = location;
    data.stopColor.color.model = 0;
    data.stopColor.color.red = r;
    data.stopColor.color.green = g;
    data.stopColor.color.blue = b;
    return data;
}

SetGradientRGNData CmykStop(double location, double c, double m, double y, double k)
{
    SetGradientRGNData data{};
    data.location = location;
    data.stopColor.color = {1, 0, 0, 0, c, m, y, k};
    return data;
}

void Define(ExportSession& s, const char* name, short type,
            std::initializer_list<SetGradientRGNData> stops)
{
    ASSERT_EQ(s.Record(aiop::kSetGradientDef, Def(name)), 1);
    ASSERT_EQ(s.Record(aiop::kSetGradient2, SetGradient2Data{type, 0, 50, 100, 50}), 1);
    for (const SetGradientRGNData& stop : stops)
        ASSERT_EQ(s.Record(aiop::kSetGradientRGN, stop), 1);
    ASSERT_EQ(s.Record(aiop::kEndGradient), 1);
}

std::string EndSetupAndFinish(ExportSession& s)
{
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    return s.Finish();
}

// The locations of the stop lines in the order written, e.g. "100 50 0".
std::string Locations(const std::string& text)
{
    std::string out;
    for (std::size_t at = text.find(" %_Bs\n"); at != std::string::npos; at = text.find(" %_Bs\n", at + 1)) {
        const std::size_t start = text.rfind(' ', at - 1) + 1;
        out += (out.empty() ? "" : " ") + text.substr(start, text.find('.', start) - start);
    }
    return out;
}

}  // namespace

TEST(GradientDefinition, KindDecidesStopOrder)
{
    const struct { short type; const char* header; const char* order; } cases[] = {
        {0, "(G) 0 3 Bd\n", "100 50 0"},
        {1, "(G) 1 3 Bd\n", "0 50 100"},
        {5, "(G) 1 3 Bd\n", "0 50 100"},  // any kind above 1 is radial
        {-1, "(G) -1 3 Bd\n", "0 50 100"},
    };
    for (const auto& c : cases) {
        ExportSession s(8.5, 11, false);
        Define(s, "G", c.type,
               {RgbStop(0, 255, 0, 0), CmykStop(50, 0, 0.5, 1, 0), RgbStop(100, 128, 128, 128)});
        const std::string file = EndSetupAndFinish(s);
        EXPECT_NE(file.find(c.header), std::string::npos) << c.type;
        EXPECT_EQ(Locations(file), c.order) << c.type;
    }
}

TEST(GradientDefinition, TintScalesStopColour)
{
    const SetColorByValueData rgb{0, 200, 100, 0, 0, 0, 0, 0};
    const struct { SetColorByValueData color; std::uint16_t tinted; double tint; const char* want; } cases[] = {
        {rgb, 1, 0.5, "100 50 0"},       {rgb, 1, 1.5, "44 150 0"},  // 300 keeps its low byte
        {rgb, 1, std::nan(""), "0 0 0"}, {rgb, 0, 0.5, "200 100 0"},  // untinted: copied as it is
        {{1, 0, 0, 0, 0, 0.4, 1, 0}, 1, 0.5, "0.0000 0.2000 0.5000 0.0000"},
    };
    for (const auto& c : cases) {
        GradientColor target{};
        target.tinted = 7;
        FilterProbe::AssignGradientColor(GradientColor{c.color, c.tinted, c.tint}, target);
        const SetColorByValueData t = target.color;  // a copy: the packed fields may be misaligned
        char text[96];
        if (t.model == 0)
            std::snprintf(text, sizeof text, "%u %u %u", t.red, t.green, t.blue);
        else
            std::snprintf(text, sizeof text, "%.4f %.4f %.4f %.4f", t.cyan, t.magenta, t.yellow, t.black);
        EXPECT_STREQ(text, c.want) << c.tint;
        EXPECT_EQ(target.tinted, 0);
    }
}

TEST(GradientDefinition, FullTableReplacesLastSlot)
{
    FilterProbe f;
    for (int i = 0; i < kDefinitionSlots; ++i) {
        SetGradientDefData def = Def(("G" + std::to_string(i)).c_str());
        ASSERT_EQ(f.SetGradientDef(&def), 1);
    }
    SetGradientRGNData stop = RgbStop(0, 1, 2, 3);
    ASSERT_EQ(f.SetGradientRGN(&stop), 1);
    ASSERT_EQ(f.gradientTable[1023].stops.Size(), 1u);

    SetGradientDefData last = Def("Last");
    SetGradient2Data geometry{1, 10, 20, 30, 40};
    ASSERT_EQ(f.SetGradient2(&geometry), 1);
    ASSERT_EQ(f.SetGradientDef(&last), 1);
    EXPECT_EQ(f.currentGradientIndex, 1023);
    EXPECT_STREQ(f.gradientTable[1023].name, "Last");
    EXPECT_EQ(f.gradientTable[1023].stops.Size(), 0u);
    EXPECT_EQ(f.gradientTable[1023].stops.Data(), nullptr);
    // The replaced gradient's geometry does not carry over.
    EXPECT_EQ(f.gradientTable[1023].type, 0);
    EXPECT_EQ(f.gradientTable[1023].endX, 0.0);
    EXPECT_STREQ(f.gradientTable[1022].name, "G1022");
}

TEST(GradientDefinition, LookupTakesFirstExactName)
{
    ExportSession s(8.5, 11, false);
    for (const char* name : {"Sky_1", "Sky_2", "Sky_2"})
        Define(s, name, 0, {});
    Define(s, std::string(63, 'x').c_str(), 0, {});
    char longName[64];
    std::memset(longName, 'x', sizeof longName);  // no terminator

    const struct { const char* name; int found, index; } cases[] = {
        {"Sky_2", 1, 1}, {"Sky_1", 1, 0}, {"sky_1", 0, 1024}, {"Sky", 0, 1024}, {"", 0, 1024}, {longName, 1, 3}};
    for (const auto& c : cases) {
        int index = -1;
        EXPECT_EQ(s.filter.IsGradientNameDefined(c.name, index), c.found) << c.name;
        EXPECT_EQ(index, c.index) << c.name;
    }
}

TEST(GradientDefinition, StopsGoOnlyToAnOpenNamedDefinitionAndSurviveFailedGrowth)
{
    FilterProbe f;
    SetGradientRGNData first = RgbStop(0, 1, 2, 3);
    SetGradientRGNData second = RgbStop(100, 4, 5, 6);
    // A nameless definition opens nothing and takes no slot.
    SetGradientDefData def = Def("");
    EXPECT_EQ(f.SetGradientDef(&def), 0);
    EXPECT_EQ(f.SetGradientRGN(&first), 0);
    def = Def("A");
    ASSERT_EQ(f.SetGradientDef(&def), 1);
    ASSERT_EQ(f.SetGradientRGN(&first), 1);
    const GradientStop* before = f.gradientTable[0].stops.Data();
    plat::SetFault(plat::kFaultAllocate, 1);
    EXPECT_EQ(f.SetGradientRGN(&second), 0);
    plat::ClearFaults();
    EXPECT_EQ(f.gradientTable[0].stops.Data(), before);
    EXPECT_EQ(f.gradientTable[0].stops.Size(), 1u);
    ASSERT_EQ(f.SetGradientRGN(&second), 1);
    EXPECT_EQ(f.gradientTable[0].stops[0].color.color.red, 1);
    EXPECT_EQ(f.gradientTable[0].stops[1].color.color.red, 4);
    EXPECT_EQ(f.EndGradient(), 1);
    EXPECT_EQ(f.EndGradient(), 0);
    EXPECT_EQ(f.SetGradientRGN(&first), 0);
    EXPECT_EQ(f.gradientTable[0].stops.Size(), 2u);

    f.FreeGradientStops();
    f.FreeGradientStops();  // the resets may run it twice
    EXPECT_EQ(f.gradientTable[0].stops.Data(), nullptr);
    EXPECT_EQ(f.gradientTable[0].stops.Size(), 0u);
}

TEST(GradientDefinition, GradientWithOneStopFailsExportAndKeepsOldFile)
{
    for (int stops : {0, 1}) {
        ExportSession s(8.5, 11, false);
        WriteFile(s.target, "the earlier drawing");
        Define(s, "Good", 0, {RgbStop(0, 0, 0, 0), RgbStop(100, 0, 0, 0)});
        ASSERT_EQ(s.Record(aiop::kSetGradientDef, Def("Bad")), 1);
        for (int i = 0; i < stops; ++i)
            ASSERT_EQ(s.Record(aiop::kSetGradientRGN, RgbStop(0, 0, 0, 0)), 1);
        EXPECT_EQ(EndSetupAndFinish(s), "");
        EXPECT_EQ(s.finishResult, 0);
        EXPECT_EQ(ReadFile(s.target), "the earlier drawing");
        EXPECT_EQ(s.dir.Listing(), "drawing.ai\n");
    }
}
