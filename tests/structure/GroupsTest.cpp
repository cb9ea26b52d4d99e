// Group, compound, mask, clip and guide brackets, and the placement matrix.
#include <cmath>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

namespace {

struct Bracket {
    unsigned short opcode;
    const char* outside;  // written outside a pattern definition
    const char* inside;   // written inside one
    bool flushes;         // outside: the text is in the body file on return
};

}  // namespace

TEST(Groups, BracketLinesInsideAndOutsidePatternDefinitions)
{
    const Bracket brackets[] = {
        {aiop::kBeginGroup, "u\n", "", false},
        {aiop::kEndGroup, "U\n", "", true},
        {aiop::kBeginComposite, "*u\n1 XR\n", "", false},
        {aiop::kEndComposite, "*U\n", "*U\n", true},
        {aiop::kBeginMask, "q\n", "q\n", false},
        {aiop::kEndMask, "Q\n", "Q\n", true},
        {aiop::kBeginClipRgn, "", "", false},
        {aiop::kEndClipRgn, "", "", false},
        {aiop::kBeginGuide, "", "", false},
    };
    for (const Bracket& b : brackets) {
        for (int inPattern : {0, 1}) {
            ExportSession s;
            s.filter.inPatternDefinition = inPattern;
            s.filter.compositeDepth = 1;  // an open compound path for EndComposite
            s.filter.Mark();
            EXPECT_EQ(s.Record(b.opcode), 1);
            EXPECT_EQ(s.filter.SinceMark(), inPattern ? b.inside : b.outside)
                << b.opcode << " in pattern " << inPattern;
            if (!inPattern && b.flushes) {
                EXPECT_EQ(s.filter.bufferLength, 0u) << b.opcode;
            }
        }
    }
}

TEST(Groups, FlagsOfClipRegionAndGuide)
{
    ExportSession s;
    s.Record(aiop::kBeginClipRgn);
    EXPECT_TRUE(s.filter.inClipRegion);
    s.Record(aiop::kEndClipRgn);
    EXPECT_FALSE(s.filter.inClipRegion);
    s.Record(aiop::kBeginGuide);
    EXPECT_TRUE(s.filter.inGuide);
    s.Record(aiop::kEndGuide);
    EXPECT_FALSE(s.filter.inGuide);
}

TEST(Groups, CompositeDepthInvalidatesTheRegionOnlyAtTheOutermostEnd)
{
    ExportSession s;
    s.Record(aiop::kBeginComposite);
    s.Record(aiop::kBeginComposite);
    EXPECT_EQ(s.filter.compositeDepth, 2);
    s.filter.regionBounds.Start(1.0, 1.0);
    s.Record(aiop::kEndComposite);
    EXPECT_EQ(s.filter.compositeDepth, 1);
    EXPECT_TRUE(s.filter.regionBounds.valid);
    s.Record(aiop::kEndComposite);
    EXPECT_EQ(s.filter.compositeDepth, 0);
    EXPECT_FALSE(s.filter.regionBounds.valid);
}

TEST(Groups, UnmatchedEndCompositeWritesItsLineButKeepsDepthAtZero)
{
    ExportSession s;
    s.filter.regionBounds.Start(1.0, 1.0);
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kEndComposite), 1);
    EXPECT_EQ(s.filter.SinceMark(), "*U\n");
    EXPECT_EQ(s.filter.compositeDepth, 0);
    // The next compound path is an outermost one again: its end closes the box.
    s.Record(aiop::kBeginComposite);
    EXPECT_EQ(s.filter.compositeDepth, 1);
    s.Record(aiop::kEndComposite);
    EXPECT_FALSE(s.filter.regionBounds.valid);
}

TEST(Groups, PictureLeftInsideACompoundPathDoesNotCarryItsDepthOver)
{
    ExportSession s;
    s.Record(aiop::kBeginComposite);
    s.Record(aiop::kBeginComposite);
    s.Finish();
    ASSERT_EQ(s.filter.exportFile(s.target.data()), 1);
    BeginPictureData picture{0, 0.0, 0.0, 8.5, 11.0};
    ASSERT_EQ(s.Record(aiop::kBeginPicture, picture), 1);
    EXPECT_EQ(s.filter.compositeDepth, 0);
}

TEST(Groups, DeferredCompoundOpeningInPatternKeepsBracketsBalanced)
{
    ExportSession s;
    s.filter.inPatternDefinition = 1;
    s.filter.Mark();
    // A compound path with no member path in the tile: no opening, no closing.
    s.Record(aiop::kBeginComposite);
    EXPECT_EQ(s.filter.compoundPending, 1);
    EXPECT_EQ(s.Record(aiop::kEndComposite), 1);
    EXPECT_EQ(s.filter.compoundPending, 0);
    EXPECT_EQ(s.filter.SinceMark(), "");

    // Two compound paths begun before the first move-to share one opening.
    s.Record(aiop::kBeginComposite);
    s.Record(aiop::kBeginComposite);
    s.filter.compoundPending = 0;  // the move-to wrote the one opening
    s.Record(aiop::kEndComposite);
    s.Record(aiop::kEndComposite);
    EXPECT_EQ(s.filter.SinceMark(), "*U\n");
    EXPECT_EQ(s.filter.compositeDepth, 0);
    EXPECT_EQ(s.filter.compoundMerged, 0);
}

