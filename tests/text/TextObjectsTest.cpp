// Text objects: the bracket, the text path block, render modes and the run rule.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "text/TextSupport.h"

namespace plat = aiexport_platform;

namespace {

struct FaultGuard {
    ~FaultGuard() { plat::ClearFaults(); }
};

}  // namespace

TEST(TextObject, RunsBreakBeforeTheFirstChangedValueOnly)
{
    using Step = std::function<void(ExportSession&)>;
    auto charAttr = [](std::function<void(SetCharAttrData&)> change) {
        return [change](ExportSession& s) {
            SetCharAttrData d = CharAttr();
            change(d);
            s.Record(aiop::kSetCharAttr, d);
        };
    };
    auto textAttr = [](std::function<void(SetTextAttrData&)> change) {
        return [change](ExportSession& s) {
            SetTextAttrData d = TextAttr();
            change(d);
            s.Record(aiop::kSetTextAttr, d);
        };
    };
    const std::string a = "(A) Tx 1 15 Tk\n";
    const std::string b = "(B) Tx 1 15 Tk\n";
    const std::string joined = "(AB) Tx 1 15 Tk\n";
    struct Case {
        const char* what;
        Step step;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"nothing", [](ExportSession&) {}, joined},
        {"same attributes",
         [](ExportSession& s) {
             s.Record(aiop::kSetCharAttr, CharAttr());
             s.Record(aiop::kSetTextAttr, TextAttr());
             s.Record(aiop::kSetTextTracking, 0.0);
             s.Record(aiop::kSetTextScale, SetTextScaleData{1.0, 1.0});
             s.Record(aiop::kSetTextVerOffset, 0.0);
             s.Record(aiop::kSetTextMatrix, UnitMatrix());
         },
         joined},
        {"two values in one gap",
         charAttr([](SetCharAttrData& d) {
             d.charSpacing = 0.05;
             d.wordSpacing = 0.05;
             d.horizontalScale = 0.8;
         }),
         a + "5.0000 5.0000 5.0000 TC\n105.0000 105.0000 105.0000 TW\n0 Tc\n0 Tw\n"
             "80.0000 100 Tz\n" + b},
        {"attributeWordA", charAttr([](SetCharAttrData& d) { d.attributeWordA = 1; }), a + b},
        {"attributeWordB", charAttr([](SetCharAttrData& d) { d.attributeWordB = 1; }), a + b},
        {"attributeValueC", charAttr([](SetCharAttrData& d) { d.attributeValueC = 1; }), a + b},
        {"attributeValueD", charAttr([](SetCharAttrData& d) { d.attributeValueD = 2; }), a + b},
        {"alignment", textAttr([](SetTextAttrData& d) { d.alignment = 2; }), a + "2 Ta\n" + b},
        {"paragraphWordB", textAttr([](SetTextAttrData& d) { d.paragraphWordB = 1; }), a + b},
        {"paragraphWordC", textAttr([](SetTextAttrData& d) { d.paragraphWordC = 1; }), a + b},
        {"paragraphWordD", textAttr([](SetTextAttrData& d) { d.paragraphWordD = 1; }), a + b},
        {"paragraphWordE", textAttr([](SetTextAttrData& d) { d.paragraphWordE = 1; }),
         a + "24.0000 0.0000 Tl\n" + b},
        {"leading", textAttr([](SetTextAttrData& d) { d.paragraphLeading = 6; }),
         a + "24.0000 6.0000 Tl\n" + b},
        {"vertical offset", [](ExportSession& s) { s.Record(aiop::kSetTextVerOffset, 0.5); },
         a + b},
        {"matrix", [](ExportSession& s) { s.Record(aiop::kSetTextMatrix, UnitMatrix(0, 1)); },
         a + "1.0000 0.0000 0.0000 1.0000 0.0000 72.0000 0 Tp\n0 Tv\nTP\n0 Tr\n" + b},
        {"a string after the written run joins the next",
         [](ExportSession& s) {
             s.Record(aiop::kSetTextTracking, 50.0);
             SendText(s, "C");
         },
         a + "50.0000 Tt\n(CB) Tx 1 15 Tk\n"},
        {"records without output",
         [](ExportSession& s) {
             for (unsigned short op : {aiop::kGlyph, aiop::kSetArcTextAttr, aiop::kSetText,
                                       aiop::kSetGlyphMatrix, aiop::kSetLineRun,
                                       aiop::kSetLineRunMatrix, aiop::kSetDirRun,
                                       aiop::kSetJustRun, aiop::kSetKernRun, aiop::kSetParaRun,
                                       aiop::kSetFontRun})
                 ASSERT_EQ(s.Record(op), 1) << op;
         },
         joined},
    };
    for (const Case& c : cases) {
        ExportSession s;
        s.Record(aiop::kBeginText);
        s.filter.Mark();
        SendText(s, "A");
        c.step(s);
        SendText(s, "B");
        ASSERT_EQ(s.Record(aiop::kEndText), 1) << c.what;
        EXPECT_EQ(s.filter.SinceMark(), c.written + "TO\n") << c.what;
    }
}

