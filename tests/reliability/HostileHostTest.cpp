// Hosts that break the rules: records out of order, open-ended names, non-finite numbers.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "reliability/EveryRecord.h"
#include "reliability/RecordCatalog.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;
using reliability::PayloadShape;

namespace {

const char kEarlier[] = "the user's earlier drawing\n";

class HostileHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("SOURCE_DATE_EPOCH", "0", 1);
        ::setenv("TMPDIR", tmp.path.c_str(), 1);
        plat::ClearFaults();
        target = out.File("drawing.ai");
        WriteFile(target, kEarlier);
        WriteFile(files.File("linked.tif"), reliability::SmallTiff());
    }
    void TearDown() override { ::unsetenv("TMPDIR"); }

    int Export(AHostExportFilter& f)
    {
        std::string path = target;
        return f.exportFile(path.data());
    }

    // Record 17 and what must hold after it, whatever came before.
    void End(AHostExportFilter& f, const std::string& what, int want = -1)
    {
        const int end = f.writeData(aiop::kEndPicture, nullptr);
        const std::string now = ReadFile(target);
        if (want >= 0) {
            EXPECT_EQ(end, want) << what;
        }
        if (end == 1) {
            EXPECT_EQ(reliability::DocumentFault(now), "") << what;
            earlier = now;
        } else {
            EXPECT_EQ(end, 0) << what;
            EXPECT_EQ(now, earlier) << what << ": record 17 failed and the earlier file changed";
        }
        EXPECT_EQ(tmp.Listing(), "") << what;
        EXPECT_EQ(out.Listing(), "drawing.ai\n") << what;
    }

    static void Picture(AHostExportFilter& f)
    {
        BeginPictureData picture{0, 0, 0, 8.5, 11};
        f.writeData(aiop::kBeginPicture, &picture);
    }
    static void Section(AHostExportFilter& f)
    {
        BeginDrawingSectionData section{8.5, 11};
        f.writeData(aiop::kBeginDrawingSection, &section);
    }
    static void Square(AHostExportFilter& f)
    {
        f.writeData(aiop::kBeginPath, nullptr);
        MoveToData m{1, 1};
        f.writeData(aiop::kMoveTo, &m);
        for (LineToData l : {LineToData{2, 1}, LineToData{2, 2}, LineToData{1, 2}})
            f.writeData(aiop::kLineTo, &l);
        f.writeData(aiop::kClosePath, nullptr);
        f.writeData(aiop::kEndPath, nullptr);
    }

    TempDir tmp;
    TempDir out;
    TempDir files;
    std::string target;
    std::string earlier = kEarlier;
};

}  // namespace

TEST_F(HostileHost, PicturesWithoutTheirOpeningRecords)
{
    {
        AAIExportFilter f;  // record 17 without 16 fails and keeps the earlier file
        ASSERT_EQ(Export(f), 1);
        End(f, "17 without 16", 0);
    }
    {
        AAIExportFilter f;  // drawing before record 16 does not spoil the picture
        ASSERT_EQ(Export(f), 1);
        Square(f);
        char text[] = "early";
        _TextData t{text, 0, 5};
        f.writeData(aiop::kText, &t);
        Picture(f);
        Section(f);
        Square(f);
        End(f, "drawing before 16", 1);
        EXPECT_EQ(earlier.find("early"), std::string::npos);
    }
    {
        AAIExportFilter f;  // a picture without record 2052 still ends sound
        ASSERT_EQ(Export(f), 1);
        Picture(f);
        Square(f);
        End(f, "no 2052");
    }
    {
        AAIExportFilter f;  // 16 twice and exportFile twice: the second of each counts
        ASSERT_EQ(Export(f), 1);
        ASSERT_EQ(Export(f), 1);
        Picture(f);
        Square(f);
        Picture(f);
        Section(f);
        Section(f);
        Square(f);
        End(f, "16 twice", 1);
    }
    {
        AAIExportFilter f;  // no target at all: nothing may appear anywhere
        Picture(f);
        Section(f);
        Square(f);
        EXPECT_EQ(f.writeData(aiop::kEndPicture, nullptr), 0);
        EXPECT_EQ(ReadFile(target), earlier);
        EXPECT_EQ(tmp.Listing(), "");
    }
}