namespace {

struct GuideCase {
    FilterPoint start, end;
    const char* written;
};

}  // namespace

TEST(Groups, GuideIsAnAxisLineAcrossTheFixedExtent)
{
    const GuideCase cases[] = {
        {{1, 0}, {1, 3}, "72.0000 4715.5000 m\n72.0000 -3924.5000 l\n(N) *\n"},
        {{0, 2}, {5, 2}, "-7885.0000 144.0000 m\n8498.0000 144.0000 l\n(N) *\n"},
        {{0, 0}, {1, 1}, "-7885.0000 0.0000 m\n8498.0000 0.0000 l\n(N) *\n"},
        {{-0.5, 1}, {-0.5, 1 + 1e-9}, ""},
        {{1, 1}, {1, 1}, ""},
    };
    for (const GuideCase& c : cases) {
        ExportSession s;
        s.Record(aiop::kBeginGuide);
        s.filter.guideStart = c.start;
        s.filter.guideEnd = c.end;
        s.filter.Mark();
        EXPECT_EQ(s.Record(aiop::kEndGuide), 1);
        EXPECT_EQ(s.filter.SinceMark(), c.written) << c.start.x << "," << c.start.y;
        EXPECT_FALSE(s.filter.inGuide);
        if (*c.written != '\0') {
            EXPECT_EQ(s.filter.bufferLength, 0u);
        }
    }
}

TEST(Groups, EmptyGuideBracketDoesNotRepeatTheLastGuide)
{
    ExportSession s;
    s.Record(aiop::kBeginGuide);
    s.filter.guideStart = {1, 0};
    s.filter.guideEnd = {1, 3};
    s.Record(aiop::kEndGuide);
    s.filter.Mark();
    s.Record(aiop::kBeginGuide);
    s.Record(aiop::kEndGuide);
    s.Record(aiop::kEndGuide);  // and one without its opening
    EXPECT_EQ(s.filter.SinceMark(), "");
}

TEST(Groups, HugeAndNonFiniteGuidePointsStayWithinTheBuffer)
{
    const double nan = std::nan("");
    const GuideCase cases[] = {
        {{-1e300, 2}, {-1e300, -1e300}, nullptr},  // vertical, ~300 digits
        {{nan, 2}, {nan, 3}, nullptr},              // no direction: horizontal
        {{1, HUGE_VAL}, {4, HUGE_VAL}, nullptr},
    };
    for (const GuideCase& c : cases) {
        ExportSession s;
        s.Record(aiop::kBeginGuide);
        s.filter.guideStart = c.start;
        s.filter.guideEnd = c.end;
        s.filter.Mark();
        EXPECT_EQ(s.Record(aiop::kEndGuide), 1);
        const std::string text = s.filter.SinceMark();
        EXPECT_EQ(text.find("inf"), std::string::npos) << text;
        EXPECT_EQ(text.find("nan"), std::string::npos) << text;
        ASSERT_GE(text.size(), 6u);
        EXPECT_EQ(text.substr(text.size() - 6), "(N) *\n");
    }
}

TEST(Groups, FailedFlushIsReportedAfterTheStateChanged)
{
    for (unsigned short opcode : {aiop::kEndGroup, aiop::kEndComposite, aiop::kEndMask,
                                  aiop::kEndGuide}) {
        ExportSession s;
        s.filter.compositeDepth = 1;
        s.Record(aiop::kBeginGuide);
        s.filter.guideEnd = {0, 1};
        plat::SetFault(plat::kFaultWrite, 1);
        EXPECT_EQ(s.Record(opcode), 0) << opcode;
        plat::ClearFaults();
        EXPECT_GT(s.filter.bufferLength, 0u) << opcode;  // the text waits in the buffer
        if (opcode == aiop::kEndComposite) {
            EXPECT_EQ(s.filter.compositeDepth, 0);
        }
        if (opcode == aiop::kEndGuide) {
            EXPECT_FALSE(s.filter.inGuide);
        }
    }
}

TEST(Groups, SetMatrixStoresCAndDNegated)
{
    ExportSession s;
    EXPECT_EQ(s.Record(aiop::kSetMatrix, SetMatrixData{1, 2, 3, 4, 5, 6}), 1);
    const double want[6] = {1, 2, -3, -4, 5, 6};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(s.filter.graphicsState.matrix[i], want[i]) << i;
    EXPECT_EQ(s.filter.SetMatrix(nullptr), 0);
}
