// Gradient fills: the instance around a path's paint operator, placed in the region's box.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

void Define(ExportSession& s, const char* name, SetGradient2Data geometry, int stops = 2)
{
    SetGradientDefData def{};
    std::strncpy(def.name, name, sizeof def.name - 1);
    ASSERT_EQ(s.Record(aiop::kSetGradientDef, def), 1);
    ASSERT_EQ(s.Record(aiop::kSetGradient2, geometry), 1);
    for (int i = 0; i < stops; ++i)
        ASSERT_EQ(s.Record(aiop::kSetGradientRGN, SetGradientRGNData{}), 1);
}

int Fill(ExportSession& s, const char* name)
{
    SetFillTypeNameData fill{kFillGradient, 0, {}};
    std::strncpy(fill.name, name, sizeof fill.name - 1);
    return s.Record(aiop::kSetFillTypeName, fill);
}

}  // namespace

TEST(GradientFill, AngleIsDirectionFromStartToEnd)
{
    // placed: the start point, angle and length, in a box of 100 by 100 points.
    const struct { double x1, y1, x2, y2; const char* placed; } cases[] = {
        {0, 0, 100, 100, "0.0000 0.0000 45.0000 141.4214 "},
        {100, 50, 0, 50, "100.0000 50.0000 180.0000 100.0000 "},      // leftwards, level
        {100, 0, 0, 100, "100.0000 0.0000 135.0000 141.4214 "},      // up and to the left
        {100, 100, 0, 0, "100.0000 100.0000 -135.0000 141.4214 "},   // down and to the left
        {50, 100, 50, 0, "50.0000 100.0000 -90.0000 100.0000 "},     // straight down
        {50, 0, 50, 100, "50.0000 0.0000 90.0000 100.0000 "},        // straight up
        {50, 50, 50, 50, "50.0000 50.0000 0.0000 0.0000 "},          // no direction at all
    };
    for (const auto& c : cases) {
        ExportSession s;
        Define(s, "G", {1, c.x1, c.y1, c.x2, c.y2});
        s.Record(aiop::kEndGradient);
        Fill(s, "G");
        s.Mark();
        EXPECT_EQ(Box(s, 0, 0, 100, 100), 1);
        EXPECT_NE(s.SinceMark().find(std::string("1 (G) ") + c.placed + "1 0 0 1 0 0 Bg\nf\n0 BB\n"),
                  std::string::npos)
            << s.SinceMark();
    }
}

TEST(GradientFill, StrokeFlagFollowsStrokeAndClosure)
{
    const struct { short style; bool closed; const char* tail; } cases[] = {
        {kStrokeNone, true, "f\n0 BB\n"}, {kStrokeNone, false, "S\n0 BB\n"},
        {0, true, "b\n2 BB\n"},           {0, false, "S\n1 BB\n"},
        {3, false, "S\n1 BB\n"},
    };
    for (const auto& c : cases) {
        ExportSession s;
        Define(s, "G", {0, 0, 0, 100, 0});
        s.Record(aiop::kEndGradient);
        Fill(s, "G");
        s.Record(aiop::kSetStroke, SetStrokeData{c.style, 0.0, 2, 1, 1.0001});
        s.Record(aiop::kBeginPath);
        s.Record(aiop::kMoveTo, MoveToData{0, 0});
        s.Record(aiop::kLineTo, LineToData{1, 1});
        if (c.closed)
            s.Record(aiop::kClosePath);
        s.Mark();
        EXPECT_EQ(s.Record(aiop::kEndPath), 1);
        const std::string text = s.SinceMark();
        EXPECT_EQ(text.substr(text.size() - std::strlen(c.tail)), c.tail) << text;
    }
}

