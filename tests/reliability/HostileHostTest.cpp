// Hosts that break the rules: records out of order, open-ended names, non-finite numbers.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
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

// What a finished document leaves open, or "": strings, tile items, groups,
// compound paths, masks, text objects, layers, images, and lines among an
// image's data. Brackets are counted inside strings too, where a tile's
// items keep theirs.
std::string OpenBracket(const std::string& text)
{
    const char* const kPairs[][2] = {{"u", "U"},   {"*u", "*U"}, {"q", "Q"},  {"To", "TO"},
                                     {"Lb", "LB"}, {"[", "]"},   {"XI", "XH"}};
    int depth[7] = {};
    int strings = 0;
    bool inData = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (inData) {
            if (line == "%%EndData") {
                inData = false;
            } else if (line.empty() || line[0] != '%' ||
                       line.find_first_not_of("0123456789ABCDEFabcdef", 1) != std::string::npos) {
                return "a line among an image's data: " + line;
            }
            continue;
        }
        if (line.rfind("%", 0) == 0)
            continue;
        std::string word;
        const auto count = [&] {
            for (std::size_t k = 0; k < 7; ++k) {
                depth[k] += word == kPairs[k][0];
                depth[k] -= word == kPairs[k][1];
            }
            if (word == "XI")
                inData = true;
            word.clear();
        };
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '\\') {
                ++i;  // an escaped character, parenthesis or not
            } else if (c == '(' || c == ')') {
                count();
                strings += c == '(' ? 1 : -1;
            } else if (c == ' ' || c == '[' || c == ']') {
                count();
                if (c != ' ') {
                    word = c;
                    count();
                }
            } else {
                word += c;
            }
        }
        count();
        if (strings < 0)
            return "a string closed that was never opened";
        if (line == "%%PageTrailer" && strings != 0)
            return "the page ends inside a string";
    }
    if (strings != 0)
        return "the file ends inside a string";
    for (std::size_t k = 0; k < 7; ++k) {
        if (depth[k] != 0)
            return std::string(kPairs[k][0]) + " without its " + kPairs[k][1];
    }
    return "";
}

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

TEST_F(HostileHost, BracketsLeftOpenAreClosedWhereTheirSectionOrPictureEnds)
{
    // Each picture leaves brackets open where a section or the picture ends;
    // the file it reports complete has every one closed and draws its squares.
    const auto rec = [](AAIExportFilter& f, unsigned short op) {
        static unsigned char zeros[512] = {};
        return f.writeData(op, zeros);
    };
    const auto pattern = [&](AAIExportFilter& f, const char* name) {
        SetPatternDefData def{};
        std::strcpy(def.name, name);
        def.tileWidth = def.tileHeight = 1;
        f.writeData(aiop::kSetPatternDef, &def);
        rec(f, aiop::kBeginPattern);
        SetColorByValueData red{0, 255, 0, 0, 0, 0, 0, 0};
        f.writeData(aiop::kSetFillColorByValue, &red);
        rec(f, aiop::kBeginComposite);
        Square(f);
    };
    const auto everything = [&](AAIExportFilter& f) {
        DefLayerData layer{};
        std::strcpy(layer.name, "L");
        f.writeData(aiop::kDefineLayer, &layer);
        Section(f);
        char name[] = "L";
        f.writeData(aiop::kBeginLayer, name);
        for (unsigned short op : {aiop::kBeginGroup, aiop::kBeginMask, aiop::kBeginComposite,
                                  aiop::kBeginClipRgn, aiop::kBeginText})
            rec(f, op);
        unsigned short pointText = 0;
        f.writeData(aiop::kSetTextType, &pointText);
        char word[] = "open";
        _TextData t{word, 0, 4};
        f.writeData(aiop::kText, &t);
        rec(f, aiop::kEndClipRgn);
        rec(f, aiop::kBeginGuide);
        MoveToData m{1, 1};
        f.writeData(aiop::kMoveTo, &m);
        f.writeData(aiop::kBeginPath, nullptr);
        BeginBitmapData image{};
        image.width = image.height = image.bytesPerRow = 1;
        f.writeData(aiop::kBeginBitmap, &image);
    };
    struct Case {
        const char* what;
        std::function<void(AAIExportFilter&)> send;
        std::vector<std::string> drawn;  // lines the file must hold
    };
    const Case kCases[] = {
        {"a drawing section inside a pattern definition",
         [&](AAIExportFilter& f) {
             pattern(f, "Dots");
             Section(f);
             Square(f);
         },
         {"] E", "%AI3_EndPattern", "%%EndSetup"}},
        {"the picture's end inside a pattern definition",
         [&](AAIExportFilter& f) { pattern(f, "Dots"); },
         {"] E"}},
        {"a pattern section's end inside a pattern definition",
         [&](AAIExportFilter& f) {
             rec(f, aiop::kBeginPatternSection);
             pattern(f, "Dots");
             rec(f, aiop::kEndPatternSection);
         },
         {"] E"}},
        {"a definition ended without its tile begun",
         [&](AAIExportFilter& f) {
             SetPatternDefData def{};
             std::strcpy(def.name, "Bare");
             def.tileWidth = def.tileHeight = 1;
             f.writeData(aiop::kSetPatternDef, &def);
             rec(f, aiop::kEndPattern);
         },
         {"] E"}},
        {"a definition begun inside another",
         [&](AAIExportFilter& f) {
             pattern(f, "Dots");
             pattern(f, "Dash");
             rec(f, aiop::kEndPattern);
         },
         {"(Dots) 72.0000 72.0000 144.0000 144.0000 [",
          "(Dash) 72.0000 72.0000 144.0000 144.0000 ["}},
        {"a compound path never ended",
         [&](AAIExportFilter& f) {
             Section(f);
             rec(f, aiop::kBeginComposite);
             Square(f);
             rec(f, aiop::kBeginComposite);
         },
         {"*U"}},
        {"paths inside an image",
         [&](AAIExportFilter& f) {
             Section(f);
             BeginBitmapData image{};
             image.width = image.height = image.bytesPerRow = 2;
             f.writeData(aiop::kBeginBitmap, &image);
             unsigned char pixels[4] = {1, 2, 3, 4};
             BitmapData rows{0, 0, pixels};
             f.writeData(aiop::kBitmap, &rows);
             f.writeData(aiop::kBeginPath, nullptr);
             MoveToData m{1, 1};
             EXPECT_EQ(f.writeData(aiop::kMoveTo, &m), 0);
             EXPECT_EQ(f.writeData(aiop::kEndPath, nullptr), 0);
             rows.firstRow = rows.lastRow = 1;
             rows.rowData = pixels + 2;
             f.writeData(aiop::kBitmap, &rows);
             rec(f, aiop::kEndBitmap);
             Square(f);
         },
         {"%FEFD", "%FCFB", "%AI5_EndRaster", "144.0000 144.0000 l"}},
        {"everything at once", everything, {"(open) Tx 1 15 Tk", "TO", "LB", "*U", "Q", "U"}},
    };
    for (const Case& c : kCases) {
        AAIExportFilter f;
        ASSERT_EQ(Export(f), 1);
        Picture(f);
        c.send(f);
        End(f, c.what, 1);
        EXPECT_EQ(OpenBracket(earlier), "") << c.what;
        for (const std::string& line : c.drawn)
            EXPECT_NE(earlier.find("\n" + line + "\n"), std::string::npos)
                << c.what << ": " << line;
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
