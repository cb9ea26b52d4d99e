// Placed EPS files and linked TIFF files: the objects written and the header reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace {

struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, field;
};

// A TIFF file as the reader sees it: header, the extra values at offset 8,
// then the first directory.
std::string Tiff(bool little, const std::vector<Entry>& entries,
                 const std::vector<std::uint16_t>& extra = {})
{
    std::string t = little ? "II" : "MM";
    auto put = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            t += static_cast<char>(v >> 8 * (little ? i : n - 1 - i));
    };
    put(42, 2);
    put(static_cast<std::uint32_t>(8 + 2 * extra.size()), 4);
    for (std::uint16_t v : extra)
        put(v, 2);
    put(static_cast<std::uint32_t>(entries.size()), 2);
    for (const Entry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        if (e.type == 3 && e.count <= 2) {
            put(e.field, 2);
            put(0, 2);
        } else {
            put(e.field, 4);
        }
    }
    put(0, 4);  // no further directory
    return t;
}

// 640 by 480 RGB, eight bits in each of three samples stored at offset 8.
const std::vector<Entry> kRgb = {
    {256, 3, 1, 640}, {257, 4, 1, 480}, {258, 3, 3, 8}, {262, 3, 1, 2}};
const std::vector<std::uint16_t> kRgbBits = {8, 8, 8};

PathBitmapData Link(const std::string& path, unsigned short fileType = 1)
{
    PathBitmapData d{};
    std::memcpy(d.filePath, path.c_str(), std::min(path.size(), sizeof d.filePath));
    d.fileType = fileType;
    d.placeX = 1;
    d.placeY = 2;
    d.placeWidth = 3;
    d.placeHeight = 1.5;
    d.placeScale = 1;
    return d;
}

// "1: width height bits type" as a linked file's object states them, or "0: "
// and what was written when the record failed.
std::string Facts(ExportSession& s, const std::string& path, unsigned short fileType = 1)
{
    s.Mark();
    const int ok = s.Record(aiop::kPathBitmap, Link(path, fileType));
    const std::string text = s.SinceMark();
    const std::size_t end = text.rfind(" 0 0 0 0 XF\n");
    if (ok != 1 || end == std::string::npos)
        return std::to_string(ok) + ": " + text;
    std::size_t at = end;
    for (int i = 0; i < 4; ++i)
        at = text.rfind(' ', at - 1);
    return "1: " + text.substr(at + 1, end - at - 1);
}

}  // namespace

TEST(PlacedFiles, HeaderFactsFromTheFirstDirectory)
{
    struct Case {
        std::vector<Entry> entries;
        std::vector<std::uint16_t> extra;
        const char* facts;
    };
    const Case cases[] = {
        {{{256, 4, 1, 70000}, {257, 3, 1, 3}, {262, 3, 1, 5}}, {}, "1: 70000 3 0 4"},
        {{{258, 3, 1, 1}, {262, 3, 1, 3}}, {}, "1: 0 0 1 1"},
        {{{262, 3, 1, 0}, {258, 3, 2, 8}}, {}, "1: 0 0 8 1"},  // grey with alpha: two inline SHORTs
        {{{258, 4, 1, 16}, {262, 4, 1, 2}}, {}, "1: 0 0 16 3"},  // single LONGs
        {{{259, 3, 1, 5}, {258, 3, 4, 8}}, {16, 16, 16, 16}, "1: 0 0 16 0"},
        {{}, {}, "1: 0 0 0 0"},
    };
    ExportSession s;
    int n = 0;
    for (bool little : {true, false}) {
        for (const Case& c : cases) {
            // A file's facts are kept for the picture: each case has its own.
            const std::string path = s.dir.File(std::to_string(++n) + ".tif");
            WriteFile(path, Tiff(little, c.entries, c.extra));
            EXPECT_EQ(Facts(s, path), c.facts) << little;
        }
    }
}