TEST_F(HostileHost, NamesWithoutTerminatorAreReadWithinTheirArrays)
{
    // Each name fills its array with one letter and no NUL. Sent once in a
    // block of exactly the payload's size (a read past it is caught by the
    // address sanitizer) and once followed by more of the same letter (a
    // read past it shows as a longer run of the letter in the file).
    struct Named {
        unsigned short opcode;
        std::size_t size;
        std::size_t offset;
        std::size_t length;
        char letter;
    };
    const Named kNamed[] = {
        {aiop::kDefineLayer, sizeof(DefLayerData), offsetof(DefLayerData, name), 256, 'A'},
        {aiop::kSetColorDef, sizeof(SetColorDefData), offsetof(SetColorDefData, name), 64, 'B'},
        {aiop::kSetGradientDef, sizeof(SetGradientDefData), 2, 64, 'C'},
        {aiop::kSetPatternDef, sizeof(SetPatternDefData), 2, 64, 'D'},
        {aiop::kSetFillColorByName, sizeof(NAME_TAG), 2, 64, 'B'},
        {aiop::kSetStrokeColorByName, sizeof(NAME_TAG), 2, 64, 'B'},
        {aiop::kSetFillTypeName, sizeof(SetFillTypeNameData), 4, 64, 'C'},
        {aiop::kSetCharAttr, sizeof(SetCharAttrData), offsetof(SetCharAttrData, faceName), 64, 'E'},
        {aiop::kSetCharAttr, sizeof(SetCharAttrData), offsetof(SetCharAttrData, styleName), 64,
         'F'},
        {aiop::kPathPostscript, sizeof(PathPostscriptData), 0, 258, 'G'},
        {aiop::kPathBitmap, sizeof(PathBitmapData), 0, 258, 'H'},
    };
    for (bool padded : {false, true}) {
        AAIExportFilter f;
        ASSERT_EQ(Export(f), 1);
        Picture(f);
        auto send = [&](const Named& n, bool drawing) {
            std::vector<char> block(n.size + (padded ? 300 : 0), n.letter);
            std::memset(block.data(), 0, n.size);
            std::memset(block.data() + n.offset, n.letter, n.length);
            if (n.opcode == aiop::kSetCharAttr) {  // lengths that claim more than the array
                std::uint16_t claim = 0xFFFF;
                std::memcpy(block.data(), &claim, 2);
                std::memcpy(block.data() + offsetof(SetCharAttrData, styleNameLength), &claim, 2);
                double size = 12;
                std::memcpy(block.data() + offsetof(SetCharAttrData, fontSize), &size, 8);
            }
            if (n.opcode == aiop::kSetFillTypeName && drawing) {
                std::uint16_t gradient = 2;
                std::memcpy(block.data(), &gradient, 2);
            }
            if (n.opcode == aiop::kPathBitmap) {
                std::uint16_t tiff = 1;
                std::memcpy(block.data() + offsetof(PathBitmapData, fileType), &tiff, 2);
            }
            f.writeData(n.opcode, block.data());
        };
        for (const Named& n : kNamed)
            send(n, false);
        Section(f);
        std::vector<char> layer(257, 'A');
        layer.back() = '\0';  // a pointer-only name: the host's NUL is all there is
        f.writeData(aiop::kBeginLayer, layer.data());
        f.writeData(aiop::kBeginText, nullptr);
        for (const Named& n : kNamed)
            send(n, true);
        char text[] = "x";
        _TextData t{text, 0, 1};
        f.writeData(aiop::kText, &t);
        f.writeData(aiop::kEndText, nullptr);
        Square(f);
        f.writeData(aiop::kEndLayer, nullptr);
        End(f, padded ? "padded" : "exact");
        for (const Named& n : kNamed) {
            const std::string longer(n.length + 1, n.letter);
            EXPECT_EQ(earlier.find(longer), std::string::npos)
                << "read past the name of record " << n.opcode;
        }
    }
}

TEST_F(HostileHost, NumbersThatAreNotFiniteNeverReachTheFile)
{
    const double kValues[] = {std::numeric_limits<double>::quiet_NaN(),
                              -std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              DBL_MAX,
                              -DBL_MAX,
                              1e300,
                              DBL_TRUE_MIN,
                              -0.0};
    for (double v : kValues) {
        const std::string what = "value " + std::to_string(v);
        AAIExportFilter f;
        ASSERT_EQ(Export(f), 1);
        // Every double of every record is v; the rest of each payload is
        // zero, so names are empty and models are RGB.
        auto send = [&](const reliability::RecordShape& record) {
            std::vector<unsigned char> block(record.size, 0);
            for (std::size_t at : record.reals)
                std::memcpy(block.data() + at, &v, sizeof v);
            f.writeData(record.opcode, block.data());
        };
        for (int stage = 1; stage < 3; ++stage) {
            for (const auto& record : reliability::Catalog()) {
                if (record.reals.empty() || record.shape != PayloadShape::kFixed)
                    continue;
                if (record.opcode == aiop::kMoveTo || record.opcode == aiop::kLineTo ||
                    record.opcode == aiop::kCurveTo)
                    f.writeData(aiop::kBeginPath, nullptr);
                send(record);
                if (record.opcode == aiop::kMoveTo || record.opcode == aiop::kLineTo)
                    continue;  // the path goes on to its curve
                if (record.opcode == aiop::kCurveTo)
                    f.writeData(aiop::kEndPath, nullptr);
            }
            // The records that use what was set: a path, text, an image.
            Square(f);
            f.writeData(aiop::kBeginText, nullptr);
            char text[] = "x";
            _TextData t{text, 0, 1};
            f.writeData(aiop::kText, &t);
            f.writeData(aiop::kEndText, nullptr);
            BeginBitmapData image{};
            image.width = image.height = image.bytesPerRow = 1;
            f.writeData(aiop::kBeginBitmap, &image);
            unsigned char pixel = 7;
            BitmapData row{0, 0, &pixel};
            f.writeData(aiop::kBitmap, &row);
            f.writeData(aiop::kEndBitmap, nullptr);
        }
        End(f, what);
    }
}

