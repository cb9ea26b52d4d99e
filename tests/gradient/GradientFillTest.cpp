// Gradient fills: the instance around a path's paint operator, placed in the region's box.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

void Define(FilterProbe& f, const char* name, SetGradient2Data geometry)
{
    SetGradientDefData def{};
    std::strncpy(def.name, name, sizeof def.name - 1);
    ASSERT_EQ(f.SetGradientDef(&def), 1);
    ASSERT_EQ(f.SetGradient2(&geometry), 1);
    SetGradientRGNData stop{};
    ASSERT_EQ(f.SetGradientRGN(&stop), 1);
    ASSERT_EQ(f.SetGradientRGN(&stop), 1);
    ASSERT_EQ(f.EndGradient(), 1);
}

void FillWith(FilterProbe& f, const char* name, short strokeStyle, bool closed)
{
    f.graphicsState.fillType = kFillGradient;
    std::strncpy(f.graphicsState.fillTypeName.name, name, sizeof f.graphicsState.fillTypeName.name - 1);
    f.graphicsState.stroke.style = strokeStyle;
    f.pathClosed = closed;
}

void SetRegion(FilterProbe& f, double minX, double minY, double maxX, double maxY)
{
    f.regionBounds.minX = minX;
    f.regionBounds.minY = minY;
    f.regionBounds.maxX = maxX;
    f.regionBounds.maxY = maxY;
    f.regionBounds.valid = true;
}

// What PaintGradient appends, and its result.
std::string Paint(FilterProbe& f, int& result, const char* paintOperator = "f\n")
{
    char paint[3] = {};
    std::strncpy(paint, paintOperator, sizeof paint - 1);
    f.Mark();
    result = f.PaintGradient(paint);
    return f.SinceMark();
}

// A closed rectangle in host units; returns EndPath's result.
int Rectangle(ExportSession& s, double x0, double y0, double x1, double y1)
{
    s.Record(aiop::kBeginPath);
    s.Record(aiop::kMoveTo, MoveToData{x0, y0});
    s.Record(aiop::kLineTo, LineToData{x1, y0});
    s.Record(aiop::kLineTo, LineToData{x1, y1});
    s.Record(aiop::kLineTo, LineToData{x0, y1});
    s.Record(aiop::kClosePath);
    return s.Record(aiop::kEndPath);
}

}  // namespace

TEST(GradientFill, AngleIsDirectionFromStartToEnd)
{
    // placed: the start point, angle and length.
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
        FilterProbe f;
        Define(f, "G", {1, c.x1, c.y1, c.x2, c.y2});
        FillWith(f, "G", kStrokeNone, true);
        SetRegion(f, 0, 0, 100, 100);
        int result = 0;
        const std::string text = Paint(f, result);
        EXPECT_NE(text.find(std::string("1 (G) ") + c.placed + "1 0 0 1 0 0 Bg\n"),
                  std::string::npos)
            << text;
    }
}

TEST(GradientFill, StrokeFlagFollowsStrokeAndClosure)
{
    const struct { short style; bool closed; const char* paint; const char* tail; } cases[] = {
        {kStrokeNone, true, "f\n", "f\n0 BB\n"},
        {kStrokeNone, false, "S\n", "S\n0 BB\n"},
        {0, true, "b\n", "b\n2 BB\n"},
        {0, false, "S\n", "S\n1 BB\n"},
        {3, false, "S\n", "S\n1 BB\n"},
    };
    for (const auto& c : cases) {
        FilterProbe f;
        Define(f, "G", {0, 0, 0, 100, 0});
        FillWith(f, "G", c.style, c.closed);
        SetRegion(f, 0, 0, 10, 10);
        int result = 0;
        const std::string text = Paint(f, result, c.paint);
        EXPECT_EQ(text.substr(text.size() - std::strlen(c.tail)), c.tail);
    }
}

