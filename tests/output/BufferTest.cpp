// The body file's copy into the target, and the file class hosts may use.
#include <cerrno>
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
            ExportSession s(8.5, 11.0, true, true);
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

namespace {

// A body of some 60 KB, whose copy into the target takes many kernel calls
// of 4 KiB each.
std::string Export(ExportSession& s)
{
    for (int i = 0; i < 800; ++i)
        Box(s, i, i % 7, i + 1.5, 9.25);
    return s.Finish();
}

}  // namespace

TEST(OutputBuffer, AKernelCopyThatStopsPartWayIsFinishedByHand)
{
    ExportSession clean(8.5, 11.0, true, true);
    const std::string expected = Export(clean);
    ASSERT_EQ(clean.finishResult, 1);
    for (int error : {EXDEV, EOPNOTSUPP, EINVAL, ENOSYS}) {
        for (long call : {1, 2, 9}) {
            ExportSession s(8.5, 11.0, true, true);
            plat::SetCopyCallLimit(4096);
            plat::SetCopyCallError(error);
            plat::SetFault(plat::kFaultCopyCall, call);
            const std::string got = Export(s);
            const long calls = plat::FaultCount(plat::kFaultCopyCall);
            plat::ClearFaults();
            EXPECT_EQ(s.finishResult, 1) << error << " at call " << call;
            EXPECT_EQ(got, expected) << error << " at call " << call;
            EXPECT_GE(calls, call);
        }
    }
}

TEST(OutputBuffer, AFailedKernelCopyFailsTheEndAndKeepsTheEarlierFile)
{
    // An error of the disk, not of the kind of copy, is not papered over by
    // a copy by hand that could tear the file; the end reports it.
    for (int error : {EIO, ENOSPC}) {
        for (long call : {1, 3, 12}) {
            ExportSession s(8.5, 11.0, true, true);
            WriteFile(s.target, "earlier\n");
            plat::SetCopyCallLimit(4096);
            plat::SetCopyCallError(error);
            plat::SetFault(plat::kFaultCopyCall, call);
            Export(s);
            plat::ClearFaults();
            EXPECT_EQ(s.finishResult, 0) << error << " at call " << call;
            EXPECT_EQ(ReadFile(s.target), "earlier\n") << error << " at call " << call;
            EXPECT_EQ(s.dir.Listing(), "drawing.ai\n") << error << " at call " << call;
        }
    }
}

TEST(OutputBuffer, AFailedCopyOfTheHeadAtTheDrawingSectionLosesNothing)
{
    // The head goes into the finished file at the drawing section, copied
    // from the body file; should that copy fail, by an error of the disk or
    // of the kind of copy, the file is still the one assembled at the end.
    ExportSession clean(8.5, 11.0, true, true);
    const std::string expected = Export(clean);
    for (int error : {EIO, EXDEV}) {
        for (long call : {1, 2, 3}) {
            plat::SetCopyCallLimit(512);
            plat::SetCopyCallError(error);
            plat::SetFault(plat::kFaultCopyCall, call);
            ExportSession s;
            plat::ClearFaults();
            EXPECT_EQ(Export(s), expected) << error << " at call " << call;
            EXPECT_EQ(s.finishResult, 1) << error << " at call " << call;
            EXPECT_EQ(s.dir.Listing(), "drawing.ai\n") << error << " at call " << call;
        }
    }
}

TEST(OutputBuffer, AWriteCutShortByAFullDiskGoesOnWhereItStopped)
{
    // The disk fills part way through a flush of the body and then has room
    // again: the record that flushed fails, and the file the end writes
    // holds each byte once, in the temporary file as in the finished one.
    ExportSession clean;
    const std::string expected = Export(clean);
    for (bool assembled : {false, true}) {
        for (unsigned long part : {1ul, 100ul, 5000ul}) {
            ExportSession s(8.5, 11.0, true, assembled);
            plat::SetPartialWrite(part);
            plat::SetFault(plat::kFaultWrite, 2);
            const std::string got = Export(s);
            EXPECT_GE(plat::FaultCount(plat::kFaultWrite), 2);
            plat::ClearFaults();
            EXPECT_EQ(s.finishResult, 1) << part << " " << assembled;
            EXPECT_EQ(got, expected) << part << " " << assembled;
        }
    }
}

TEST(PlatformCopy, ShortKernelCopiesAddUpAndAShortSourceIsReported)
{
    TempDir dir;
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += std::to_string(i) + ' ';
    WriteFile(dir.File("from"), text);
    for (unsigned long limit : {0ul, 1ul, 7ul, 4096ul}) {
        const int from = plat::OpenFile(dir.File("from").c_str(), 1);
        const int to = plat::OpenFile(dir.File("to").c_str(), 259);
        ASSERT_GE(from, 0);
        ASSERT_GE(to, 0);
        plat::SetCopyCallLimit(limit);
        ASSERT_EQ(plat::SeekFile(from, 3, 0), 3);
        // More than there is: the bytes there are, no error and no padding.
        EXPECT_EQ(plat::CopyFileData(from, to, text.size()), static_cast<long>(text.size() - 3))
            << limit;
        plat::ClearFaults();
        plat::CloseFile(from);
        plat::CloseFile(to);
        EXPECT_EQ(ReadFile(dir.File("to")), text.substr(3)) << limit;
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

TEST(OutputBuffer, SmallPathsReachTheBodyInBlocksNotOneWriteEach)
{
    // Each write is a system call: a drawing of small paths must not pay one
    // per path. What the file says is the same either way (the golden files).
    ExportSession s;
    plat::ClearFaults();
    const long before = plat::FaultCount(plat::kFaultWrite);
    constexpr int kPaths = 2000;
    for (int i = 0; i < kPaths; ++i)
        ASSERT_EQ(Box(s, i, i % 7, i + 1.5, 9.25), 1);
    const long writes = plat::FaultCount(plat::kFaultWrite) - before;
    const std::string file = s.Finish();
    ASSERT_EQ(s.finishResult, 1);
    // About 70 bytes a path: some 140 KB, in blocks of several kilobytes.
    EXPECT_LT(writes, kPaths / 20) << file.size() << " bytes";
    EXPECT_GT(file.size(), kPaths * 70u);
}
