// The body written straight into the finished file, and the files that must
// still be assembled at the end: the same bytes either way.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

namespace {

constexpr double kPoint = 1 / 72.0;  // host units per point
const char kEarlier[] = "the user's earlier drawing\n";
bool assembling = false;  // the export under way keeps its body until the end

using Records = std::function<void(FilterProbe&)>;

struct Result {
    std::string file;    // the target afterwards
    int end = -1;        // record 17's answer
    long endCopies = 0;  // in-kernel copies record 17 made
};

class BodyInTarget : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("SOURCE_DATE_EPOCH", "0", 1);
        ::setenv("TMPDIR", tmp.path.c_str(), 1);
        plat::ClearFaults();
    }
    void TearDown() override
    {
        plat::ClearFaults();
        ::unsetenv("TMPDIR");
    }

    // One picture over an earlier file: setup before the drawing section,
    // drawing after it. assembled makes the drawing section find no unnamed
    // file, so the body waits in the temporary file and the end assembles
    // the finished file from it.
    Result Export(const Records& setup, const Records& drawing, bool assembled)
    {
        const std::string target = out.File("drawing.ai");
        WriteFile(target, kEarlier);
        Result r;
        {
            FilterProbe filter;
            std::string path = target;
            EXPECT_EQ(filter.exportFile(path.data()), 1);
            BeginPictureData picture{0, 0, 0, 8.5, 11};
            EXPECT_EQ(filter.writeData(aiop::kBeginPicture, &picture), 1);
            setup(filter);
            assembling = assembled;
            if (assembled)
                plat::SetFault(plat::kFaultUnnamed, 1);
            BeginDrawingSectionData section{8.5, 11};
            EXPECT_EQ(filter.writeData(aiop::kBeginDrawingSection, &section), 1);
            plat::SetFault(plat::kFaultUnnamed, 0);
            drawing(filter);
            EXPECT_EQ(filter.writeData(aiop::kEndDrawingSection, nullptr), 1);
            const long before = plat::FaultCount(plat::kFaultCopy);
            r.end = filter.writeData(aiop::kEndPicture, nullptr);
            r.endCopies = plat::FaultCount(plat::kFaultCopy) - before;
        }
        r.file = ReadFile(target);
        EXPECT_EQ(tmp.Listing(), "");
        EXPECT_EQ(out.Listing(), listing);
        return r;
    }

    // The file through the finished file equals the one assembled at the
    // end; copiedAtEnd says whether the end had to copy the body anew.
    std::string ExpectSameFile(const Records& setup, const Records& drawing, bool copiedAtEnd,
                               const char* what)
    {
        const Result direct = Export(setup, drawing, false);
        const Result assembled = Export(setup, drawing, true);
        EXPECT_EQ(direct.end, 1) << what;
        EXPECT_EQ(assembled.end, 1) << what;
        EXPECT_EQ(direct.file, assembled.file) << what;
        EXPECT_GT(assembled.endCopies, 0) << what;
        if (copiedAtEnd)
            EXPECT_GT(direct.endCopies, 0) << what << ": the head changed, yet nothing was copied";
        else
            EXPECT_EQ(direct.endCopies, 0) << what << ": the body copied, though the head stood";
        return direct.file;
    }

    TempDir tmp;
    TempDir out;
    std::string listing = "drawing.ai\n";  // what out holds after an export
};

void Triangle(FilterProbe& f, double x, double y)
{
    f.writeData(aiop::kBeginPath, nullptr);
    MoveToData m{x * kPoint, y * kPoint};
    f.writeData(aiop::kMoveTo, &m);
    LineToData a{(x + 50) * kPoint, y * kPoint};
    f.writeData(aiop::kLineTo, &a);
    LineToData b{x * kPoint, (y + 50) * kPoint};
    f.writeData(aiop::kLineTo, &b);
    f.writeData(aiop::kClosePath, nullptr);
    EXPECT_EQ(f.writeData(aiop::kEndPath, nullptr), 1);
}

void Triangles(FilterProbe& f)
{
    SetColorByValueData red = Rgb(255, 0, 0);
    f.writeData(aiop::kSetFillColorByValue, &red);
    for (int i = 0; i < 2000; ++i)  // many buffers of body
        Triangle(f, i % 500, i / 4);
}