TEST(GradientFill, LookupDoesNotRedirectGradientBeingDefined)
{
    FilterProbe f;
    Define(f, "Used", {0, 0, 0, 100, 0});
    SetGradientDefData open{};
    std::strncpy(open.name, "Open", sizeof open.name - 1);
    ASSERT_EQ(f.SetGradientDef(&open), 1);

    FillWith(f, "Used", kStrokeNone, true);
    SetRegion(f, 0, 0, 10, 10);
    int result = 0;
    Paint(f, result);
    ASSERT_EQ(result, 1);

    SetGradient2Data geometry{1, 1, 2, 3, 4};
    SetGradientRGNData stop{};
    EXPECT_EQ(f.SetGradient2(&geometry), 1);
    EXPECT_EQ(f.SetGradientRGN(&stop), 1);
    EXPECT_EQ(f.gradientTable[0].stops.Size(), 2u);
    EXPECT_EQ(f.gradientTable[0].type, 0);
    EXPECT_EQ(f.gradientTable[1].stops.Size(), 1u);
    EXPECT_EQ(f.gradientTable[1].type, 1);
}

TEST(GradientFill, UndefinedGradientLeavesPlainPaintAndEndsPath)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    Define(f, "Known", {0, 0, 0, 100, 0});
    ASSERT_EQ(s.Record(aiop::kSetFillTypeName, SetFillTypeNameData{kFillGradient, 0, "Nowhere"}), 1);
    f.patternFillWritten = 1;
    f.currentDefinitionIndex = 7;
    f.Mark();
    EXPECT_EQ(Rectangle(s, 0, 0, 1, 1), 0);
    EXPECT_EQ(f.currentDefinitionIndex, 7);
    EXPECT_EQ(f.SinceMark(),
              "0.0000 0.0000 m\n72.0000 0.0000 l\n72.0000 72.0000 l\n0.0000 72.0000 l\nf\n");
    EXPECT_FALSE(f.pathOpen);
    EXPECT_FALSE(f.pathClosed);
    EXPECT_EQ(f.patternFillWritten, 0);
    const std::string file = s.Finish();
    ASSERT_EQ(s.finishResult, 1);  // the document itself is sound
    EXPECT_EQ(file.find("Bb\n"), std::string::npos);
}

TEST(GradientFill, CompoundPathMembersShareOneBox)
{
    ExportSession s;
    Define(s.filter, "G", {0, 0, 50, 100, 50});
    ASSERT_EQ(s.Record(aiop::kSetFillTypeName, SetFillTypeNameData{kFillGradient, 0, "G"}), 1);
    s.filter.Mark();
    s.Record(aiop::kBeginComposite);
    EXPECT_EQ(Rectangle(s, 0, 0, 1, 1), 1);
    EXPECT_EQ(Rectangle(s, 2, -1, 3, 0), 1);
    s.Record(aiop::kEndComposite);
    EXPECT_EQ(Rectangle(s, 5, 5, 6, 6), 1);  // a box of its own again
    const std::string text = s.filter.SinceMark();
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
    for (const char* name : {"Sky_1", "Sky_2", "Sky", "Blue_7", "Fade)"})
        Define(s.filter, name, {0, 0, 0, 100, 0});
    s.filter.Mark();
    for (const char* name : {"Sky_1", "Sky_2", "Sky", "Blue_7", "Fade)"}) {
        SetFillTypeNameData fill{kFillGradient, 0, {}};
        std::strncpy(fill.name, name, sizeof fill.name - 1);
        ASSERT_EQ(s.Record(aiop::kSetFillTypeName, fill), 1);
        ASSERT_EQ(Rectangle(s, 0, 0, 1, 1), 1);
    }
    const std::string fills = s.filter.SinceMark();
    const std::string file = s.Finish();
    for (const char* written : {"(Sky) ", "(Sky_2) ", "(Sky 2) ", "(Blue) ", "(Fade\\)) "}) {
        EXPECT_NE(fills.find(std::string("Bh\n1 ") + written + "0.0000 "), std::string::npos)
            << written << "\n" << fills;
        EXPECT_NE(file.find(std::string("%AI5_BeginGradient: ") + written + "\n" + written + "0 2 Bd"),
                  std::string::npos)
            << written;
    }
}
