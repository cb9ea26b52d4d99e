// The check of SVG drawings: a drawing with every defect planted, judged per
// profile, and small drawings at the edges of each rule.
#ifdef AIEXPORT_HAVE_SVG
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Check.h"
#include "support/Files.h"

namespace {

using aicheck::Profile;
using aicheck::Status;

const std::string kEveryRule = AIEXPORT_SOURCE_DIR "/tests/check/every-rule.svg";

// Each finding as "LINE E|W message", cut to `width` characters.
std::vector<std::string> Brief(const aicheck::Report& report, std::size_t width = 40)
{
    std::vector<std::string> lines;
    for (const aicheck::Finding& f : report.findings)
        lines.push_back((std::to_string(f.line) +
                         (f.severity == aicheck::Severity::kError ? " E " : " W ") + f.message)
                            .substr(0, width));
    return lines;
}

// The findings cut to the length of the ones expected, to compare their starts.
std::vector<std::string> Starts(const aicheck::Report& report,
                                const std::vector<std::string>& expected)
{
    std::vector<std::string> lines = Brief(report, std::string::npos);
    for (std::size_t i = 0; i < lines.size() && i < expected.size(); ++i)
        lines[i] = lines[i].substr(0, expected[i].size());
    return lines;
}

aicheck::Report CheckDrawing(const std::string& body, Profile profile = Profile::kNone,
                             const std::string& size = "width=\"100pt\" height=\"100pt\"")
{
    static TempDir dir;
    WriteFile(dir.File("d.svg"), "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                 "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" " +
                                     size + " viewBox=\"0 0 100 100\">\n" + body + "</svg>\n");
    return aicheck::CheckSvg(dir.File("d.svg"), profile);
}

}  // namespace

TEST(SvgCheck, FindsEveryPlantedDefectAtItsLinePerProfile)
{
    // What every profile sees alike; a profile turns some into errors.
    const std::vector<std::string> common = {
        "9 W <stop> has stop-opacity 0.5: the form", "14 W <path> has 1 open subpath (filled: t",
        "15 W live text (<text>): readers without ", "16 W <rect> has a stroke 2 pt wide: shops",
        "17 W an embedded image (<image>): it goes", "18 W a linked image (<image>): the file n",
        "19 W <rect> has opacity 0.5: the format h", "20 W <rect> has a filter (blur or other e",
        "22 W <rect> has fill-opacity 0.5, a mask ", "23 W <rect> lies partly beyond the page: ",
        "25 W <rect> repeats the path of line 24 e", "26 W <path> has 1 segment shorter than 0.",
        "27 W <circle> gives its fill by the colou", "30 W <rect> has a stroke 1 pt wide: shops",
        "34 W <rect> has a stroke 0.1 pt wide: sho",
    };
    const struct {
        Profile profile;
        std::vector<std::string> findings;
    } cases[] = {
        {Profile::kNone, common},
        {Profile::kCut,
         {
             common[0],
             common[1],
             common[2],
             common[3],
             common[4],
             common[5],
             common[6],
             common[7],
             common[8],
             common[9],
             "25 E <rect> repeats the path of line 24 e",
             common[11],
             common[12],
             "28 E the registration mark <rect> 'regmar",
             "29 E the group 'Cutcontour' is not named ",
             common[13],
             "33 E a second art layer (More art): cutte",
             common[14],
             "0 E no cut line: nothing is stroked in a ",
         }},
        {Profile::kLaser,
         {
             common[0],
             common[1],
             common[2],
             "16 E <rect> has a stroke 2 pt wide: laser",
             common[4],
             common[5],
             common[6],
             common[7],
             common[8],
             common[9],
             "25 E <rect> repeats the path of line 24 e",
             common[11],
             common[12],
             "30 E <rect> has a stroke 1 pt wide: laser",
         }},
        {Profile::kStock,
         {
             "9 E <stop> has stop-opacity 0.5, which th",
             "14 E <path> has 1 open subpath (filled: t",
             "15 E live text (<text>), which the stock ",
             "16 E <rect> has a stroke 2 pt wide, which",
             "17 E an embedded image (<image>), which t",
             "18 E a linked image (<image>), which the ",
             "19 E <rect> has opacity 0.5, which the st",
             "20 E <rect> has a filter (blur or other e",
             "22 E <rect> has fill-opacity 0.5, a mask ",
             common[9],
             common[10],
             common[11],
             common[12],
             "30 E <rect> has a stroke 1 pt wide, which",
             "34 E <rect> has a stroke 0.1 pt wide, whi",
         }},
        {Profile::kPrint,
         {
             common[0],
             common[1],
             common[2],
             common[3],
             common[4],
             common[5],
             common[6],
             common[7],
             common[8],
             common[9],
             common[10],
             common[11],
             "27 E <circle> gives its fill by the colou",
             common[13],
             common[14],
         }},
    };
    for (const auto& c : cases) {
        const aicheck::Report report = aicheck::CheckSvg(kEveryRule, c.profile);
        EXPECT_EQ(report.status, Status::kFindings) << report.error;
        EXPECT_EQ(Starts(report, c.findings), c.findings) << aicheck::ProfileName(c.profile);
    }
}