TEST_F(HostileHost, HugeNumbersAndControlBytesInNamesStillGiveReadableFiles)
{
    // Readable: no comment line holds a control byte (a reader ends a
    // comment at a form feed too, and runs the rest), and Ghostscript draws
    // the file without an interpreter error.
    auto commentFault = [](const std::string& text) -> std::string {
        for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
            end = text.find('\n', at);
            end = end == std::string::npos ? text.size() : end;
            for (std::size_t i = at; text[at] == '%' && i < end; ++i) {
                const auto c = static_cast<unsigned char>(text[i]);
                if (c < 0x20 || c == 0x7f)
                    return "line " + text.substr(at, end - at);
            }
        }
        return "";
    };
    std::vector<std::string> written;
    const double kValues[] = {1e300, -1e300, DBL_MAX, 3.5e38, -1e20};
    int n = 0;
    for (double v : kValues) {
        const std::string what = "value " + std::to_string(v);
        AAIExportFilter f;
        ASSERT_EQ(Export(f), 1);
        Picture(f);
        // Names that end their comment line early run the word after the
        // form feed, which no reader knows.
        SetPatternDefData pattern{};
        std::strcpy(pattern.name, "p\fnosuchoperator");
        pattern.tileWidth = pattern.tileHeight = 0.25;
        f.writeData(aiop::kSetPatternDef, &pattern);
        f.writeData(aiop::kBeginPattern, nullptr);
        Square(f);
        f.writeData(aiop::kEndPattern, nullptr);
        SetGradientDefData gradient{};
        std::strcpy(gradient.name, "g\fnosuchoperator");
        f.writeData(aiop::kSetGradientDef, &gradient);
        SetGradient2Data axis{0, 0, 0, 100, 0};
        f.writeData(aiop::kSetGradient2, &axis);
        for (double location : {0.0, 100.0}) {
            SetGradientRGNData stop{};
            stop.location = location;
            f.writeData(aiop::kSetGradientRGN, &stop);
        }
        f.writeData(aiop::kEndGradient, nullptr);
        Section(f);
        PathPostscriptData eps{};
        std::strcpy(eps.filePath, "e\fnosuchoperator.eps");
        f.writeData(aiop::kPathPostscript, &eps);
        // Every real of every drawing record is v.
        for (const auto& record : reliability::Catalog()) {
            if (record.reals.empty() || record.shape != PayloadShape::kFixed ||
                record.opcode == aiop::kBeginPicture ||
                record.opcode == aiop::kBeginDrawingSection ||
                record.opcode == aiop::kPathPostscript || record.opcode == aiop::kPathBitmap ||
                record.opcode == aiop::kSetPatternDef)
                continue;
            std::vector<unsigned char> block(record.size, 0);
            for (std::size_t at : record.reals)
                std::memcpy(block.data() + at, &v, sizeof v);
            const bool path = record.opcode == aiop::kMoveTo || record.opcode == aiop::kLineTo ||
                              record.opcode == aiop::kCurveTo;
            if (path)
                f.writeData(aiop::kBeginPath, nullptr);
            f.writeData(record.opcode, block.data());
            if (path)
                f.writeData(aiop::kEndPath, nullptr);
        }
        Square(f);
        End(f, what, 1);
        const std::string document = ReadFile(target);
        EXPECT_EQ(commentFault(document), "") << what;
        written.push_back(document);
    }
    TempDir documents;  // in the temporary directory, which End checks is empty
    for (const std::string& document : written)
        WriteFile(documents.File(std::to_string(++n) + ".ai"), document);
    if (std::system("command -v gs >/dev/null 2>&1 && command -v python3 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Ghostscript or Python is not installed";
    const std::string check = std::string("python3 '") + AIEXPORT_SOURCE_DIR +
                              "/tools/preview/check_documents.py' '" + documents.path + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << check;
}
