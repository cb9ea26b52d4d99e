// Patterns: tile items, headers inserted at their places, fills and their scales.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

namespace {

constexpr double kPoint = 1 / 72.0;  // host units per point

void BeginDefinition(ExportSession& s, const char* name, double tileWidth = 0,
                     double tileHeight = 0)
{
    SetPatternDefData def{};
    std::strncpy(def.name, name, sizeof def.name - 1);
    def.tileWidth = tileWidth;
    def.tileHeight = tileHeight;
    ASSERT_EQ(s.Record(aiop::kSetPatternDef, def), 1);
}

// A pattern whose one tile path is a rectangle in the given colour.
// Its tile is to be 40 by 5 points, with the gaps given in percent.
void DefineTile(ExportSession& s, const char* name, double x0, double y0, double x1, double y1,
                double spacing = 0)
{
    BeginDefinition(s, name, 40 * kPoint, 5 * kPoint);
    s.Record(aiop::kSetPatternColSpacing, spacing);
    s.Record(aiop::kSetPatternRowSpacing, spacing);
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 0));
    Box(s, x0, y0, x1, y1);
    ASSERT_EQ(s.Record(aiop::kEndPattern), 1);
}

int PatternFill(ExportSession& s, const char* name)
{
    SetFillTypeNameData fill{kFillPattern, 0, {}};
    std::strncpy(fill.name, name, sizeof fill.name - 1);
    return s.Record(aiop::kSetFillTypeName, fill);
}

std::string Finish(ExportSession& s)
{
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    return s.Finish();
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const char* const kDefaultItemStyle =
    ") @\n"
    "(\n"
    "%AI6_BeginPatternLayer\n"
    "800 Ar\n"
    "0 J 0 j 0.0000 w 1.0001 M [] 0 d\n"
    "%AI3_Note:\n"
    "0 D\n"
    "1 XR\n";

}  // namespace

TEST(Pattern, EveryFillScalesAsTheFirstAndBoxTakesOneGap)
{
    ExportSession s(8.5, 11, false);
    DefineTile(s, "Used", 0, 0, 20, 10, 10);
    DefineTile(s, "Unused", 0, 0, 20, 10, 10);
    DefineTile(s, "Flat", 0, 0, 20, 0);
    BeginDefinition(s, "Empty", 40 * kPoint, 5 * kPoint);
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kEndPattern);
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});

    s.Mark();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(PatternFill(s, "Used"), 1);
        Box(s, 0, 0, 1, 1);
    }
    ASSERT_EQ(PatternFill(s, "Flat"), 1);
    ASSERT_EQ(PatternFill(s, "Empty"), 1);
    EXPECT_EQ(PatternFill(s, "Missing"), 0);
    const std::string drawing = s.SinceMark();
    EXPECT_EQ(Count(drawing, "(Used) 0 0 2.0000 0.5000 0 0 0 0 0 [1 0 0 1 0 0] p\n"), 3u) << drawing;
    EXPECT_EQ(Count(drawing, "(Flat) 0 0 2.0000 1.0000 0 0 0 0 0 [1 0 0 1 0 0] p\n"), 1u);
    EXPECT_EQ(Count(drawing, "(Empty) 0 0 1.0000 1.0000 0 0 0 0 0 [1 0 0 1 0 0] p\n"), 1u);
    EXPECT_EQ(Count(drawing, "Missing"), 0u);

    const std::string file = s.Finish();
    ASSERT_EQ(s.finishResult, 1);
    EXPECT_NE(file.find("(Used) 0.0000 0.0000 22.0000 11.0000 [\n"), std::string::npos);
    EXPECT_NE(file.find("22.0000 11.0000 l\n0.0000 11.0000 l\n0.0000 0.0000 l\nn\n"),
              std::string::npos);
    EXPECT_NE(file.find("(Unused) 0.0000 0.0000 20.0000 10.0000 [\n"), std::string::npos);
    EXPECT_NE(file.find("(Empty) 0.0000 0.0000 0.0000 0.0000 [\n"), std::string::npos);
}

TEST(Pattern, BackgroundDecidesFirstItemAndRectanglePaint)
{
    const struct {
        bool given;
        SetColorByValueData color;
        const char* item;
        const char* paint;
    } cases[] = {
        {true, Rgb(255, 0, 0), "(0 O 0 R 1.0000 0.0000 0.0000  Xa\n) @\n", "f\n"},
        {true, {1, 0, 0, 0, 0.1, 0.2, 0.3, 0.4}, "(0 O 0 R 0.1000 0.2000 0.3000 0.4000  k\n) @\n",
         "f\n"},
        {true, {65535, 9, 9, 9, 0, 0, 0, 0}, "(0 O 0 R ) @\n", "n\n"},
        {false, {}, "(0 O 0 R ) @\n", "n\n"},
    };
    for (const auto& c : cases) {
        ExportSession s(8.5, 11, false);
        BeginDefinition(s, "P");
        if (c.given)
            s.Record(aiop::kSetPatternBackground, c.color);
        s.Record(aiop::kBeginPattern);
        s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 0));
        Box(s, 0, 0, 1, 1);
        s.Record(aiop::kEndPattern);
        const std::string file = Finish(s);
        const std::string header = Between(file, "(P) 0.0000", ") &\n");
        EXPECT_NE(header.find(std::string("%AI3_Tile\n") + c.item), std::string::npos) << header;
        EXPECT_NE(header.find(std::string("0.0000 0.0000 l\n") + c.paint +
                              "%AI6_EndPatternLayer\n) &\n"),
                  std::string::npos)
            << header;
    }
}

