// The output buffer: growth, flushing and the chunked copy into the target.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

TEST(OutputBuffer, GrowsByDoublingAndKeepsTheText)
{
    FilterProbe f;
    ASSERT_EQ(f.bufferSize, 16384u);
    ASSERT_EQ(f.Append("keep"), 1);
    ASSERT_EQ(f.ExpendBufferSize(), 1);
    EXPECT_EQ(f.bufferSize, 32768u);
    EXPECT_STREQ(f.buffer, "keep");
    plat::SetFault(plat::kFaultAllocate, 1);
    EXPECT_EQ(f.ExpendBufferSize(), 0);
    plat::ClearFaults();
    EXPECT_EQ(f.bufferSize, 32768u);
    EXPECT_STREQ(f.buffer, "keep");
}

TEST(OutputBuffer, EmptyFlushSucceedsWithoutAFile)
{
    FilterProbe f;
    EXPECT_EQ(f.WriteBufferToExportFile(0), 1);
    EXPECT_EQ(f.WriteBufferToExportFile(1), 1);
    ASSERT_EQ(f.Append("x"), 1);
    EXPECT_EQ(f.WriteBufferToExportFile(0), 0);  // no body file: the text stays
    EXPECT_EQ(f.bufferLength, 1u);
}

TEST(OutputBuffer, CopyMovesWholeBuffersAndTheRest)
{
    // Body sizes at, around and at multiples of the buffer size all arrive
    // whole, copied in the kernel or, where it cannot, through the buffer.
    for (bool throughBuffer : {false, true})
    for (unsigned size : {16384u, 16383u, 16385u, 3u * 16384u}) {
        ExportSession s;
        plat::ClearFaults();
        if (throughBuffer)
            plat::SetFault(plat::kFaultCopy, 1);
        const std::string head = s.filter.Written();
        std::string pattern;
        for (unsigned i = 0; i < size; ++i)
            pattern += static_cast<char>('a' + i % 26);
        ASSERT_EQ(s.filter.WriteBufferToExportFile(0), 1);
        ASSERT_EQ(s.filter.tempFile.Write(pattern.data(), pattern.size()),
                  static_cast<long>(pattern.size()));
        ASSERT_EQ(s.filter.OpenTargetSibling(), 1);
        ASSERT_EQ(s.filter.tempFile.SeekToBegin(), 0);
        const unsigned total = static_cast<unsigned>(head.size() + size);
        ASSERT_EQ(s.filter.CopyTempToExport(total), 1) << size;
        EXPECT_EQ(plat::FaultCount(plat::kFaultCopy), 1);
        plat::ClearFaults();
        ASSERT_EQ(s.filter.CommitTarget(), 1);
        EXPECT_EQ(ReadFile(s.target), head + pattern) << size;
    }
}

TEST(OutputBuffer, CopyFailsOnAShortBody)
{
    ExportSession s;
    ASSERT_EQ(s.filter.WriteBufferToExportFile(0), 1);
    ASSERT_EQ(s.filter.OpenTargetSibling(), 1);
    ASSERT_EQ(s.filter.tempFile.SeekToBegin(), 0);
    const long length = s.filter.tempFile.GetLength();
    EXPECT_EQ(s.filter.CopyTempToExport(static_cast<unsigned>(length) + 1), 0);
    EXPECT_EQ(s.filter.bufferLength, 0u);
    EXPECT_EQ(s.filter.buffer[0], '\0');
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

TEST(OutputBuffer, RealsLineGrowsOnlyForALineThatDoesNotFit)
{
    // Filled to 32 bytes below the size: an ordinary line fits as it is, a
    // line of huge numbers grows the buffer just enough, a failed growth
    // writes nothing.
    struct Case {
        double value;
        bool grows;
        bool allocationFails;
    };
    const Case cases[] = {{123.45678, false, false}, {-9999.99995, false, false},
                          {1e300, true, false}, {1e300, true, true}};
    for (const Case& c : cases) {
        FilterProbe f;
        const std::string padding(f.bufferSize - 32, '%');
        ASSERT_EQ(f.Append(padding.c_str()), 1);
        const double point[2] = {c.value, -c.value};
        char want[2 * kMaxRealToken + 4];
        unsigned n = FilterProbe::FloatToString(want, point[0]);
        n += FilterProbe::FloatToString(want + n, point[1]);
        std::memcpy(want + n, "l\n", 3);
        if (c.allocationFails)
            plat::SetFault(plat::kFaultAllocate, 1);
        const int result = f.AppendRealsLine(point, 2, "l\n");
        plat::ClearFaults();
        EXPECT_EQ(result, c.allocationFails ? 0 : 1) << c.value;
        EXPECT_EQ(f.bufferSize > 16384u, c.grows && !c.allocationFails) << c.value;
        const std::string tail(f.buffer + padding.size());
        EXPECT_EQ(tail, c.allocationFails ? std::string() : std::string(want)) << c.value;
        EXPECT_EQ(f.bufferLength, padding.size() + tail.size()) << c.value;
    }
}

TEST(OutputBuffer, ALongPathStreamsThroughTheBufferWithoutGrowingIt)
{
    // Every flush margin is passed many times; the lines go to the body file
    // on the way instead of piling up in an ever larger buffer.
    ExportSession s;
    BeginDrawingSectionData section{8.5, 11};
    ASSERT_EQ(s.Record(aiop::kBeginDrawingSection, section), 1);
    ASSERT_EQ(s.Record(aiop::kBeginPath), 1);
    ASSERT_EQ(s.Record(aiop::kMoveTo, MoveToData{1, 1}), 1);
    for (int i = 0; i < 20000; ++i) {
        const double v = 1.0 + i / 7200.0;
        if (i % 2 == 0) {
            ASSERT_EQ(s.Record(aiop::kLineTo, LineToData{v, 2.0}), 1);
        } else {
            ASSERT_EQ(s.Record(aiop::kCurveTo, CurveToData{v, 1.0, v, 3.0, v, 2.0}), 1);
        }
        ASSERT_EQ(s.filter.bufferSize, 16384u) << i;
    }
    EXPECT_GT(s.filter.tempFile.GetLength(), 400000);
}
