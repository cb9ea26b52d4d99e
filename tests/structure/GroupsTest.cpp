// Group, compound, mask and guide brackets.
#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

TEST(Groups, BracketLinesInsideAndOutsidePatternDefinitions)
{
    const unsigned short brackets[] = {aiop::kBeginGroup, aiop::kEndGroup, aiop::kBeginComposite,
                                       aiop::kEndComposite, aiop::kBeginMask, aiop::kEndMask};
    ExportSession s;
    s.Mark();
    for (unsigned short op : brackets)
        EXPECT_EQ(s.Record(op), 1) << op;
    // An end without its opening still closes a compound path.
    EXPECT_EQ(s.Record(aiop::kEndComposite), 1);
    EXPECT_EQ(s.SinceMark(), "u\nU\n*u\n1 XR\n*U\nq\nQ\n*U\n");

    // In a tile groups vanish, and a compound path without members leaves no trace.
    s.Record(aiop::kSetPatternDef, SetPatternDefData{0, "P", 0, 0, 0, 0, 0, 0});
    s.Record(aiop::kBeginPattern);
    s.Mark();
    for (unsigned short op : brackets)
        EXPECT_EQ(s.Record(op), 1) << op;
    EXPECT_EQ(s.SinceMark(), "q\nQ\n");
}

TEST(Groups, CompoundInATileOpensAtItsFirstMoveToAndStaysBalanced)
{
    ExportSession s;
    s.Record(aiop::kSetPatternDef, SetPatternDefData{0, "P", 0, 0, 0, 0, 0, 0});
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kBeginPath);  // a first path without colour opens the tile's item
    s.Record(aiop::kEndPath);
    s.Mark();
    // Two begun before the first move-to share its one opening.
    s.Record(aiop::kBeginComposite);
    s.Record(aiop::kBeginComposite);
    s.Record(aiop::kBeginPath);
    s.Record(aiop::kMoveTo, MoveToData{0, 0});
    s.Record(aiop::kLineTo, LineToData{1, 0});
    s.Record(aiop::kMoveTo, MoveToData{0, 1});
    s.Record(aiop::kEndPath);
    s.Record(aiop::kEndComposite);
    s.Record(aiop::kEndComposite);
    EXPECT_EQ(s.SinceMark(),
              "*u\n1 XR\n0.0000 0.0000 m\n72.0000 0.0000 l\n0.0000 72.0000 m\nf\n*U\n");
}

TEST(Groups, GuidesRunAcrossTheWholeExtentAndAreNeverRepeated)
{
    const struct {
        MoveToData start;
        LineToData end;
        const char* written;
    } cases[] = {
        {{0, 2}, {5, 2}, "-7885.0000 144.0000 m\n8498.0000 144.0000 l\n(N) *\n"},
        {{2, 0}, {2, 5}, "144.0000 4715.5000 m\n144.0000 -3924.5000 l\n(N) *\n"},
        {{0, 0}, {1, 1}, "-7885.0000 0.0000 m\n8498.0000 0.0000 l\n(N) *\n"},  // slanted
        {{-1, 1}, {-1, 1 + 1e-9}, ""},
    };
    for (const auto& c : cases) {
        ExportSession s;
        s.Mark();
        s.Record(aiop::kBeginGuide);
        s.Record(aiop::kMoveTo, c.start);
        s.Record(aiop::kCurveTo, CurveToData{9, 9, 9, 9, 9, 9});  // leaves the guide alone
        s.Record(aiop::kLineTo, c.end);
        s.Record(aiop::kEndPath);
        EXPECT_EQ(s.Record(aiop::kEndGuide), 1);
        // An empty bracket, and an end without its opening, add no second guide.
        s.Record(aiop::kBeginGuide);
        s.Record(aiop::kEndGuide);
        s.Record(aiop::kEndGuide);
        EXPECT_EQ(s.SinceMark(), c.written) << c.end.x;
    }
}
