// Stroke style lines: only what changed, in a fixed order.
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

std::string Stroke(ExportSession& s, SetStrokeData data)
{
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetStroke, data), 1);
    return s.filter.SinceMark();
}

}  // namespace

TEST(Stroke, WritesWhatChangedInOrder)
{
    ExportSession s;
    // The defaults write nothing but the line end, as does an unchanged stroke.
    EXPECT_EQ(Stroke(s, {5, 0.0, 2, 1, 1.0001}), "\n");
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 1, 0, 4.0}), "[ 12 12 2 12 ] 0 d 2.0000 w 1 J 2 j 4.0000 M \n");
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 1, 0, 4.0}), "\n");
    // A limit of 1 or less is floored, and so differs again next time.
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 1, 0, 1.0}), "1.0001 M \n");
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 1, 0, 1.0}), "1.0001 M \n");
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 1, 0, std::nan("")}), "1.0001 M \n");
    // Unknown style, cap and join codes are stored and write nothing.
    EXPECT_EQ(Stroke(s, {7, 1.0, 3, 5, 2.0}), "72.0000 w 2.0000 M \n");
    EXPECT_EQ(Stroke(s, {-1, 1.0, 0, 2, 2.0}), "2 J 1 j \n");
    EXPECT_EQ(s.filter.graphicsState.stroke.style, -1);

    char huge[400];
    std::snprintf(huge, sizeof huge, "[ ] 0 d %.4f w \n", 1e300 * 72.0);
    EXPECT_EQ(Stroke(s, {0, 1e300, 0, 2, 2.0}), huge);
    EXPECT_EQ(s.Record(aiop::kSetStroke), 0);
}

TEST(Stroke, NoStrokeClearsTheStrokeColourAndIgnoresTheRest)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    Stroke(s, {0, 1.0, 1, 1, 3.0});
    s.Record(aiop::kSetStrokeColorByValue, SetColorByValueData{0, 10, 20, 30, 0, 0, 0, 0});
    f.graphicsState.strokeByName = 1;
    std::snprintf(f.graphicsState.strokeColorName.name, 64, "Blue");
    EXPECT_EQ(Stroke(s, {5, 9.0, 0, 0, 9.0}), "\n");
    EXPECT_EQ(double{f.graphicsState.stroke.width}, 1.0);
    EXPECT_EQ(f.graphicsState.strokeColor.red, 0);
    EXPECT_EQ(f.graphicsState.strokeByName, 0);
    EXPECT_STREQ(f.graphicsState.strokeColorName.name, "");
}

TEST(Stroke, OutlineWithoutStrokeBecomesAHairlineInTheFillColour)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    Stroke(s, {0, 1.0, 2, 1, 1.0001});
    s.Record(aiop::kSetFillColorByValue, SetColorByValueData{1, 0, 0, 0, 0.1, 0.2, 0.3, 0.4});
    unsigned short outline = 0;
    s.Record(aiop::kSetFillType, outline);

    EXPECT_EQ(Stroke(s, {5, 3.0, 1, 1, 1.0001}), "[ ] 0 d 0 w \n");
    EXPECT_EQ(f.graphicsState.fillType, 5);
    EXPECT_EQ(f.graphicsState.stroke.style, 0);
    EXPECT_EQ(double{f.graphicsState.stroke.width}, 0.0);
    const SetColorByValueData line = f.graphicsState.strokeColor;
    EXPECT_EQ(line.model, 1);
    EXPECT_EQ(line.cyan, 0.1);
    EXPECT_EQ(line.black, 0.4);
    EXPECT_EQ(f.graphicsState.fillColor.model, 0);
    EXPECT_EQ(double{f.graphicsState.fillColor.black}, 1.0);

    // A second no-stroke only stores 5 and clears the stroke colour.
    EXPECT_EQ(Stroke(s, {5, 3.0, 1, 1, 1.0001}), "\n");
    EXPECT_EQ(f.graphicsState.stroke.style, 5);
    EXPECT_EQ(f.graphicsState.strokeColor.model, 0);
}
