// Path records as Illustrator path text: segments, paint operators, room.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

void Move(ExportSession& s, double x, double y) { s.Record(aiop::kMoveTo, MoveToData{x, y}); }
void LineTo(ExportSession& s, double x, double y) { s.Record(aiop::kLineTo, LineToData{x, y}); }

std::string Real(double v)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.4f ", v);
    return text;
}

}  // namespace

TEST(PathEmission, PaintOperatorForEveryFillStrokeAndShape)
{
    // A square from (0, 0) whose last point is endX host units right of the start.
    const struct { const char* what; double endX; bool closePath, closed; } shapes[] = {
        {"ClosePath record", 0.5, true, true},        {"back on the start", 0.0, false, true},
        {"0.001 points short", 0.001 / 72.0, false, false}, {"within 1e-8 points", 0.5e-8 / 72.0, false, true},
        {"open, distinct ends", 0.5, false, false},
    };
    const struct { bool fill, stroke; char closed, open; } rows[] = {
        {false, false, 'n', 'N'}, {true, false, 'f', 'S'}, {false, true, 's', 'S'}, {true, true, 'b', 'S'}};
    for (const auto& row : rows) {
        for (const auto& shape : shapes) {
            ExportSession s;
            s.Record(aiop::kSetFillType, static_cast<unsigned short>(row.fill ? 1 : 5));
            s.Record(aiop::kSetStroke, SetStrokeData{static_cast<short>(row.stroke ? 0 : 5), 0.0, 2, 1, 1.0001});
            s.Record(aiop::kBeginPath);
            Move(s, 0, 0);
            LineTo(s, 1, 0);
            LineTo(s, 1, 1);
            LineTo(s, 0, 1);
            LineTo(s, shape.endX, 0);
            if (shape.closePath)
                s.Record(aiop::kClosePath);
            s.filter.Mark();
            EXPECT_EQ(s.Record(aiop::kEndPath), 1);
            EXPECT_EQ(s.filter.SinceMark(), std::string(1, shape.closed ? row.closed : row.open) + "\n")
                << shape.what << " fill " << row.fill << " stroke " << row.stroke;
        }
    }
}

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

