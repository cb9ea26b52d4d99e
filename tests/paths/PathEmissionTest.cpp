// Path segments: a move-to and a payload first, numbers beyond a reader's at its bound.
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
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

TEST(PathEmission, ManyPathsGoToTheFileInFewWrites)
{
    // A drawing of many small paths is written a block at a time, not one
    // write each, and every path still reaches the document.
    ExportSession s;
    aiexport_platform::ClearFaults();
    const long before = aiexport_platform::FaultCount(aiexport_platform::kFaultWrite);
    constexpr int kPaths = 2000;
    for (int i = 0; i < kPaths; ++i) {
        s.Record(aiop::kBeginPath);
        Move(s, i, 2 * i);
        s.Record(aiop::kLineTo, LineToData{i + 1.5, 3.0});
        s.Record(aiop::kEndPath);
    }
    const long writes = aiexport_platform::FaultCount(aiexport_platform::kFaultWrite) - before;
    EXPECT_LT(writes, kPaths / 20);
    const std::string document = s.Finish();
    std::size_t moves = 0;
    for (std::size_t at = document.find(" m\n"); at != std::string::npos;
         at = document.find(" m\n", at + 1))
        ++moves;
    EXPECT_EQ(moves, static_cast<std::size_t>(kPaths));
}
