// The check of Illustrator files: our golden exports, files cut short, and
// files damaged or made for another shop, as a user would meet them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Check.h"
#include "support/Files.h"

namespace {

using aicheck::Profile;
using aicheck::Status;

const std::string kGolden = AIEXPORT_SOURCE_DIR "/tests/golden/";

// Each finding as "LINE severity: message".
std::vector<std::string> Lines(const aicheck::Report& report)
{
    std::vector<std::string> lines;
    for (const aicheck::Finding& f : report.findings)
        lines.push_back(std::to_string(f.line) +
                        (f.severity == aicheck::Severity::kError ? " error: " : " warning: ") +
                        f.message);
    return lines;
}

std::string Joined(const aicheck::Report& report)
{
    std::string text;
    for (const std::string& line : Lines(report))
        text += line + "\n";
    return text;
}

// A small well-formed file of ours with `body` as its art layer.
std::string Document(const std::string& body, const std::string& header = "")
{
    return "%!PS-Adobe-3.0\n%%Creator: Adobe Illustrator(TM) 6.0\n%%BoundingBox: 0 0 612 792 \n" +
           header +
           "%%EndComments\n%%BeginProlog\n%%IncludeResource: procset Adobe_Illustrator_AI5 1.2 "
           "0\n%%EndProlog\n%%BeginSetup\nAdobe_Illustrator_AI5 /initialize get exec\n"
           "%%EndSetup\n%AI5_BeginLayer\n1 1 1 1 0 0 -1 0 0 0 Lb\n(Art) Ln\n" +
           body +
           "LB\n%AI5_EndLayer\n%%PageTrailer\nshowpage\n%%Trailer\n"
           "Adobe_Illustrator_AI5 /terminate get exec\n%%EOF\n";
}

aicheck::Report CheckText(const std::string& text, Profile profile = Profile::kNone)
{
    static TempDir dir;
    const std::string path = dir.File("file.ai");
    WriteFile(path, text);
    return aicheck::CheckAi(path, profile);
}

// The line of `body`'s first line in Document().
constexpr long kBodyLine = 14;

}  // namespace

TEST(AiCheck, GoldenExportsPassCleanExceptWhereTheirScriptsBreakBrackets)
{
    // These scripts send unmatched records on purpose, and the module writes
    // what it is told: the check must see exactly that.
    const struct {
        const char* name;
        const char* findings;
    } broken[] = {
        {"brackets.ai", "81 error: *U without its *u"},
        {"pattern-tiles.ai", "542 error: TO without its To"},
        {"sections.ai", "35 error: %%EndSetup closes nothing"},
        {"text.ai", "82 error: TO without its To"},
    };
    DIR* dir = opendir(kGolden.c_str());
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".ai") == 0)
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 18u);
    for (const std::string& name : names) {
        const aicheck::Report report = aicheck::CheckAi(kGolden + name, Profile::kNone);
        const auto known = std::find_if(std::begin(broken), std::end(broken),
                                        [&](const auto& b) { return name == b.name; });
        if (known == std::end(broken)) {
            EXPECT_EQ(report.status, Status::kClean) << name << "\n" << Joined(report);
            continue;
        }
        EXPECT_EQ(report.status, Status::kFindings) << name;
        ASSERT_EQ(report.findings.size(), 1u) << name << "\n" << Joined(report);
        EXPECT_EQ(Lines(report)[0].rfind(known->findings, 0), 0u) << Lines(report)[0];
    }
}

