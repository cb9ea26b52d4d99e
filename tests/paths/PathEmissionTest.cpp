// Path segments: a move-to and a payload first, numbers beyond a reader's at its bound.
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

void Move(ExportSession& s, double x, double y) { s.Record(aiop::kMoveTo, MoveToData{x, y}); }

}  // namespace

TEST(PathEmission, SegmentsNeedAMoveToAndAPayload)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.Mark();
    s.Record(aiop::kBeginPath);
    EXPECT_EQ(s.Record(aiop::kLineTo, LineToData{1, 1}), 0);
    EXPECT_EQ(s.Record(aiop::kCurveTo, CurveToData{1, 1, 2, 2, 3, 3}), 0);
    Move(s, 1, 1);
    s.Record(aiop::kEndPath);
    // After the path ended, a segment is again refused.
    const std::string done = f.SinceMark();
    EXPECT_EQ(s.Record(aiop::kLineTo, LineToData{2, 2}), 0);
    EXPECT_EQ(f.SinceMark(), done);

    for (unsigned short op : {aiop::kMoveTo, aiop::kLineTo, aiop::kCurveTo, aiop::kLine})
        EXPECT_EQ(s.Record(op), 0) << op;
    EXPECT_EQ(f.SinceMark(), done);
    // Numbers beyond what a reader holds are written at the largest real written.
    const std::string big = "1000000000000000.0000 ";
    f.Mark();
    Move(s, 1e300, -1e300);
    s.Record(aiop::kCurveTo, CurveToData{1e300, 1e300, 1e300, 1e300, 1e300, 1e300});
    EXPECT_EQ(f.SinceMark(), big + "-" + big + "m\n" + big + big + big + big + big + big + "c\n");
}