TEST(Pattern, ColoursOpenTileItems)
{
    const std::string style = kDefaultItemStyle;
    const std::string closeItem = "%AI6_EndPatternLayer\n) &\n";
    const std::string square = "0.0000 0.0000 m\n72.0000 0.0000 l\n72.0000 72.0000 l\n"
                               "0.0000 72.0000 l\nf\n";
    enum Colour { kNone, kRed, kBlue, kNamedRed, kRedOnly };
    const struct {
        const char* what;
        std::vector<Colour> paths;  // a colour record (or none) before each path; kRedOnly, no path
        std::string items;          // the tile's items as the body holds them
    } cases[] = {
        {"two colours by value", {kRed, kRed},
         "(0 O 0 R 1.0000 0.0000 0.0000 Xa\n" + style + square + closeItem +
             "(0 O 0 R 1.0000 0.0000 0.0000 Xa\n" + style + square + closeItem},
        {"one named colour twice", {kNamedRed, kNamedRed},
         "(0 O 0 R 1.0000 0.0000 0.0000 Xa\n" + style + square + square + closeItem},
        {"first path without colour", {kNone, kBlue},
         "(0 O 0 R " + style + square + closeItem + "(0 O 0 R 0.0000 0.0000 1.0000 Xa\n" + style +
             square + closeItem},
        {"no path", {}, ""},
        {"colour without path", {kRedOnly}, "(0 O 0 R 1.0000 0.0000 0.0000 Xa\n" + style + closeItem},
    };
    for (const auto& c : cases) {
        ExportSession s(8.5, 11, false);
        s.Record(aiop::kSetColorDef, SetColorDefData{0, "Red", Rgb(255, 0, 0), 0});
        BeginDefinition(s, "P");
        s.Record(aiop::kBeginPattern);
        for (Colour colour : c.paths) {
            if (colour == kRed || colour == kRedOnly)
                s.Record(aiop::kSetFillColorByValue, Rgb(255, 0, 0));
            else if (colour == kBlue)
                s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 255));
            else if (colour == kNamedRed)
                s.Record(aiop::kSetFillColorByName, NAME_TAG{0, "Red"});
            if (colour != kRedOnly)
                Box(s, 0, 0, 72, 72);
        }
        s.Record(aiop::kEndPattern);
        const std::string file = Finish(s);
        ASSERT_EQ(s.finishResult, 1) << c.what;
        const std::size_t tileEnd = file.find("n\n" + closeItem);  // end of the header
        ASSERT_NE(tileEnd, std::string::npos) << c.what;
        const std::size_t itemsAt = tileEnd + 2 + closeItem.size();
        EXPECT_EQ(file.substr(itemsAt, file.find("] E\n") - itemsAt), c.items) << c.what;
    }
}

TEST(Pattern, NamesInsideATileAreEscapedForTheItemString)
{
    // A tile item is itself a string: a name that needs escaping is escaped
    // once more there, and once outside, where the pattern's own name goes.
    ExportSession s(8.5, 11, false);
    s.Record(aiop::kSetColorDef, SetColorDefData{0, "Red :-)", Rgb(255, 0, 0), 1});
    BeginDefinition(s, "Dots (v2");
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kSetFillColorByName, NAME_TAG{0, "Red :-)"});
    Box(s, 0, 0, 72, 72);
    ASSERT_EQ(s.Record(aiop::kEndPattern), 1);
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    s.Record(aiop::kSetFillColorByName, NAME_TAG{0, "Red :-)"});
    ASSERT_EQ(PatternFill(s, "Dots (v2"), 1);
    Box(s, 0, 0, 72, 72);
    const std::string file = s.Finish();
    ASSERT_EQ(s.finishResult, 1);
    for (const char* written :
         {"%AI3_BeginPattern: (Dots \\(v2) \n(Dots \\(v2) 0.0000 0.0000 72.0000 72.0000 [\n",
          "(0 O 0 R 1.0000 0.0000 0.0000 \\(Red :-\\\\\\)\\) 0 1 Xx\n",
          "%%EndSetup\n1.0000 0.0000 0.0000 (Red :-\\)) 0 1 Xx\n(Dots \\(v2) 0 0 "})
        EXPECT_NE(file.find(written), std::string::npos) << written << "\n" << file;
}