TEST(SvgCheck, CleanDrawingsPassAndEachRuleHasItsEdge)
{
    // Closed, filled, on the page, colours by value: nothing to say.
    EXPECT_EQ(Brief(CheckDrawing("<rect x=\"0\" y=\"0\" width=\"100\" height=\"100\" "
                                 "fill=\"#ff0000\"/>\n<path d=\"M 10 10 h 10 v 10 z\"/>\n")),
              std::vector<std::string>{});
    // A path ending where it began is closed; the last point a thousandth off is not.
    EXPECT_EQ(Brief(CheckDrawing("<path d=\"M 10 10 L 20 10 L 10 10\"/>\n")),
              std::vector<std::string>{});
    EXPECT_EQ(Brief(CheckDrawing("<path d=\"M 10 10 L 20 10 L 10 10.1\"/>\n")),
              std::vector<std::string>{"2 W <path> has 1 open subpath (filled: t"});
    // Tiny is measured after the transform: a segment 0.004 units long at
    // scale 10 is 0.04 pt, and a long one scaled down is tiny.
    EXPECT_EQ(Brief(CheckDrawing("<path transform=\"scale(10)\" d=\"M 1 1 h 0.004 v 1 z\"/>\n")),
              std::vector<std::string>{});
    EXPECT_EQ(Brief(CheckDrawing("<path transform=\"scale(0.001)\" d=\"M 1 1 h 5 v 500 z\"/>\n")),
              std::vector<std::string>{"2 W <path> has 1 segment shorter than 0."});
    // Duplicates are the same geometry after transforms, however written.
    EXPECT_EQ(Brief(CheckDrawing("<rect x=\"10\" y=\"10\" width=\"5\" height=\"5\"/>\n"
                                 "<rect transform=\"translate(5 5)\" x=\"5\" y=\"5\" width=\"5\" "
                                 "height=\"5\"/>\n<rect x=\"10\" y=\"10\" width=\"5\" "
                                 "height=\"6\"/>\n")),
              std::vector<std::string>{"3 W <rect> repeats the path of line 2 ex"});
    // Wholly beyond the page, and the page from the viewBox alone.
    EXPECT_EQ(Brief(CheckDrawing("<rect x=\"200\" y=\"10\" width=\"5\" height=\"5\"/>\n"
                                 "<rect x=\"95\" y=\"-1\" width=\"5\" height=\"5\"/>\n"
                                 "<rect x=\"95\" y=\"95\" width=\"5\" height=\"5\"/>\n",
                                 Profile::kNone, "")),
              (std::vector<std::string>{"2 W <rect> lies wholly beyond the page: ",
                                        "3 W <rect> lies partly beyond the page: "}));
    // Hidden content is not drawn and not judged; defs are judged where used.
    EXPECT_EQ(Brief(CheckDrawing("<g display=\"none\"><text>x</text></g>\n<defs><rect "
                                 "opacity=\"0.5\" width=\"1\" height=\"1\"/></defs>\n")),
              std::vector<std::string>{});
    // A width beyond the range of numbers is said in numbers.
    EXPECT_EQ(Brief(CheckDrawing("<rect width=\"1\" height=\"1\" stroke=\"#000\" "
                                 "stroke-width=\"1e300\" transform=\"scale(1e10)\"/>\n",
                                 Profile::kLaser),
                    50),
              (std::vector<std::string>{"2 E <rect> has a stroke more than 1e308 pt wide: l",
                                        "2 W <rect> lies partly beyond the page: what is of"}));
    // Inherited transparency is named where it is set, once.
    EXPECT_EQ(Brief(CheckDrawing("<g fill-opacity=\"0.5\">\n<rect width=\"1\" height=\"1\"/>\n"
                                 "<rect width=\"2\" height=\"2\"/>\n</g>\n")),
              std::vector<std::string>{"2 W <g> has fill-opacity 0.5: the format"});
    // Colour names in style sheets and style attributes too; keywords are not names.
    EXPECT_EQ(
        Brief(CheckDrawing("<style>.a { fill: navy }</style>\n<rect class=\"a\" "
                           "width=\"1\" height=\"1\"/>\n<rect style=\"fill:none;"
                           "stroke:currentColor;stroke-width:0\" width=\"1\" height=\"1\"/>"
                           "\n<rect style=\"fill: Teal\" width=\"1\" height=\"1\"/>\n",
                           Profile::kPrint),
              60),
        (std::vector<std::string>{"3 E <rect> gives its fill by the colour name 'navy', which t",
                                  "5 E <rect> gives its fill by the colour name 'Teal', which t"}));
}

