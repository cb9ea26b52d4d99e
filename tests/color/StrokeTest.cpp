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
    const double twoPoints = 2.0 / 72.0;
    struct Step {
        SetStrokeData data;
        const char* line;
    };
    const Step steps[] = {
        // The defaults: nothing but the line end.
        {{5, 0.0, 2, 1, 1.0001}, "\n"},
        {{3, twoPoints, 1, 0, 4.0}, "[ 12 12 2 12 ] 0 d 2.0000 w 1 J 2 j 4.0000 M \n"},
        {{3, twoPoints, 1, 0, 4.0}, "\n"},
        {{0, twoPoints, 0, 2, 4.0}, "[ ] 0 d 2 J 1 j \n"},
        {{1, twoPoints, 2, 1, 4.0}, "[ 12 12 12 12 12 12 ] 0 d 0 J 0 j \n"},
        {{2, 0.5, 2, 1, 4.0}, "[ 2 12 2 12 2 12 ] 0 d 36.0000 w \n"},
        {{4, 0.5, 2, 1, 4.0}, "[ 12 12 2 12 2 12 ] 0 d \n"},
        // A limit of 1 or less is floored, and so differs again next time.
        {{4, 0.5, 2, 1, 1.0}, "1.0001 M \n"},
        {{4, 0.5, 2, 1, 1.0}, "1.0001 M \n"},
        {{4, 0.5, 2, 1, -3.0}, "1.0001 M \n"},
        {{4, 0.5, 2, 1, std::nan("")}, "1.0001 M \n"},
        // Unknown codes are stored and write nothing; the rest goes on.
        {{7, 1.0, 3, 5, 2.0}, "72.0000 w 2.0000 M \n"},
        {{-1, 1.0, 2, 1, 2.0}, "0 J 0 j \n"},
    };
    int i = 0;
    for (const Step& step : steps) {
        EXPECT_EQ(Stroke(s, step.data), step.line) << "step " << i;
        ++i;
    }
    const SetStrokeData& stored = s.filter.graphicsState.stroke;
    EXPECT_EQ(stored.style, -1);
    EXPECT_EQ(stored.cap, 2);
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
    EXPECT_EQ(f.graphicsState.strokeColor.model, 0);
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
    EXPECT_EQ(std::string(f.buffer, f.bufferLength).substr(f.bufferLength - 2), "K\n");

    EXPECT_EQ(Stroke(s, {5, 3.0, 1, 1, 1.0001}), "[ ] 0 d 0 w \n");
    EXPECT_EQ(f.graphicsState.fillType, 5);
    EXPECT_EQ(f.graphicsState.stroke.style, 0);
    EXPECT_EQ(double{f.graphicsState.stroke.width}, 0.0);
    const SetColorByValueData& line = f.graphicsState.strokeColor;
    EXPECT_EQ(line.model, 1);
    EXPECT_EQ(double{line.cyan}, 0.1);
    EXPECT_EQ(double{line.black}, 0.4);
    EXPECT_EQ(f.graphicsState.fillColor.model, 0);
    EXPECT_EQ(double{f.graphicsState.fillColor.black}, 1.0);

    // Stroked with the former fill colour: a closed path paints "s".
    s.Record(aiop::kBeginPath);
    s.Record(aiop::kMoveTo, MoveToData{0, 0});
    s.Record(aiop::kLineTo, LineToData{1, 0});
    s.Record(aiop::kClosePath);
    f.Mark();
    s.Record(aiop::kEndPath);
    EXPECT_EQ(f.SinceMark(), "s\n");

    // A second no-stroke now only clears the stroke colour.
    EXPECT_EQ(Stroke(s, {5, 3.0, 1, 1, 1.0001}), "\n");
    EXPECT_EQ(f.graphicsState.stroke.style, 5);
    EXPECT_EQ(f.graphicsState.strokeColor.model, 0);
}

TEST(Stroke, HugeWidthIsWrittenWholeAndNullFails)
{
    ExportSession s;
    char want[400];
    std::snprintf(want, sizeof want, "[ ] 0 d %.4f w \n", 1e300 * 72.0);
    EXPECT_EQ(Stroke(s, {0, 1e300, 2, 1, 1.0001}), want);
    EXPECT_EQ(s.Record(aiop::kSetStroke), 0);
}
