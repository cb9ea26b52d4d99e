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

// Fill and stroke chosen through the records, as a host would.
void Paint(ExportSession& s, bool fill, bool stroke)
{
    unsigned short type = fill ? 1 : 5;
    s.Record(aiop::kSetFillType, type);
    s.Record(aiop::kSetStroke, SetStrokeData{static_cast<short>(stroke ? 0 : 5), 0.0, 2, 1, 1.0001});
}

std::string Real(double v)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.4f ", v);
    return text;
}

}  // namespace

TEST(PathEmission, ClosedFilledTriangleInAWholeDocument)
{
    ExportSession s;
    s.Record(aiop::kBeginPath);
    Move(s, 1, 1);
    LineTo(s, 2, 1);
    LineTo(s, 2, 2);
    s.Record(aiop::kClosePath);
    EXPECT_EQ(s.Record(aiop::kEndPath), 1);
    const std::string file = s.Finish();
    ASSERT_EQ(s.finishResult, 1);
    EXPECT_EQ(file.rfind("%!PS-Adobe-3.0", 0), 0u);
    EXPECT_EQ(Between(file, "%%EndSetup\n", "%%PageTrailer\n"),
              "%%EndSetup\n"
              "72.0000 72.0000 m\n"
              "144.0000 72.0000 l\n"
              "144.0000 144.0000 l\n"
              "f\n"
              "%%PageTrailer\n");
}

TEST(PathEmission, PaintOperatorForEveryFillStrokeAndShape)
{
    struct Shape {
        const char* what;
        double endX;  // host units; the square starts and ends near (0, 0)
        bool closePath;
        bool closed;
    };
    const Shape shapes[] = {
        {"ClosePath record", 0.5, true, false},
        {"back on the start", 0.0, false, true},
        {"0.001 points short", 0.001 / 72.0, false, false},
        {"within 1e-8 points", 0.5e-8 / 72.0, false, true},
        {"open, distinct ends", 0.5, false, false},
    };
    struct Row {
        bool fill;
        bool stroke;
        char closed;
        char open;
    };
    const Row rows[] = {{false, false, 'n', 'N'},
                        {true, false, 'f', 'S'},
                        {false, true, 's', 'S'},
                        {true, true, 'b', 'S'}};
    for (const Row& row : rows) {
        for (const Shape& shape : shapes) {
            ExportSession s;
            Paint(s, row.fill, row.stroke);
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
            const char letter = (shape.closePath || shape.closed) ? row.closed : row.open;
            EXPECT_EQ(s.filter.SinceMark(), std::string(1, letter) + "\n")
                << shape.what << " fill " << row.fill << " stroke " << row.stroke;
        }
    }
}

TEST(PathEmission, OnlyTheLastSubpathStartCounts)
{
    // The second subpath returns to its own start, not to the first one's.
    ExportSession s;
    s.Record(aiop::kBeginPath);
    Move(s, 0, 0);
    LineTo(s, 1, 0);
    Move(s, 2, 2);
    LineTo(s, 3, 2);
    LineTo(s, 2, 2);
    s.filter.Mark();
    s.Record(aiop::kEndPath);
    EXPECT_EQ(s.filter.SinceMark(), "f\n");
    EXPECT_EQ(s.filter.pathBounds.minX, 144.0);  // restarted by the second move-to
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
    EXPECT_EQ(f.MoveTo(nullptr), 0);
    EXPECT_EQ(f.LineTo(nullptr), 0);
    EXPECT_EQ(f.CurveTo(nullptr), 0);
    EXPECT_EQ(f.Line(nullptr), 0);
    EXPECT_EQ(f.SinceMark(), done);
}

TEST(PathEmission, GuideCaptureWritesNothing)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.inGuide = true;
    f.pathClosed = true;
    f.Mark();
    s.Record(aiop::kBeginPath);
    Move(s, 1, 0);
    EXPECT_EQ(s.Record(aiop::kCurveTo, CurveToData{5, 5, 6, 6, 7, 7}), 1);
    LineTo(s, 1, 3);
    EXPECT_EQ(s.Record(aiop::kEndPath), 1);
    EXPECT_EQ(f.SinceMark(), "");
    EXPECT_EQ(f.guideStart.x, 1.0);  // host units
    EXPECT_EQ(f.guideStart.y, 0.0);
    EXPECT_EQ(f.guideEnd.y, 3.0);
    EXPECT_FALSE(f.pathOpen);
    EXPECT_TRUE(f.pathClosed);  // left for the next normal path end
}

