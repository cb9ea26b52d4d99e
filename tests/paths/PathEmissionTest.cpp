// Path records as Illustrator path text: segments, paint operators, room.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

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

TEST(PathEmission, EveryFillTypeButNoneCountsAsFilled)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.pathClosed = true;
    for (unsigned short type : {0, 1, 2, 3, 4}) {
        f.graphicsState.fillType = type;
        char paint[] = "F\n";
        EXPECT_EQ(f.GetPaintFromGSatate(paint), 1);
        EXPECT_STREQ(paint, "f\n") << type;
    }
}

TEST(PathEmission, CurveBoxStartsAtTheCurrentPoint)
{
    ExportSession s;
    Move(s, 0, 0);
    s.Record(aiop::kCurveTo, CurveToData{10, 0, 10, 0, 0, 0});
    EXPECT_DOUBLE_EQ(s.filter.pathBounds.maxX, 7.5 * 72.0);
    EXPECT_DOUBLE_EQ(s.filter.regionBounds.maxX, 7.5 * 72.0);
    EXPECT_EQ(s.filter.currentPoint.x, 0.0);
}

TEST(PathEmission, SegmentsNeedAMoveToAndAPayload)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.Mark();
    s.Record(aiop::kBeginPath);
    EXPECT_EQ(s.Record(aiop::kLineTo, LineToData{1, 1}), 0);
    EXPECT_EQ(s.Record(aiop::kCurveTo, CurveToData{1, 1, 2, 2, 3, 3}), 0);
    EXPECT_EQ(f.currentPoint.x, 0.0);
    Move(s, 1, 1);
    s.Record(aiop::kEndPath);
    // After the path ended, a segment is again refused.
    const std::string done = f.SinceMark();
    EXPECT_EQ(s.Record(aiop::kLineTo, LineToData{2, 2}), 0);
    EXPECT_EQ(f.SinceMark(), done);

    for (unsigned short op : {aiop::kMoveTo, aiop::kLineTo, aiop::kCurveTo, aiop::kLine})
        EXPECT_EQ(s.Record(op), 0) << op;
    EXPECT_EQ(f.SinceMark(), done);
}

TEST(PathEmission, FailedFlushKeepsThePathOpen)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    s.Record(aiop::kBeginPath);
    Move(s, 0, 0);
    s.Record(aiop::kClosePath);
    f.graphicsState.fillType = 1;
    f.patternFillWritten = 1;
    plat::SetFault(plat::kFaultWrite, 1);
    EXPECT_EQ(s.Record(aiop::kEndPath), 0);
    plat::ClearFaults();
    EXPECT_TRUE(f.pathOpen);
    EXPECT_TRUE(f.pathClosed);
    EXPECT_EQ(f.patternFillWritten, 1);
    EXPECT_EQ(std::string(f.buffer + f.bufferLength - 2), "f\n");  // kept in the buffer
    EXPECT_EQ(s.Record(aiop::kEndPath), 1);
    EXPECT_FALSE(f.pathOpen);
    EXPECT_EQ(f.patternFillWritten, 0);
}

TEST(PathEmission, HugeCoordinatesAtTheRoomMarginsAreWrittenWhole)
{
    // fill: bytes past the room margin already in the buffer before the record.
    const struct { unsigned short op; unsigned margin, fill; bool flushed; } cases[] = {
        {aiop::kMoveTo, 32, 0, false},   {aiop::kMoveTo, 32, 1, true},
        {aiop::kLineTo, 32, 0, false},   {aiop::kLineTo, 32, 1, true},
        {aiop::kCurveTo, 128, 0, false}, {aiop::kCurveTo, 128, 1, true},
    };
    const double huge = 1e300;
    const std::string big = Real(huge * 72.0);
    for (const auto& c : cases) {
        ExportSession s;
        FilterProbe& f = s.filter;
        if (c.op != aiop::kMoveTo)
            Move(s, 0, 0);
        f.WriteBufferToExportFile(0);
        const unsigned before = f.bufferSize - c.margin + c.fill;
        f.Append(std::string(before, '%').c_str());
        f.Mark();
        int result = 0;
        std::string line;
        if (c.op == aiop::kCurveTo) {
            result = s.Record(c.op, CurveToData{huge, huge, huge, huge, huge, huge});
            line = big + big + big + big + big + big + "c\n";
        } else {
            result = s.Record(c.op, MoveToData{huge, -huge});
            line = big + "-" + big + (c.op == aiop::kMoveTo ? "m\n" : "l\n");
        }
        EXPECT_EQ(result, 1) << c.op;
        EXPECT_EQ(f.SinceMark(), line) << c.op;
        EXPECT_LE(f.bufferLength, f.bufferSize);
        EXPECT_EQ(f.bufferLength, c.flushed ? line.size() : before + line.size()) << c.op;
        EXPECT_EQ(f.buffer[f.bufferLength], '\0');
    }
}