// A gradient's definition with this many stops, left open.
void BeginGradient(FilterProbe& f, const char* name, int stops)
{
    SetGradientDefData def{};
    std::strncpy(def.name, name, sizeof def.name - 1);
    f.writeData(aiop::kBeginGradient, nullptr);
    EXPECT_EQ(f.writeData(aiop::kSetGradientDef, &def), 1);
    for (int i = 0; i < stops; ++i) {
        SetGradientRGNData stop{};
        stop.location = 50.0 * i;
        stop.stopColor.color = Rgb(static_cast<unsigned short>(100 * i), 40, 90);
        EXPECT_EQ(f.writeData(aiop::kSetGradientRGN, &stop), 1);
    }
}

void Gradient(FilterProbe& f, const char* name)
{
    BeginGradient(f, name, 3);
    f.writeData(aiop::kEndGradient, nullptr);
}

void FillWith(FilterProbe& f, unsigned short type, const char* name)
{
    SetFillTypeNameData fill{};
    fill.fillType = type;
    std::strncpy(fill.name, name, sizeof fill.name - 1);
    EXPECT_EQ(f.writeData(aiop::kSetFillTypeName, &fill), 1);
}

void Pattern(FilterProbe& f)
{
    f.writeData(aiop::kBeginPatternSection, nullptr);
    SetPatternDefData def{};
    std::strncpy(def.name, "Dots", sizeof def.name - 1);
    def.tileWidth = def.tileHeight = 0.5;
    EXPECT_EQ(f.writeData(aiop::kSetPatternDef, &def), 1);
    double spacing = 10;
    f.writeData(aiop::kSetPatternColSpacing, &spacing);
    f.writeData(aiop::kBeginPattern, nullptr);
    Triangle(f, 0, 0);
    f.writeData(aiop::kEndPattern, nullptr);
    f.writeData(aiop::kEndPatternSection, nullptr);
}

const Records kNothing = [](FilterProbe&) {};

// A drawing section after the first; assembling, it finds no unnamed file either.
void AnotherDrawingSection(FilterProbe& f, double width, double height)
{
    if (assembling)
        plat::SetFault(plat::kFaultUnnamed, 1);
    BeginDrawingSectionData section{width, height};
    EXPECT_EQ(f.writeData(aiop::kBeginDrawingSection, &section), 1);
    plat::SetFault(plat::kFaultUnnamed, 0);
}

std::size_t Find(const std::string& file, const char* text)
{
    const std::size_t at = file.find(text);
    EXPECT_NE(at, std::string::npos) << text;
    return at;
}

}  // namespace

TEST_F(BodyInTarget, HeadKnownAtTheDrawingSectionStandsAndTheBodyIsNotCopied)
{
    ExpectSameFile(kNothing, Triangles, false, "paths");
    const std::string file = ExpectSameFile([](FilterProbe& f) { Gradient(f, "Early"); },
                                            [](FilterProbe& f) {
                                                FillWith(f, 2, "Early");
                                                Triangles(f);
                                            },
                                            false, "a gradient defined before the drawing");
    EXPECT_LT(Find(file, "%AI5_BeginGradient: (Early)"), Find(file, "%%EndSetup"));
}

TEST_F(BodyInTarget, LateChangesToTheHeadAssembleTheSameFileAnew)
{
    const std::string late = ExpectSameFile(
        kNothing,
        [](FilterProbe& f) {
            Triangles(f);
            Gradient(f, "Late");
            FillWith(f, 2, "Late");
            Triangle(f, 10, 10);
        },
        true, "a gradient defined in the drawing");
    EXPECT_LT(Find(late, "%AI5_BeginGradient: (Late)"), Find(late, "%%EndSetup"));
    EXPECT_LT(Find(late, "%%EndSetup"), Find(late, "1 (Late) 10.0000 10.0000 "));

    // A pattern's tile box widens by its spacing once a fill uses it.
    const std::string pattern = ExpectSameFile(
        Pattern,
        [](FilterProbe& f) {
            FillWith(f, 3, "Dots");
            Triangles(f);
        },
        true, "a pattern filled with");
    EXPECT_NE(pattern.find("(Dots) 0.0000 0.0000 55.0000 50.0000 [\n"), std::string::npos);

    const std::string second = ExpectSameFile(
        kNothing,
        [](FilterProbe& f) {
            Triangles(f);
            AnotherDrawingSection(f, 2, 3);
            Triangle(f, 1, 1);
        },
        true, "a second drawing section");
    EXPECT_NE(second.find("%AI5_ArtSize: 144 216 \n"), std::string::npos);
}

