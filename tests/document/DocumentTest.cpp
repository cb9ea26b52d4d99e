// The document skeleton: header, comments, setup, trailer and their marks.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace {

class Document : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("SOURCE_DATE_EPOCH", "0", 1); }
};

}  // namespace

TEST_F(Document, TitleIsOneStringOnOneLineAndCreationDateIsUniversal)
{
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);  // 2023-11-14 22:13:20 UTC
    ::setenv("TZ", "Asia/Tokyo", 1);                 // already the 15th there
    ::tzset();
    const struct {
        const char* name;
        const char* title;
    } cases[] = {{"(a)b.ai", "%%Title: ((a)b.ai) \n"},
                 {"a)b.ai", "%%Title: (a\\)b.ai) \n"},
                 {"new\nline.ai", "%%Title: (new\\rline.ai) \n"}};
    for (const auto& c : cases) {
        TempDir dir;
        FilterProbe filter;
        std::string target = dir.File(c.name);
        ASSERT_EQ(filter.exportFile(target.data()), 1) << c.name;
        BeginPictureData picture{0, 0, 0, 1, 1};
        ASSERT_EQ(filter.writeData(aiop::kBeginPicture, &picture), 1);
        const std::string body = filter.Written();
        EXPECT_NE(body.find(c.title), std::string::npos) << body;
        EXPECT_NE(body.find("%%CreationDate: (11/14/2023) (22:13:20) \n"), std::string::npos);
    }
    ::unsetenv("TZ");
    ::tzset();
}

TEST_F(Document, EndWithoutDrawingSectionClosesTheSetupItself)
{
    // A picture that never sent 2052: the setup closes where the body stands,
    // and the art size is the picture's own, not an earlier picture's.
    {
        ExportSession earlier(20.0, 30.0);
        earlier.Finish();
    }
    ExportSession s(8.5, 11.0, false);
    const std::string file = s.Finish();
    ASSERT_EQ(s.finishResult, 1);
    EXPECT_NE(file.find("%AI5_ArtSize: 612 792 \n"), std::string::npos);
    EXPECT_NE(file.find("Adobe_Illustrator_AI5 /initialize get exec\n%%EndSetup\n%%PageTrailer\n"),
              std::string::npos);
}
