// Path segments: a move-to and a payload first, numbers of any size whole.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

void Move(ExportSession& s, double x, double y) { s.Record(aiop::kMoveTo, MoveToData{x, y}); }

std::string Real(double v)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.4f ", v);
    return text;
}

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
    // Numbers of any size are written whole.
    const std::string big = Real(1e300 * 72.0);
    f.Mark();
    Move(s, 1e300, -1e300);
    s.Record(aiop::kCurveTo, CurveToData{1e300, 1e300, 1e300, 1e300, 1e300, 1e300});
    EXPECT_EQ(f.SinceMark(), big + "-" + big + "m\n" + big + big + big + big + big + big + "c\n");
}
