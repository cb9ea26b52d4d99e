// Gradient definitions: the table, stops of open definitions only, and definitions too short to
// write.
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
    for (std::size_t at = text.find(" %_Bs\n"); at != std::string::npos;
         at = text.find(" %_Bs\n", at + 1)) {
        const std::size_t start = text.rfind(' ', at - 1) + 1;
        out += (out.empty() ? "" : " ") + text.substr(start, text.find('.', start) - start);
    }
    return out;
}

}  // namespace

TEST(GradientDefinition, FullTableReplacesLastSlot)
{
    ExportSession s(8.5, 11, false);
    for (int i = 0; i < kDefinitionSlots; ++i)
        Define(s, ("G" + std::to_string(i)).c_str(), 1,
               {RgbStop(0, 1, 2, 3), RgbStop(100, 1, 2, 3)});
    // The replaced gradient's kind and stops do not carry over.
    s.Record(aiop::kSetGradientDef, Def("Last"));
    s.Record(aiop::kSetGradientRGN, RgbStop(0, 0, 0, 0));
    s.Record(aiop::kSetGradientRGN, RgbStop(100, 0, 0, 0));
    s.Record(aiop::kEndGradient);
    const std::string file = EndSetupAndFinish(s);
    EXPECT_NE(file.find("(G1022) 1 2 Bd\n"), std::string::npos);
    EXPECT_EQ(file.find("(G1023)"), std::string::npos);
    EXPECT_NE(file.find("(Last) 0 2 Bd\n"), std::string::npos);
}

TEST(GradientDefinition, StopsGoOnlyToAnOpenNamedDefinitionAndSurviveFailedGrowth)
{
    ExportSession s(8.5, 11, false);
    // A nameless definition opens nothing and takes no slot.
    EXPECT_EQ(s.Record(aiop::kSetGradientDef, Def("")), 0);
    EXPECT_EQ(s.Record(aiop::kSetGradientRGN, RgbStop(0, 1, 2, 3)), 0);
    ASSERT_EQ(s.Record(aiop::kSetGradientDef, Def("A")), 1);
    ASSERT_EQ(s.Record(aiop::kSetGradientRGN, RgbStop(0, 255, 0, 0)), 1);
    plat::SetFault(plat::kFaultAllocate, 1);
    EXPECT_EQ(s.Record(aiop::kSetGradientRGN, RgbStop(50, 0, 0, 0)), 0);
    plat::ClearFaults();
    ASSERT_EQ(s.Record(aiop::kSetGradientRGN, RgbStop(100, 0, 0, 255)), 1);
    EXPECT_EQ(s.Record(aiop::kEndGradient), 1);
    EXPECT_EQ(s.Record(aiop::kEndGradient), 0);
    EXPECT_EQ(s.Record(aiop::kSetGradientRGN, RgbStop(50, 0, 0, 0)), 0);
    const std::string file = EndSetupAndFinish(s);
    EXPECT_NE(file.find("(A) 0 2 Bd\n"), std::string::npos);
    EXPECT_EQ(Locations(file), "100 0");
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

TEST(GradientDefinition, EachDefinitionAndFillCostsTheSameHoweverManyCameBefore)
{
    // Past the table's end as well: there each definition replaces the last.
    // Half the names repeat, so most written names need a number.
    const auto stepsFor = [](int n) {
        ExportSession s(8.5, 11, false);
        const unsigned long long before = s.filter.searchSteps;
        for (int i = 0; i < n; ++i) {
            const std::string name = i % 2 ? "Same" : "G" + std::to_string(i);
            s.Record(aiop::kSetGradientDef, Def(name.c_str()));
            s.Record(aiop::kSetGradientRGN, RgbStop(0, 1, 2, 3));
            s.Record(aiop::kSetGradientRGN, RgbStop(100, 1, 2, 3));
            s.Record(aiop::kEndGradient);
        }
        s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
        for (int i = 0; i < n; ++i) {
            SetFillTypeNameData fill{};
            fill.fillType = 2;
            std::strcpy(fill.name, "G0");
            s.Record(aiop::kSetFillTypeName, fill);
            Box(s, 0, 0, 10, 10);
        }
        const unsigned long long steps = s.filter.searchSteps - before;
        EXPECT_NE(s.Finish(), "");
        return steps;
    };
    const unsigned long long small = stepsFor(1500);
    const unsigned long long large = stepsFor(6000);
    EXPECT_GT(small, 0u);
    EXPECT_LE(large, 4 * small + small / 4) << small << " steps for 1500, " << large << " for 6000";
}
