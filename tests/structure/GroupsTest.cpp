// Group, compound, mask and guide brackets, and the placement matrix.
#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

TEST(Groups, BracketLinesInsideAndOutsidePatternDefinitions)
{
    const struct {
        unsigned short opcode;
        const char* outside;
        const char* inside;
    } brackets[] = {
        {aiop::kBeginGroup, "u\n", ""},       {aiop::kEndGroup, "U\n", ""},
        {aiop::kBeginComposite, "*u\n1 XR\n", ""}, {aiop::kEndComposite, "*U\n", "*U\n"},
        {aiop::kBeginMask, "q\n", "q\n"},     {aiop::kEndMask, "Q\n", "Q\n"},
    };
    for (const auto& b : brackets) {
        for (int inPattern : {0, 1}) {
            ExportSession s;
            s.filter.inPatternDefinition = inPattern;
            s.filter.compositeDepth = 1;
            s.filter.Mark();
            EXPECT_EQ(s.Record(b.opcode), 1);
            EXPECT_EQ(s.filter.SinceMark(), inPattern ? b.inside : b.outside) << b.opcode;
        }
    }
}

TEST(Groups, CompositeDepthNeverGoesBelowZeroNorOutlivesAPicture)
{
    ExportSession s;
    s.Record(aiop::kBeginComposite);
    s.Record(aiop::kBeginComposite);
    s.Record(aiop::kLine, LineData{0, 0, 1, 0});
    s.Record(aiop::kEndComposite);
    s.Record(aiop::kLine, LineData{2, 2, 3, 3});
    // Only the outermost end closes the box shared by all members.
    EXPECT_TRUE(s.filter.regionBounds.valid);
    EXPECT_EQ(s.filter.regionBounds.maxY, 216.0);
    EXPECT_EQ(s.filter.regionBounds.minY, 0.0);
    s.Record(aiop::kEndComposite);
    EXPECT_FALSE(s.filter.regionBounds.valid);

    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kEndComposite), 1);
    EXPECT_EQ(s.filter.SinceMark(), "*U\n");
    EXPECT_EQ(s.filter.compositeDepth, 0);

    s.Record(aiop::kBeginComposite);
    s.Finish();
    s.filter.exportFile(s.target.data());
    ASSERT_EQ(s.Record(aiop::kBeginPicture, BeginPictureData{0, 0, 0, 8.5, 11}), 1);
    EXPECT_EQ(s.filter.compositeDepth, 0);
}

TEST(Groups, CompoundInATileOpensAtItsFirstMoveToAndStaysBalanced)
{
    ExportSession s;
    s.filter.inPatternDefinition = 1;
    s.filter.Mark();
    // No member path: neither opening nor closing.
    s.Record(aiop::kBeginComposite);
    s.Record(aiop::kEndComposite);
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
    EXPECT_EQ(s.filter.SinceMark(),
              "*u\n1 XR\n0.0000 0.0000 m\n72.0000 0.0000 l\n0.0000 72.0000 m\nf\n*U\n");
}

TEST(Groups, GuidesAreHorizontalUnlessVerticalAndNeverRepeated)
{
    const struct {
        FilterPoint start, end;
        const char* written;
    } cases[] = {
        {{0, 2}, {5, 2}, "-7885.0000 144.0000 m\n8498.0000 144.0000 l\n(N) *\n"},
        {{0, 0}, {1, 1}, "-7885.0000 0.0000 m\n8498.0000 0.0000 l\n(N) *\n"},
        {{-1, 1}, {-1, 1 + 1e-9}, ""},
    };
    for (const auto& c : cases) {
        ExportSession s;
        s.Record(aiop::kBeginGuide);
        s.filter.guideStart = c.start;
        s.filter.guideEnd = c.end;
        s.filter.Mark();
        EXPECT_EQ(s.Record(aiop::kEndGuide), 1);
        // An empty bracket, and an end without its opening, add no second guide.
        s.Record(aiop::kBeginGuide);
        s.Record(aiop::kEndGuide);
        s.Record(aiop::kEndGuide);
        EXPECT_EQ(s.filter.SinceMark(), c.written) << c.end.x;
        EXPECT_FALSE(s.filter.inGuide);
    }
}

TEST(Groups, FailedFlushIsReportedAndTheTextKept)
{
    for (unsigned short opcode : {aiop::kEndGroup, aiop::kEndComposite, aiop::kEndMask,
                                  aiop::kEndGuide, aiop::kEndLayer}) {
        ExportSession s;
        s.filter.openLayers.push_back(true);
        s.Record(aiop::kBeginGuide);
        s.filter.guideEnd = {0, 1};
        plat::SetFault(plat::kFaultWrite, 1);
        EXPECT_EQ(s.Record(opcode), 0) << opcode;
        plat::ClearFaults();
        EXPECT_GT(s.filter.bufferLength, 0u) << opcode;
    }
}
