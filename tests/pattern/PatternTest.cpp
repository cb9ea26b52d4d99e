// Patterns: the table, definitions over earlier ones, and headers placed after a failed flush.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

namespace {

constexpr double kPoint = 1 / 72.0;  // host units per point

void BeginDefinition(ExportSession& s, const char* name, double tileWidth = 0,
                     double tileHeight = 0)
{
    SetPatternDefData def{};
    std::strncpy(def.name, name, sizeof def.name - 1);
    def.tileWidth = tileWidth;
    def.tileHeight = tileHeight;
    ASSERT_EQ(s.Record(aiop::kSetPatternDef, def), 1);
}

// A pattern whose one tile path is a rectangle in the given colour.
// Its tile is to be 40 by 5 points, with the gaps given in percent.
void DefineTile(ExportSession& s, const char* name, double x0, double y0, double x1, double y1,
                double spacing = 0)
{
    BeginDefinition(s, name, 40 * kPoint, 5 * kPoint);
    s.Record(aiop::kSetPatternColSpacing, spacing);
    s.Record(aiop::kSetPatternRowSpacing, spacing);
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 0));
    Box(s, x0, y0, x1, y1);
    ASSERT_EQ(s.Record(aiop::kEndPattern), 1);
}

int PatternFill(ExportSession& s, const char* name)
{
    SetFillTypeNameData fill{kFillPattern, 0, {}};
    std::strncpy(fill.name, name, sizeof fill.name - 1);
    return s.Record(aiop::kSetFillTypeName, fill);
}

std::string Finish(ExportSession& s)
{
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    return s.Finish();
}

}  // namespace

TEST(Pattern, SectionCountTableLimitsAndAnEndWithoutADefinition)
{
    ExportSession s(8.5, 11, false);
    for (int count : {0, 1024, 1025, -1})
        EXPECT_EQ(s.Record(aiop::kSetPatternSections, count), count <= 1024 ? 1 : 0) << count;
    EXPECT_EQ(s.Record(aiop::kSetPatternSections), 0);

    EXPECT_EQ(s.Record(aiop::kSetPatternDef, SetPatternDefData{}), 0);  // nameless
    for (int i = 0; i < kDefinitionSlots; ++i) {
        SetPatternDefData def{};
        std::snprintf(def.name, sizeof def.name, "P%d", i);
        ASSERT_EQ(s.Record(aiop::kSetPatternDef, def), 1);
    }
    EXPECT_EQ(s.Record(aiop::kSetPatternDef, SetPatternDefData{0, "Extra", 0, 0, 0, 0, 0, 0}), 0);
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    EXPECT_EQ(PatternFill(s, "P1023"), 1);
    EXPECT_EQ(PatternFill(s, "Extra"), 0);
    // An end without its definition would close a string and an array never begun.
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kEndPattern), 0);
    EXPECT_EQ(s.SinceMark(), "");
}

TEST(Pattern, DefinitionKeepsNothingOfAnEarlierPicture)
{
    ExportSession s(8.5, 11, false);
    BeginDefinition(s, "P");
    s.Record(aiop::kSetPatternColSpacing, 50.0);
    s.Record(aiop::kSetPatternRowSpacing, 50.0);
    s.Record(aiop::kSetPatternBackground, Rgb(255, 0, 0));
    s.Record(aiop::kEndPattern);
    ASSERT_EQ(s.NextPicture(), 1);
    DefineTile(s, "P", 0, 0, 10, 10);
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    ASSERT_EQ(PatternFill(s, "P"), 1);
    const std::string file = s.Finish();
    EXPECT_NE(file.find("(P) 0.0000 0.0000 10.0000 10.0000 [\n%AI3_Tile\n(0 O 0 R ) @\n"),
              std::string::npos);
}

TEST(Pattern, HeaderFindsItsPlaceAfterAFailedFlush)
{
    ExportSession s(8.5, 11, false);
    DefineTile(s, "A", 0, 0, 1, 1);
    plat::SetFault(plat::kFaultWrite, 1);
    SetPatternDefData def{0, "B", 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(s.Record(aiop::kSetPatternDef, def), 0);
    plat::ClearFaults();
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 0));
    Box(s, 0, 0, 2, 2);
    s.Record(aiop::kEndPattern);
    const std::string file = Finish(s);
    ASSERT_EQ(s.finishResult, 1);
    EXPECT_NE(file.find("%AI3_BeginPattern: (B) \n(B) 0.0000 0.0000 2.0000 2.0000 [\n"),
              std::string::npos);
}