TEST_F(BodyInTarget, PictureThatCannotEndKeepsTheEarlierFile)
{
    // A gradient that never gets its second stop fails the end, after the
    // body went into the finished file.
    const Result failed = Export(
        kNothing,
        [](FilterProbe& f) {
            Triangles(f);
            BeginGradient(f, "Short", 1);
            f.writeData(aiop::kEndGradient, nullptr);
        },
        false);
    EXPECT_EQ(failed.end, 0);
    EXPECT_EQ(failed.file, kEarlier);

    // Abandoned: the host never ends the picture, or begins another.
    const std::string target = out.File("drawing.ai");
    const int descriptors = OpenDescriptors();
    for (bool another : {false, true}) {
        {
            FilterProbe filter;
            std::string path = target;
            ASSERT_EQ(filter.exportFile(path.data()), 1);
            BeginPictureData picture{0, 0, 0, 8.5, 11};
            ASSERT_EQ(filter.writeData(aiop::kBeginPicture, &picture), 1);
            BeginDrawingSectionData section{8.5, 11};
            ASSERT_EQ(filter.writeData(aiop::kBeginDrawingSection, &section), 1);
            Triangles(filter);
            if (another) {
                ASSERT_EQ(filter.writeData(aiop::kBeginPicture, &picture), 1);
                EXPECT_EQ(OpenDescriptors(), descriptors + 1) << "only the new body file is open";
            }
        }
        EXPECT_EQ(ReadFile(target), kEarlier) << another;
        EXPECT_EQ(tmp.Listing(), "") << another;
        EXPECT_EQ(out.Listing(), "drawing.ai\n") << another;
        EXPECT_EQ(OpenDescriptors(), descriptors) << another;
    }
}

TEST_F(BodyInTarget, TargetNamedAnewInTheDrawingTakesTheWholePicture)
{
    // The body goes back to the temporary file, so nothing drawn is lost.
    const Records drawing = [&](FilterProbe& f) {
        Triangles(f);
        std::string other = out.File("other.ai");
        ASSERT_EQ(f.exportFile(other.data()), 1);
        Triangle(f, 5, 5);
    };
    listing = "drawing.ai\nother.ai\n";
    Export(kNothing, drawing, true);
    const std::string assembled = ReadFile(out.File("other.ai"));
    Export(kNothing, drawing, false);
    EXPECT_EQ(ReadFile(out.File("other.ai")), assembled);
    EXPECT_NE(assembled.find("%%Title: (drawing.ai)"), std::string::npos);
}

TEST_F(BodyInTarget, DiskStartsOnTheBodyAsItIsWritten)
{
    // An image of 12 MB, some 24 MB of body: the finished file's disk work
    // is started on its way, and a start that fails changes nothing.
    const Records image = [](FilterProbe& f) {
        BeginBitmapData bitmap{};
        bitmap.width = 1000;
        bitmap.height = 4000;
        bitmap.bytesPerRow = 3000;
        bitmap.bitDepth = 8;
        bitmap.colorModel = 3;
        ASSERT_EQ(f.writeData(aiop::kBeginBitmap, &bitmap), 1);
        std::string rows(100 * 3000, '\0');
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<char>(i * 7 + i / 3000);
        for (int row = 0; row < 4000; row += 100) {
            BitmapData data{static_cast<std::int16_t>(row), static_cast<std::int16_t>(row + 99),
                            reinterpret_cast<unsigned char*>(rows.data())};
            ASSERT_EQ(f.writeData(aiop::kBitmap, &data), 1);
        }
        ASSERT_EQ(f.writeData(aiop::kEndBitmap, nullptr), 1);
    };
    plat::SetFault(plat::kFaultWriteBack, 0);  // counts from here
    const Result assembled = Export(kNothing, image, true);
    EXPECT_EQ(plat::FaultCount(plat::kFaultWriteBack), 0) << "the temporary file is left alone";
    ASSERT_EQ(assembled.end, 1);
    plat::SetFault(plat::kFaultWriteBack, 0);
    const Result direct = Export(kNothing, image, false);
    const long starts = plat::FaultCount(plat::kFaultWriteBack);
    EXPECT_GE(starts, 2);
    EXPECT_EQ(direct.file, assembled.file);
    plat::SetFault(plat::kFaultWriteBack, 1);
    const Result failed = Export(kNothing, image, false);
    EXPECT_EQ(failed.end, 1);
    EXPECT_EQ(failed.file, assembled.file);
}