TEST(AiCheck, EveryCutOfAFileIsFoundShort)
{
    const std::string whole = ReadFile(kGolden + "gradients-patterns.ai");
    ASSERT_EQ(CheckText(whole).status, Status::kClean);
    // At every line end and in the middle of every line: never clean, never unreadable.
    for (std::size_t at = whole.find('\n'); at != std::string::npos && at + 1 < whole.size();
         at = whole.find('\n', at + 1)) {
        for (const std::size_t cut : {at + 1, at / 2 + at / 2 % 2}) {
            const aicheck::Report report = CheckText(whole.substr(0, cut));
            ASSERT_EQ(report.status, Status::kFindings) << "cut at " << cut;
            bool error = false;
            for (const aicheck::Finding& f : report.findings)
                error = error || f.severity == aicheck::Severity::kError;
            EXPECT_TRUE(error) << "cut at " << cut << "\n" << Joined(report);
        }
    }
    const std::string text = Joined(CheckText(whole.substr(0, whole.find("%AI3_EndPattern"))));
    EXPECT_NE(text.find("error: the file is cut short: %AI3_BeginPattern of line 32 is never "
                        "closed"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("0 error: the file is cut short: it does not end with %%EOF"),
              std::string::npos);
}

TEST(AiCheck, ReadsLinesEndedByCarriageReturns)
{
    std::string whole = ReadFile(kGolden + "structure.ai");
    std::string mac = whole, dos;
    std::replace(mac.begin(), mac.end(), '\n', '\r');
    for (char c : whole)
        dos += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(Joined(CheckText(mac)), "");
    EXPECT_EQ(Joined(CheckText(dos)), "");
    // Lines are counted the same way: the bracket at line 81 stays at line 81.
    std::string broken = ReadFile(kGolden + "brackets.ai");
    std::replace(broken.begin(), broken.end(), '\n', '\r');
    EXPECT_EQ(Lines(CheckText(broken)).at(0).substr(0, 9), "81 error:");
}

TEST(AiCheck, LinesAreCountedAcrossReadsAndCutWhenTooLong)
{
    // CR LF line ends with the pair split between two reads of 64 KiB, at
    // every offset near the split: the bracket is named at its own line.
    const std::string empty = Document("");
    const std::size_t bodyAt = empty.find("LB\n");
    const std::size_t crlfBodyAt =
        bodyAt + static_cast<std::size_t>(std::count(empty.begin(), empty.begin() + bodyAt, '\n'));
    for (std::size_t cr = 65534; cr < 65538; ++cr) {
        const std::string text = Document("%" + std::string(cr - crlfBodyAt - 1, 'x') + "\nU\n");
        std::string dos;
        for (char c : text)
            dos += c == '\n' ? std::string("\r\n") : std::string(1, c);
        ASSERT_EQ(dos.substr(cr, 2), "\r\n");
        EXPECT_EQ(Lines(CheckText(dos)).at(0).substr(0, 23), "15 error: U where Lb of") << cr;
    }
    // A line beyond what any reader holds is named, and the count goes on.
    const std::vector<std::string> lines =
        Lines(CheckText(Document(std::string(3 << 19, '0') + "\nU\n")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "14 error: a line longer than 1048576 characters, which no reader holds: "
                        "break it into lines");
    EXPECT_EQ(lines[1].substr(0, 23), "15 error: U where Lb of");
}

TEST(AiCheck, NumbersAReaderCannotRead)
{
    const aicheck::Report report =
        CheckText(Document("nan 0.0000 m\n1.0 -inf l\n1.2.3 4 l\n1e999 0 l\n3e38 -1.5e+2 l\n"
                           "16#FF 2#101 l\n(nan 1.2.3 in a string) Tx\n-.5 +.5 l\nS\n"));
    EXPECT_EQ(Lines(report),
              (std::vector<std::string>{
                  std::to_string(kBodyLine) +
                      " error: 'nan' where a number belongs: no reader reads it (the writer "
                      "printed a value that is not a number); write a finite number",
                  std::to_string(kBodyLine + 1) +
                      " error: '-inf' where a number belongs: no reader reads it (the writer "
                      "printed a value that is not a number); write a finite number",
                  std::to_string(kBodyLine + 2) +
                      " error: malformed number '1.2.3': readers take it for an unknown "
                      "operator; write it as digits with one point",
                  std::to_string(kBodyLine + 3) +
                      " error: the number 1e999 is beyond the largest a PostScript reader "
                      "holds (about 3.4e38)",
              }));
}

TEST(AiCheck, BracketsMustCloseInTheOrderTheyOpened)
{
    const struct {
        std::string body;
        std::string first;  // the first finding
    } cases[] = {
        {"u\n*u\nU\n*U\n", "16 error: U where *u of line 15 is open"},
        {"q\nQ\nQ\n", "16 error: Q where Lb of line 12 is open"},
        {"0 To\nTO\nTO\n", "16 error: TO where Lb of line 12 is open"},
        {"u\n", "15 error: LB where u of line 14 is open"},
        {"%AI5_BeginRaster\n%%BeginData: 4\nXI\n%FF\n%AI5_EndRaster\n%%EndData\n%AI5_EndRaster\n",
         ""},
        {"%AI5_BeginRaster\n%%EndData\n", "15 error: %%EndData where %AI5_BeginRaster of line 14"},
        {"[0 0 0 0 1 0 0 0 0 0 ] 0 0 XI\n", "14 error: XI outside a %AI5_BeginRaster block"},
        {"(an open string\n", "21 error: the file is cut short: the string begun at line 14"},
        {"(a string that holds \\) and (nested) parentheses\nU over lines)\n", ""},
        {"{ u u u } pop\n", ""},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> lines = Lines(CheckText(Document(c.body)));
        if (c.first.empty()) {
            EXPECT_TRUE(lines.empty()) << c.body << "\n" << lines.at(0);
            continue;
        }
        ASSERT_FALSE(lines.empty()) << c.body;
        EXPECT_EQ(lines[0].substr(0, c.first.size()), c.first) << c.body;
    }
    // The raster data is skipped whole: what it holds is never read as operators.
    EXPECT_EQ(
        Joined(CheckText(Document(
            "%AI5_BeginRaster\n%%BeginData: 4\nXI\nU TO nan )\n%%EndData\n%AI5_EndRaster\n"))),
        "");
}

TEST(AiCheck, HeaderAndResourcesNamedButMissing)
{
    EXPECT_EQ(Joined(CheckText(
                  Document("", "%%DocumentNeededResources: procset Adobe_cshow 2.0 8\n%%+ procset "
                               "Mine_Extras 1 0\n%%DocumentFonts: Helvetica\n%%+ Courier\n"))),
              "5 error: the procedure set Mine_Extras is named but neither carried in the file "
              "nor one that readers of the format supply: carry it in a %%BeginResource block\n"
              "6 warning: the font Helvetica is named but not carried: install it where the file "
              "is opened, or write the text as outlines\n"
              "7 warning: the font Courier is named but not carried: install it where the file is "
              "opened, or write the text as outlines\n");
    // Carried, neither is missing; a font used but not listed is named.
    EXPECT_EQ(
        Joined(CheckText(Document("0 To\n/_Symbol 12 9 -3 Tf\nTO\n",
                                  "%%DocumentFonts: Courier\n%%BeginResource: font Courier\n"
                                  "%%EndResource\n%%BeginResource: procset Mine 1 0\n"
                                  "%%EndResource\n%%DocumentNeededResources: procset Mine\n"))),
        "21 warning: the font Symbol is used but not named in %%DocumentFonts: readers will "
        "not look for it; name it there\n");

    std::string text = Document("");
    text.erase(text.find("%%BoundingBox"), text.find("%%EndComments") - text.find("%%BoundingBox"));
    EXPECT_EQ(Joined(CheckText(text)),
              "0 error: no %%BoundingBox comment: readers cannot place the art; write the art's "
              "box\n");
    text = Document("");
    text.replace(text.find("0 0 612 792"), 11, "0 0 612");
    EXPECT_EQ(Lines(CheckText(text)).at(0).substr(0, 34), "3 error: the %%BoundingBox is not ");
    EXPECT_EQ(CheckText("%!PS-Adobe-3.0\n%%BoundingBox: 0 0 1 1\n%%EndComments\n1 0 m\n"
                        "%%Trailer\n%%EOF\n")
                  .findings.back()
                  .message.substr(0, 46),
              "a PostScript file that names no Illustrator pr");
}

TEST(AiCheck, ProfilesJudgeWhatTheFileHolds)
{
    const std::string body = "0 To\nTO\n2 w\n0 0 m\n1 1 l\nS\n0.1 w\n0 0 m\n2 2 l\nf\n"
                             "1 0 0 XA\n0 0 0 1 k\n0 0 0 1 (cutcontour) 0 X\n"
                             "%AI5_BeginRaster\n%%BeginData: 1\nXI\n%%EndData\n%AI5_EndRaster\n"
                             "0 0 0 1 ([Registration]) 0 x\n";
    const struct {
        Profile profile;
        std::vector<long> errorLines;
        std::vector<std::string> says;
    } cases[] = {
        {Profile::kNone, {}, {}},
        {Profile::kStock,
         {14, 19, 19, 29},
         {"a text object (live text), which the stock profile forbids",
          "a stroked path, which the stock profile forbids",
          "an open path, which the stock profile forbids",
          "an embedded raster image, which the stock profile forbids"}},
        {Profile::kLaser, {19}, {"a stroke 2 pt wide: lasers take strokes of at most 0.25 pt"}},
        {Profile::kCut,
         {26, 32, 0},
         {"the spot colour (cutcontour) is not spelled CutContour",
          "a registration mark ([Registration]) outside a layer named Registration",
          "no spot colour named CutContour"}},
        {Profile::kPrint, {24}, {"an RGB colour: print shops separate CMYK"}},
    };
    for (const auto& c : cases) {
        const aicheck::Report report = CheckText(Document(body), c.profile);
        std::vector<long> lines;
        for (const aicheck::Finding& f : report.findings) {
            EXPECT_EQ(f.severity, aicheck::Severity::kError) << f.message;
            lines.push_back(f.line);
        }
        EXPECT_EQ(lines, c.errorLines) << aicheck::ProfileName(c.profile) << "\n" << Joined(report);
        for (std::size_t i = 0; i < c.says.size() && i < report.findings.size(); ++i)
            EXPECT_EQ(report.findings[i].message.rfind(c.says[i], 0), 0u)
                << report.findings[i].message;
    }

    // A cutter's file: the cut line a hairline in CutContour, the marks on their layer.
    const std::string cut =
        Document("0 0 0 1 (CutContour) 0 X\n0.2 w\n0 0 m\n9 9 l\nS\nLB\n%AI5_EndLayer\n"
                 "%AI5_BeginLayer\n1 1 1 1 0 0 -1 0 0 0 Lb\n(Registration) Ln\n"
                 "0 0 0 1 ([Registration]) 1 X\n0 0 m\n1 1 l\nS\nLB\n%AI5_EndLayer\n"
                 "%AI5_BeginLayer\n1 1 1 1 0 0 -1 0 0 0 Lb\n(Empty) Ln\n");
    EXPECT_EQ(Joined(CheckText(cut, Profile::kCut)), "");
    std::string thick = cut;
    thick.replace(thick.find("0.2 w"), 5, "1 w");
    EXPECT_EQ(Lines(CheckText(thick, Profile::kCut)),
              std::vector<std::string>{"18 error: a stroke 1 pt wide: cutters take strokes of at "
                                       "most 0.25 pt as lines to follow; make it a hairline"});
    std::string second = cut;
    second.replace(second.find("(Empty) Ln\n"), 11, "(Empty) Ln\n0 0 m\n1 1 l\nf\n");
    EXPECT_EQ(Lines(CheckText(second, Profile::kCut)).at(0).substr(0, 40),
              "32 error: a second art layer (Empty): cu");
}

TEST(AiCheck, WhatOnlyDefinesOrOffersIsNotJudgedAsDrawn)
{
    // A procedure set carried in the prolog, and a palette of swatches that
    // holds the registration colour and RGB ones, as other programs write them.
    const std::string header = "%%BeginResource: procset Mine 1 0\n/Mine 9 dict def\nu 1 w S "
                               "1.2.3\n%%EndResource\n";
    const std::string body = "%AI5_BeginPalette\n0 0 0 1 ([Registration]) 0 x\n1 0 0 Xa\n"
                             "%AI5_EndPalette\n";
    for (Profile profile : {Profile::kNone, Profile::kCut, Profile::kPrint, Profile::kStock}) {
        const std::vector<std::string> lines = Lines(CheckText(Document(body, header), profile));
        EXPECT_EQ(lines, profile == Profile::kCut
                             ? std::vector<std::string>{"0 error: no spot colour named CutContour: "
                                                        "cutters cut along strokes in it; stroke "
                                                        "the cut outline with it"}
                             : std::vector<std::string>{})
            << aicheck::ProfileName(profile);
    }
    // Outside them, the same lines are judged.
    EXPECT_EQ(
        Lines(CheckText(Document("0 0 0 1 ([Registration]) 0 x\n1 0 0 Xa\n"), Profile::kPrint))
            .size(),
        1u);
    EXPECT_EQ(Lines(CheckText(Document("u 1.2.3\nU\n"))).size(), 1u);
}

TEST(AiCheck, ManyFindingsOfOneKindAreCounted)
{
    std::string body;
    for (int i = 0; i < 100; ++i)
        body += "0 0 m\n1 1 l\ns\n";
    const aicheck::Report report = CheckText(Document(body), Profile::kStock);
    ASSERT_EQ(report.findings.size(), 21u);
    EXPECT_EQ(report.findings.back().line, 0);
    EXPECT_EQ(report.findings.back().severity, aicheck::Severity::kError);
    EXPECT_EQ(report.findings.back().message,
              "80 more findings like the above (stroke) not listed");
}

TEST(AiCheck, FilesThatCannotBeReadAreUnreadable)
{
    TempDir dir;
    EXPECT_EQ(aicheck::CheckFile(dir.File("absent.ai"), Profile::kNone).status,
              Status::kUnreadable);
    WriteFile(dir.File("empty.ai"), "");
    EXPECT_EQ(aicheck::CheckFile(dir.File("empty.ai"), Profile::kNone).error,
              dir.File("empty.ai") + ": empty");
    WriteFile(dir.File("script.ai"), "BeginPicture 0 0 8.5 11\n");
    EXPECT_EQ(aicheck::CheckFile(dir.File("script.ai"), Profile::kNone).status,
              Status::kUnreadable);
    EXPECT_EQ(aicheck::CheckFile(dir.path, Profile::kNone).status, Status::kUnreadable);
}

TEST(Profiles, ParseTheirNamesAndNothingElse)
{
    Profile p = Profile::kNone;
    for (const char* name : {"cut", "laser", "stock", "print"}) {
        ASSERT_TRUE(aicheck::ParseProfile(name, p)) << name;
        EXPECT_STREQ(aicheck::ProfileName(p), name);
    }
    for (const char* name : {"", "none", "Cut", "cut ", "stocks"}) {
        p = Profile::kLaser;
        EXPECT_FALSE(aicheck::ParseProfile(name, p)) << name;
        EXPECT_EQ(p, Profile::kLaser);
    }
    EXPECT_TRUE(aicheck::RulesOf(Profile::kStock).noStrokes);
    EXPECT_FALSE(aicheck::RulesOf(Profile::kCut).noStrokes);
    EXPECT_TRUE(aicheck::RulesOf(Profile::kCut).cutContour);
}
