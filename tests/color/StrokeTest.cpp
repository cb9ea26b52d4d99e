// Stroke style lines: only what changed, in a fixed order.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

std::string Stroke(ExportSession& s, SetStrokeData data)
{
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kSetStroke, data), 1);
    return s.SinceMark();
}

}  // namespace

TEST(Stroke, WritesWhatChangedInOrder)
{
    ExportSession s;
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 1, 0, 4.0}),
              "[ 12 12 2 12 ] 0 d 2.0000 w 1 J 2 j 4.0000 M \n");
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 2, 1, 4.0}), "0 J 0 j \n");
    // A limit of 1 or less is floored, and so differs again next time.
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 2, 1, 1.0}), "1.0001 M \n");
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 2, 1, 1.0}), "1.0001 M \n");
    EXPECT_EQ(Stroke(s, {3, 2.0 / 72, 2, 1, std::nan("")}), "1.0001 M \n");
    // Unknown style, cap and join codes are stored and write nothing.
    EXPECT_EQ(Stroke(s, {7, 1.0, 3, 5, 2.0}), "72.0000 w 2.0000 M \n");
    EXPECT_EQ(Stroke(s, {-1, 1.0, 0, 2, 2.0}), "2 J 1 j \n");
    // A width no reader holds is written at the largest real written.
    EXPECT_EQ(Stroke(s, {0, 1e300, 0, 2, 2.0}), "[ ] 0 d 1000000000000000.0000 w \n");
    EXPECT_EQ(s.Record(aiop::kSetStroke), 0);
}

TEST(Stroke, NoStrokeForgetsTheStrokeColourAndOutlineBecomesAHairline)
{
    ExportSession s;
    s.Record(aiop::kSetFillType, static_cast<unsigned short>(1));
    Stroke(s, {0, 1.0, 1, 1, 3.0});
    s.Record(aiop::kSetStrokeColorByValue, Rgb(10, 20, 30));
    EXPECT_EQ(Stroke(s, {5, 9.0, 0, 0, 9.0}), "\n");
    // The file still strokes in the old colour: black is written, not assumed.
    Stroke(s, {0, 1.0, 1, 1, 3.0});
    s.Mark();
    s.Record(aiop::kSetStrokeColorByValue, Rgb(0, 0, 0));
    s.Record(aiop::kSetStrokeColorByValue, Rgb(0, 0, 0));
    EXPECT_EQ(s.SinceMark(), "0.0000 G\n");

    // An outline loses its stroke: its colour becomes a hairline and the fill goes.
    s.Record(aiop::kSetFillColorByValue, SetColorByValueData{1, 0, 0, 0, 0.1, 0.2, 0.3, 0.4});
    s.Record(aiop::kSetFillType, static_cast<unsigned short>(0));
    EXPECT_EQ(Stroke(s, {5, 3.0, 1, 1, 1.0001}), "[ ] 0 d 0 w \n");
    s.Mark();
    Box(s, 0, 0, 1, 1);
    EXPECT_EQ(s.SinceMark(),
              "0.0000 0.0000 m\n1.0000 0.0000 l\n1.0000 1.0000 l\n0.0000 1.0000 l\ns\n");
    // A second no-stroke is a real one: no stroke and no fill.
    EXPECT_EQ(Stroke(s, {5, 3.0, 1, 1, 1.0001}), "\n");
    s.Mark();
    Box(s, 0, 0, 1, 1);
    EXPECT_EQ(s.SinceMark().substr(s.SinceMark().size() - 2), "n\n");
}