TEST(PathEmission, ClipRegionPathsBecomeClippingPaths)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.inClipRegion = true;
    f.graphicsState.fillType = 2;  // no gradient is painted in a clip region
    s.Record(aiop::kBeginPath);
    Move(s, 0, 0);
    LineTo(s, 1, 0);
    f.Mark();
    EXPECT_EQ(s.Record(aiop::kEndPath), 1);
    EXPECT_EQ(f.SinceMark(), "h\nW\nn\n");
    EXPECT_FALSE(f.pathOpen);
    EXPECT_EQ(f.bufferLength, 0u);  // flushed with the path
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

TEST(PathEmission, LineRecordIsAOneSegmentPath)
{
    ExportSession s;
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kLine, LineData{0, 0, 1, 0.5}), 1);  // open: never filled
    EXPECT_EQ(s.Record(aiop::kLine, LineData{1, 1, 1, 1}), 1);    // ends on its start
    EXPECT_EQ(s.filter.SinceMark(),
              "0.0000 0.0000 m\n72.0000 36.0000 l\nS\n72.0000 72.0000 m\n72.0000 72.0000 l\nf\n");
}

TEST(PathEmission, RegionGrowsOverTheMembersOfACompoundPath)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.compositeDepth = 1;
    Move(s, 0, 0);
    LineTo(s, 1, 1);
    s.Record(aiop::kEndPath);
    Move(s, 3, 3);  // a later member's move-to is not taken in
    EXPECT_EQ(f.regionBounds.minX, 0.0);
    EXPECT_EQ(f.regionBounds.maxX, 72.0);
    EXPECT_EQ(f.pathBounds.minX, 216.0);
    LineTo(s, 4, 4);
    EXPECT_EQ(f.regionBounds.minX, 0.0);
    EXPECT_EQ(f.regionBounds.maxX, 288.0);

    // Outside compound paths, or once the region is invalid, it restarts.
    f.compositeDepth = 0;
    Move(s, 5, 5);
    EXPECT_EQ(f.regionBounds.minX, 360.0);
    f.compositeDepth = 1;
    f.regionBounds.Invalidate();
    Move(s, 6, 6);
    EXPECT_EQ(f.regionBounds.minX, 432.0);
    EXPECT_TRUE(f.regionBounds.valid);
}

TEST(PathEmission, TilePathsMergeIntoThePatternBeingDefined)
{
    ExportSession s;
    FilterProbe& f = s.filter;
    f.inPatternDefinition = 1;
    f.currentPatternIndex = 3;
    f.currentDefinitionIndex = 7;  // e.g. moved by a gradient fill in the tile
    f.patternTable[3].tileBoundsValid = false;
    f.patternTable[7].tileBoundsValid = false;

    Move(s, 0, 0);
    LineTo(s, 1, 1);
    s.Record(aiop::kEndPath);
    Move(s, -1, 0.5);
    LineTo(s, 0.5, 2);
    s.Record(aiop::kEndPath);
    const PatternSlot& tile = f.patternTable[3];
    EXPECT_TRUE(tile.tileBoundsValid);
    EXPECT_EQ(tile.minX, -72.0);
    EXPECT_EQ(tile.minY, 0.0);
    EXPECT_EQ(tile.maxX, 72.0);
    EXPECT_EQ(tile.maxY, 144.0);
    EXPECT_FALSE(f.patternTable[7].tileBoundsValid);

    for (int index : {-1, kDefinitionSlots}) {
        f.currentPatternIndex = index;
        Move(s, 0, 0);
        EXPECT_EQ(s.Record(aiop::kEndPath), 1);
    }
}

TEST(PathEmission, HugeCoordinatesAtTheRoomMarginsAreWrittenWhole)
{
    struct Case {
        unsigned short op;
        unsigned margin;
        unsigned fill;  // bytes in the buffer before the record
        bool flushed;
    };
    const Case cases[] = {
        {aiop::kMoveTo, 32, 0, false},   {aiop::kMoveTo, 32, 1, true},
        {aiop::kLineTo, 32, 0, false},   {aiop::kLineTo, 32, 1, true},
        {aiop::kCurveTo, 128, 0, false}, {aiop::kCurveTo, 128, 1, true},
    };
    const double huge = 1e300;
    const std::string big = Real(huge * 72.0);
    for (const Case& c : cases) {
        ExportSession s;
        FilterProbe& f = s.filter;
        if (c.op != aiop::kMoveTo)
            Move(s, 0, 0);
        f.WriteBufferToExportFile(0);
        const unsigned size = f.bufferSize;
        const unsigned before = size - c.margin + c.fill;
        std::string padding(before, '%');
        f.Append(padding.c_str());
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