TEST(Pattern, TextInsideADefinitionIsRefusedAndWritesNothing)
{
    ExportSession s(8.5, 11, false);
    BeginDefinition(s, "P");
    s.Record(aiop::kBeginPattern);
    s.Mark();
    _TextData text{const_cast<char*>("("), 0, 1};
    EXPECT_EQ(s.Record(aiop::kBeginText), 0);
    EXPECT_EQ(s.Record(aiop::kSetTextType, static_cast<unsigned short>(0)), 0);
    EXPECT_EQ(s.Record(aiop::kSetTextMatrix, SetTextMatrixData{1, 0, 0, 1, 0, 0}), 0);
    EXPECT_EQ(s.Record(aiop::kText, text), 0);
    EXPECT_EQ(s.Record(aiop::kEndText), 0);
    EXPECT_EQ(s.SinceMark(), "");
    ASSERT_EQ(s.Record(aiop::kEndPattern), 1);
    // Outside the definition text is written again.
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kBeginText), 1);
    EXPECT_EQ(s.Record(aiop::kEndText), 1);
    EXPECT_EQ(s.SinceMark(), "TO\n");
}

TEST(Pattern, SectionCountAndTableLimits)
{
    ExportSession s(8.5, 11, false);
    for (int count : {0, 1024, 1025, -1})
        EXPECT_EQ(s.Record(aiop::kSetPatternSections, count), count <= 1024 ? 1 : 0) << count;
    EXPECT_EQ(s.Record(aiop::kSetPatternSections), 0);

    EXPECT_EQ(s.Record(aiop::kSetPatternDef, SetPatternDefData{}), 0);  // nameless
    for (int i = 0; i < kDefinitionSlots; ++i) {
        SetPatternDefData def{};
        std::snprintf(def.name, sizeof def.name, "P%d", i);
        ASSERT_EQ(s.Record(aiop::kSetPatternDef, def), 1);
    }
    EXPECT_EQ(s.Record(aiop::kSetPatternDef, SetPatternDefData{0, "Extra", 0, 0, 0, 0, 0, 0}), 0);
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    EXPECT_EQ(PatternFill(s, "P1023"), 1);
    EXPECT_EQ(PatternFill(s, "Extra"), 0);
}

TEST(Pattern, GradientInTileKeepsTileBoundsInPatternSlot)
{
    ExportSession s(8.5, 11, false);
    DefineTile(s, "First", 0, 0, 1, 1);
    s.Record(aiop::kSetGradientDef, SetGradientDefData{0, "G"});
    SetGradientRGNData stop{};
    s.Record(aiop::kSetGradientRGN, stop);
    s.Record(aiop::kSetGradientRGN, stop);
    s.Record(aiop::kEndGradient);

    BeginDefinition(s, "Second");
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 0));
    s.Record(aiop::kSetFillTypeName, SetFillTypeNameData{kFillGradient, 0, "G"});
    Box(s, 0, 0, 30, 40);
    Box(s, -5, 0, 1, 1);
    s.Record(aiop::kEndPattern);

    const std::string file = Finish(s);
    EXPECT_NE(file.find("(First) 0.0000 0.0000 1.0000 1.0000 [\n"), std::string::npos);
    EXPECT_NE(file.find("(Second) -5.0000 0.0000 30.0000 40.0000 [\n"), std::string::npos);
}

TEST(Pattern, DefinitionKeepsNothingOfAnEarlierPicture)
{
    ExportSession s(8.5, 11, false);
    BeginDefinition(s, "P");
    s.Record(aiop::kSetPatternColSpacing, 50.0);
    s.Record(aiop::kSetPatternRowSpacing, 50.0);
    s.Record(aiop::kSetPatternBackground, Rgb(255, 0, 0));
    s.Record(aiop::kEndPattern);
    ASSERT_EQ(s.NextPicture(), 1);
    DefineTile(s, "P", 0, 0, 10, 10);
    s.Record(aiop::kBeginDrawingSection, BeginDrawingSectionData{8.5, 11});
    ASSERT_EQ(PatternFill(s, "P"), 1);
    const std::string file = s.Finish();
    EXPECT_NE(file.find("(P) 0.0000 0.0000 10.0000 10.0000 [\n%AI3_Tile\n(0 O 0 R ) @\n"),
              std::string::npos);
}

TEST(Pattern, HeaderFindsItsPlaceAfterAFailedFlush)
{
    ExportSession s(8.5, 11, false);
    DefineTile(s, "A", 0, 0, 1, 1);
    plat::SetFault(plat::kFaultWrite, 1);
    SetPatternDefData def{0, "B", 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(s.Record(aiop::kSetPatternDef, def), 0);
    plat::ClearFaults();
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kSetFillColorByValue, Rgb(0, 0, 0));
    Box(s, 0, 0, 2, 2);
    s.Record(aiop::kEndPattern);
    const std::string file = Finish(s);
    ASSERT_EQ(s.finishResult, 1);
    EXPECT_NE(file.find("%AI3_BeginPattern: (B) \n(B) 0.0000 0.0000 2.0000 2.0000 [\n"),
              std::string::npos);
}