TEST(SvgCheck, ACuttersDrawingPassesTheCutProfile)
{
    const std::string cut =
        "<defs><linearGradient id=\"CutContour\"><stop stop-color=\"#ff00ff\"/>"
        "</linearGradient></defs>\n"
        "<g inkscape:groupmode=\"layer\" inkscape:label=\"Art\">\n"
        "<rect x=\"10\" y=\"10\" width=\"20\" height=\"20\" fill=\"#00ff00\"/>\n"
        "<rect x=\"10\" y=\"10\" width=\"20\" height=\"20\" fill=\"none\" "
        "stroke=\"url(#CutContour)\" stroke-width=\"WIDTH\"/>\n</g>\n"
        "<g inkscape:groupmode=\"layer\" inkscape:label=\"Registration\">\n"
        "<rect id=\"regmark-1\" x=\"1\" y=\"1\" width=\"2\" height=\"2\"/>\n</g>\n";
    std::string hairline = cut;
    hairline.replace(hairline.find("WIDTH"), 5, "0.25");
    EXPECT_EQ(Brief(CheckDrawing(hairline, Profile::kCut)), std::vector<std::string>{});
    // The swatch's stroke is the cut line: it is judged as one, the art's is not.
    std::string thick = cut;
    thick.replace(thick.find("WIDTH"), 5, "0.5");
    EXPECT_EQ(Brief(CheckDrawing(thick, Profile::kCut)),
              std::vector<std::string>{"5 E <rect> has a stroke 0.5 pt wide: cut"});
    // A name quoted from the drawing keeps the finding on one line.
    const aicheck::Report two =
        CheckDrawing(hairline + "<g inkscape:groupmode=\"layer\" inkscape:label=\"two&#10;lines\">"
                                "<rect width=\"1\" height=\"1\"/></g>\n",
                     Profile::kCut);
    ASSERT_EQ(two.findings.size(), 1u);
    EXPECT_EQ(two.findings[0].Text().substr(two.findings[0].Text().find(": error:")),
              ": error: a second art layer (two lines): cutters take one art layer, besides the "
              "registration marks' and the cut line's; merge the art into one layer");
    // Content outside the layers is a second art layer.
    EXPECT_EQ(
        Brief(CheckDrawing(hairline + "<circle r=\"2\" cx=\"50\" cy=\"50\"/>\n", Profile::kCut)),
        std::vector<std::string>{"10 E <circle> lies outside every layer, "});
}