TEST(TextObject, LongTextIsWrittenWhole)
{
    // Every byte value, so the escaped run is up to four times the text.
    std::string text;
    while (text.size() < 40000)
        for (int c = 1; c < 256; ++c)
            text += static_cast<char>(c);
    std::string escaped(4 * text.size() + 1, '\0');
    escaped.resize(FilterProbe::StringToStandardExportString(escaped.data(), text.c_str()));

    // One record, and the same text in many small appends.
    for (std::size_t piece : {text.size(), std::size_t{37}}) {
        ExportSession s;
        s.Record(aiop::kBeginText);
        s.filter.Mark();
        for (std::size_t at = 0; at < text.size(); at += piece) {
            const std::string part = text.substr(at, piece);
            ASSERT_EQ(SendText(s, part.c_str()), 1);
        }
        EXPECT_EQ(s.filter.textState.pendingLength, text.size());
        EXPECT_GT(s.filter.textState.pendingString.Capacity(), text.size());
        EXPECT_GE(s.filter.textWorkArea.Capacity(), 4 * text.size() + 1);
        ASSERT_EQ(s.Record(aiop::kEndText), 1);
        EXPECT_EQ(s.filter.SinceMark(), "(" + escaped + ") Tx 1 15 Tk\nTO\n") << piece;
    }
}

TEST(TextObject, FailedGrowthOrNullCharactersKeepTheCollectedText)
{
    FaultGuard guard;
    const std::string longer(300, 'x');
    // The first allocation grows the string, the second the work area; 0 is no fault.
    for (long nth : {0, 1, 2}) {
        ExportSession s;
        s.Record(aiop::kBeginText);
        s.filter.Mark();
        ASSERT_EQ(SendText(s, "abc"), 1);
        plat::SetFault(plat::kFaultAllocate, nth);
        EXPECT_EQ(SendText(s, nth == 0 ? nullptr : longer.c_str()), 0) << nth;
        plat::ClearFaults();
        EXPECT_EQ(s.Record(aiop::kText, nullptr), 0);
        EXPECT_EQ(s.Record(aiop::kAppendText, nullptr), 0);
        EXPECT_EQ(s.Record(aiop::kEndText), 1);
        EXPECT_EQ(s.filter.SinceMark(), "(abc) Tx 1 15 Tk\nTO\n") << nth;
    }
}

TEST(TextObject, FailedRunFlushEndsTheObjectWithoutTO)
{
    FaultGuard guard;
    ExportSession s;
    s.Record(aiop::kBeginText);
    SendText(s, "abc");
    // Leave less headroom than a run needs, so writing it flushes.
    s.filter.WriteBufferToExportFile(0);
    s.filter.Append(std::string(s.filter.bufferSize - 100, ' ').c_str());
    plat::SetFault(plat::kFaultWrite, 1);
    EXPECT_EQ(s.Record(aiop::kEndText), 0);
    plat::ClearFaults();
    const std::string run = "(abc) Tx 1 15 Tk\n";
    // The run stays in the buffer for a later flush; TO is not written.
    EXPECT_EQ(std::string(s.filter.buffer + s.filter.bufferLength - run.size()), run);
    EXPECT_TRUE(s.filter.textStarted);
}