TEST(PlacedFiles, BadOrShortTiffWritesNothing)
{
    ExportSession s;
    const std::string good = Tiff(true, kRgb, kRgbBits);
    auto patched = [&](std::size_t at, const std::string& bytes) {
        return good.substr(0, at) + bytes + good.substr(at + bytes.size());
    };
    const std::string bad[] = {
        patched(0, "IM"),
        patched(2, "+"),
        patched(4, "\xFF\xFF\xFF\xFF"),
        patched(4, std::string(1, static_cast<char>(good.size() - 1)) + std::string(3, '\0')),
        patched(14, "\xFF\xFF"),  // entry count beyond the file
        Tiff(true, {{258, 3, 3, 0xFFFFFFF0u}}),
        Tiff(true, {{258, 3, 3, 25}}),  // bits one byte short of the end
    };
    std::vector<std::string> files(std::begin(bad), std::end(bad));
    // Every prefix of a good file short of its directory's last entry.
    const std::size_t needed = good.size() - 4;
    for (std::size_t n = 0; n < needed; ++n)
        files.push_back(good.substr(0, n));
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string path = s.dir.File("bad" + std::to_string(i) + ".tif");
        WriteFile(path, files[i]);
        EXPECT_EQ(Facts(s, path), "0: ") << i;
        EXPECT_EQ(Facts(s, path), "0: ") << i << ", named again";
    }
    WriteFile(s.dir.File("bad.tif"), good.substr(0, needed));
    EXPECT_EQ(Facts(s, s.dir.File("bad.tif")), "1: 640 480 8 3");
    // Other file types, a missing file, a FIFO, a directory and a failing read.
    EXPECT_EQ(Facts(s, s.dir.File("bad.tif"), 2), "0: ");
    EXPECT_EQ(Facts(s, s.dir.File("none.tif")), "0: ");
    EXPECT_EQ(Facts(s, s.dir.path), "0: ");
    WriteFile(s.dir.File("read.tif"), good);
    for (int read = 1; read <= 3; ++read) {
        ExportSession fresh;
        aiexport_platform::SetFault(aiexport_platform::kFaultRead, read);
        EXPECT_EQ(fresh.Record(aiop::kPathBitmap, Link(s.dir.File("read.tif"))), 0) << read;
        aiexport_platform::ClearFaults();
    }
}

TEST(PlacedFiles, FullPathArraysAreEscapedWholeAndReadNoFurther)
{
    ExportSession s;
    PathPostscriptData eps{};
    std::memset(eps.filePath, '\\', sizeof eps.filePath);
    eps.placeX = 1.1;  // its first byte is not 0, so a read past the array would show
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kPathPostscript, eps), 1);
    EXPECT_NE(s.SinceMark().find("\n(" + std::string(516, '\\') + ") `\n%%" +
                                 std::string(258, '\\') + "\n~\n"),
              std::string::npos);

    std::string path = s.dir.File("");
    path += std::string(sizeof PathBitmapData::filePath - path.size(), 'n');
    WriteFile(path, Tiff(false, kRgb, kRgbBits));
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kPathBitmap, Link(path)), 1);  // no NUL; fileType follows the array
    EXPECT_NE(s.SinceMark().find("(" + path + ")  1 XG\n"), std::string::npos);

    // A name that would end the string early is escaped like every other string.
    WriteFile(s.dir.File("a)b.tif"), Tiff(false, kRgb, kRgbBits));
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kPathBitmap, Link(s.dir.File("a)b.tif"))), 1);
    EXPECT_NE(s.SinceMark().find("(" + s.dir.path + "/a\\)b.tif)  1 XG\n"), std::string::npos);
}

TEST(PlacedFiles, AFifoOrDeviceIsRefusedWithoutWaiting)
{
    ExportSession s;
    const std::string fifo = s.dir.File("fifo.tif");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // An open that waits for a writer would never return: the test gives
    // the record a writer after a while, so it fails instead of hanging.
    auto record = std::async(std::launch::async, [&] { return Facts(s, fifo); });
    if (record.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        ADD_FAILURE() << "the open of a FIFO waited for a writer";
        record.wait();
        if (writer >= 0)
            ::close(writer);
    }
    EXPECT_EQ(record.get(), "0: ");
    EXPECT_EQ(Facts(s, "/dev/zero"), "0: ");
}

TEST(PlacedFiles, ReadsOfADirectoryDoNotGrowWithItsLengthAndComeOncePerPicture)
{
    // Reads of the linked file for the first record naming it, and for three more.
    auto reads = [](std::size_t padding) {
        std::vector<Entry> entries(padding, Entry{305, 2, 1, 0});  // tags the reader skips
        entries.insert(entries.end(), kRgb.begin(), kRgb.end());
        ExportSession s;
        const std::string path = s.dir.File("t.tif");
        WriteFile(path, Tiff(true, entries, kRgbBits));
        EXPECT_EQ(Facts(s, path), "1: 640 480 8 3");
        namespace plat = aiexport_platform;
        // The next picture reads the file afresh.
        EXPECT_EQ(s.NextPicture(), 1);
        plat::ClearFaults();
        EXPECT_EQ(s.Record(aiop::kPathBitmap, Link(path)), 1);
        const long first = plat::FaultCount(plat::kFaultRead);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(s.Record(aiop::kPathBitmap, Link(path)), 1);
        const long again = plat::FaultCount(plat::kFaultRead) - first;
        return std::make_pair(first, again);
    };
    const auto small = reads(1000);
    const auto large = reads(4000);
    EXPECT_EQ(small.first, large.first);
    EXPECT_LE(small.first, 4);
    EXPECT_EQ(small.second, 0);
    EXPECT_EQ(large.second, 0);
}
