// The body file's copy into the target, and the file class hosts may use.
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

TEST(OutputBuffer, CopyThroughTheBufferEqualsTheKernelCopy)
{
    // Bodies of several sizes around multiples of the buffer, copied in the
    // kernel and, where it cannot, through the buffer, arrive whole and equal.
    for (int paths : {0, 300, 700, 1500}) {
        std::string files[2];
        for (int throughBuffer : {0, 1}) {
            ExportSession s;
            for (int i = 0; i < paths; ++i)
                Box(s, i, i % 7, i + 1.5, 9.25);
            plat::SetFault(plat::kFaultCopy, throughBuffer);
            files[throughBuffer] = s.Finish();
            plat::ClearFaults();
            ASSERT_EQ(s.finishResult, 1) << paths;
        }
        EXPECT_EQ(files[1], files[0]) << paths;
        EXPECT_GT(files[0].size(), paths * 70u);
    }
}

TEST(ImportFile, ModesAndClosedFiles)
{
    TempDir dir;
    const std::string path = dir.File("f");
    AImportFile file;
    EXPECT_EQ(file.Write("x", 1), -1);  // not open
    EXPECT_EQ(file.GetLength(), 0);
    ASSERT_EQ(file.Open(path.c_str(), 259), 1);
    EXPECT_EQ(file.Write("hello", 5), 5);
    EXPECT_EQ(file.GetPosition(), 5);
    EXPECT_EQ(file.Seek(1, 0), 1);
    AImportFile copy = file;  // copies share one file and its position
    char got[4] = {};
    EXPECT_EQ(copy.Read(got, 3), 3);
    EXPECT_STREQ(got, "ell");
    EXPECT_EQ(file.GetPosition(), 4);
    file.Close();
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);  // read-only
    EXPECT_EQ(file.GetLength(), 5);
    EXPECT_EQ(file.Write("x", 1), -1);
    file.Close();
    ASSERT_EQ(file.Open(path.c_str(), 259), 1);  // create truncates
    EXPECT_EQ(file.GetLength(), 0);
    file.Close();
    EXPECT_EQ(file.Open(dir.path.c_str(), 1), 0);  // a directory is not a file
    EXPECT_EQ(file.Open(dir.File("missing").c_str(), 1), 0);
}