TEST(SvgCheck, WhatAUseDrawsIsJudgedAtTheUse)
{
    EXPECT_EQ(Brief(CheckDrawing("<defs><rect id=\"r\" width=\"10\" height=\"10\" "
                                 "stroke=\"#000\"/></defs>\n<use href=\"#r\" x=\"5\"/>\n"
                                 "<use href=\"#r\" x=\"5\"/>\n<use href=\"#r\" x=\"200\"/>\n"
                                 "<g id=\"a\"><use href=\"#b\"/></g><g id=\"b\"><use "
                                 "href=\"#a\"/></g>\n",
                                 Profile::kStock),
                    45),
              (std::vector<std::string>{"3 E <rect> has a stroke 1 pt wide, which the ",
                                        "4 E <rect> has a stroke 1 pt wide, which the ",
                                        "4 W <rect> repeats the path of line 3 exactly",
                                        "5 E <rect> has a stroke 1 pt wide, which the ",
                                        "5 W <rect> lies wholly beyond the page: what "}));
    // References that multiply are followed up to a bound, then named once:
    // the check ends.
    std::string body = "<defs><path id=\"g0\" d=\"M 1 1 h 1 v 1 z\"/>\n";
    for (int i = 1; i <= 30; ++i)
        body += "<g id=\"g" + std::to_string(i) + "\"><use href=\"#g" + std::to_string(i - 1) +
                "\"/><use href=\"#g" + std::to_string(i - 1) + "\"/></g>\n";
    body += "</defs><use href=\"#g30\"/>\n";
    const aicheck::Report report = CheckDrawing(body);
    int named = 0;
    for (const aicheck::Finding& f : report.findings)
        named += f.message == "the drawing's references draw more than 200000 elements: what "
                              "lies beyond was not checked";
    EXPECT_EQ(named, 1);
}

TEST(SvgCheck, DrawingsThatCannotBeReadAreUnreadable)
{
    TempDir dir;
    WriteFile(dir.File("bad.svg"), "<svg xmlns=\"http://www.w3.org/2000/svg\">\n<g>\n</svg>\n");
    aicheck::Report report = aicheck::CheckSvg(dir.File("bad.svg"), Profile::kNone);
    EXPECT_EQ(report.status, Status::kUnreadable);
    EXPECT_EQ(report.error.rfind(dir.File("bad.svg") + ":4: ", 0), 0u) << report.error;
    WriteFile(dir.File("html.svg"), "<html/>\n");
    report = aicheck::CheckFile(dir.File("html.svg"), Profile::kNone);
    EXPECT_EQ(report.status, Status::kUnreadable);
    EXPECT_NE(report.error.find("not an SVG document"), std::string::npos);
    // An external entity is never read: the check opens the one file it is given.
    WriteFile(dir.File("secret"), "<text>secret</text>");
    WriteFile(dir.File("xxe.svg"),
              "<!DOCTYPE svg [<!ENTITY e SYSTEM \"" + dir.File("secret") +
                  "\">]>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\">"
                  "&e;</svg>\n");
    report = aicheck::CheckFile(dir.File("xxe.svg"), Profile::kNone);
    EXPECT_EQ(report.status, Status::kClean) << report.error;
    // Compressed drawings are checked as their text; damaged ones are refused.
    WriteFile(dir.File("cut.svgz"), std::string("\x1f\x8b\x08\x00", 4));
    EXPECT_EQ(aicheck::CheckFile(dir.File("cut.svgz"), Profile::kNone).status, Status::kUnreadable);
}
#endif
