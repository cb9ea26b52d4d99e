// Text objects: long runs and failed growth.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

namespace {

// A text record for the characters, counted; null stays null.
int SendText(ExportSession& s, const char* text)
{
    _TextData d{const_cast<char*>(text), 0,
                text != nullptr ? static_cast<std::uint32_t>(std::strlen(text)) : 0};
    return s.Record(aiop::kText, d);
}

struct FaultGuard {
    ~FaultGuard() { plat::ClearFaults(); }
};

}  // namespace

TEST(TextObject, LongTextIsWrittenWhole)
{
    // Bytes that each escape to four, the most a run can grow.
    const std::string text(40000, '\x01');
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i)
        escaped += "\\001";
    // One record, and the same text in many small appends.
    for (std::size_t piece : {text.size(), std::size_t{37}}) {
        ExportSession s;
        s.Record(aiop::kBeginText);
        s.Mark();
        for (std::size_t at = 0; at < text.size(); at += piece)
            ASSERT_EQ(SendText(s, text.substr(at, piece).c_str()), 1);
        ASSERT_EQ(s.Record(aiop::kEndText), 1);
        EXPECT_EQ(s.SinceMark(), "(" + escaped + ") Tx 1 15 Tk\nTO\n") << piece;
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
        s.Mark();
        ASSERT_EQ(SendText(s, "abc"), 1);
        plat::SetFault(plat::kFaultAllocate, nth);
        EXPECT_EQ(SendText(s, nth == 0 ? nullptr : longer.c_str()), 0) << nth;
        plat::ClearFaults();
        EXPECT_EQ(s.Record(aiop::kText, nullptr), 0);
        EXPECT_EQ(s.Record(aiop::kAppendText, nullptr), 0);
        EXPECT_EQ(s.Record(aiop::kEndText), 1);
        EXPECT_EQ(s.SinceMark(), "(abc) Tx 1 15 Tk\nTO\n") << nth;
    }
}