TEST(GradientFill, FillDuringADefinitionLeavesBothDefinitionsTheirOwn)
{
    ExportSession s(8.5, 11, false);
    Define(s, "Used", {0, 0, 0, 100, 0});
    s.Record(aiop::kEndGradient);
    Define(s, "Open", {0, 0, 0, 100, 0}, 0);
    // A fill of the first while the second is open: geometry and stops still
    // go to the open one.
    Fill(s, "Used");
    ASSERT_EQ(Box(s, 0, 0, 1, 1), 1);
    s.Record(aiop::kSetGradient2, SetGradient2Data{1, 1, 2, 3, 4});
    s.Record(aiop::kSetGradientRGN, SetGradientRGNData{});
    s.Record(aiop::kSetGradientRGN, SetGradientRGNData{});
    s.Record(aiop::kSetGradientRGN, SetGradientRGNData{});
    s.Record(aiop::kEndGradient);
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    const std::string file = s.Finish();
    EXPECT_NE(file.find("(Used) 0 2 Bd\n"), std::string::npos);
    EXPECT_NE(file.find("(Open) 1 3 Bd\n"), std::string::npos);
}

TEST(GradientFill, UndefinedGradientLeavesPlainPaintAndEndsPath)
{
    ExportSession s;
    Define(s, "Known", {0, 0, 0, 100, 0});
    s.Record(aiop::kEndGradient);
    ASSERT_EQ(Fill(s, "Nowhere"), 1);
    s.Mark();
    EXPECT_EQ(Box(s, 0, 0, 72, 72), 0);
    EXPECT_EQ(s.SinceMark(),
              "0.0000 0.0000 m\n72.0000 0.0000 l\n72.0000 72.0000 l\n0.0000 72.0000 l\nf\n");
    EXPECT_EQ(s.Record(aiop::kLineTo, LineToData{1, 1}), 0);  // the path did end
    const std::string file = s.Finish();
    ASSERT_EQ(s.finishResult, 1);  // the document itself is sound
    EXPECT_EQ(file.find("Bb\n"), std::string::npos);
}

TEST(GradientFill, CompoundPathMembersShareOneBox)
{
    ExportSession s;
    Define(s, "G", {0, 0, 50, 100, 50});
    s.Record(aiop::kEndGradient);
    ASSERT_EQ(Fill(s, "G"), 1);
    s.Mark();
    s.Record(aiop::kBeginComposite);
    EXPECT_EQ(Box(s, 0, 0, 72, 72), 1);
    EXPECT_EQ(Box(s, 144, -72, 216, 0), 1);
    s.Record(aiop::kEndComposite);
    EXPECT_EQ(Box(s, 360, 360, 432, 432), 1);  // a box of its own again
    const std::string text = s.SinceMark();
    EXPECT_NE(text.find("1 (G) 0.0000 36.0000 0.0000 72.0000 1 0 0 1 0 0 Bg\n"),
              std::string::npos);
    EXPECT_NE(text.find("1 (G) 0.0000 0.0000 0.0000 216.0000 1 0 0 1 0 0 Bg\n"),
              std::string::npos);
    EXPECT_NE(text.find("1 (G) 360.0000 396.0000 0.0000 72.0000 1 0 0 1 0 0 Bg\n"),
              std::string::npos)
        << text;
}

TEST(GradientFill, NoTwoGradientsAreWrittenAlike)
{
    // The numeric tail is dropped only where no other gradient is written so;
    // later ones keep their whole names, in the definition and in every fill.
    ExportSession s;
    const char* const names[] = {"Sky_1", "Sky_2", "Sky", "Blue_7", "Fade)"};
    for (const char* name : names) {
        Define(s, name, {0, 0, 0, 100, 0});
        s.Record(aiop::kEndGradient);
    }
    s.Mark();
    for (const char* name : names) {
        ASSERT_EQ(Fill(s, name), 1);
        ASSERT_EQ(Box(s, 0, 0, 72, 72), 1);
    }
    const std::string fills = s.SinceMark();
    const std::string file = s.Finish();
    for (const char* written : {"(Sky) ", "(Sky_2) ", "(Sky 2) ", "(Blue) ", "(Fade\\)) "}) {
        EXPECT_NE(fills.find(std::string("Bh\n1 ") + written + "0.0000 "), std::string::npos)
            << written << "\n" << fills;
        EXPECT_NE(file.find(std::string("%AI5_BeginGradient: ") + written + "\n" + written + "0 2 Bd"),
                  std::string::npos)
            << written;
    }
}
