// SVG drawings through the built tool: the records it derives, the file it exports, its errors.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/ExportSession.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

ToolRun Aiexport(const TempDir& dir, const std::string& args)
{
    static TempDir logs;
    const std::string command =
        "cd '" + dir.path + "' && SOURCE_DATE_EPOCH=0 '" AIEXPORT_TOOL_PATH "' " + args +
        " </dev/null >'" + logs.File("out") + "' 2>'" + logs.File("err") + "'";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(logs.File("out"));
    run.err = ReadFile(logs.File("err"));
    return run;
}

const std::string kSvgDir = AIEXPORT_SOURCE_DIR "/tests/svg/";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

#ifdef AIEXPORT_HAVE_SVG

namespace {

// The text between "%%EndSetup" and the trailer: the drawing.
std::string DrawingOf(const std::string& file)
{
    const std::size_t start = file.find("%%EndSetup\n");
    const std::size_t end = file.find("%%PageTrailer");
    return start == std::string::npos || end == std::string::npos ? std::string()
                                                                  : file.substr(start, end - start);
}

}  // namespace

// Each test drawing gives the records of its .records file, reviewed line by
// line against the drawing's geometry when it was written.
TEST(SvgInput, RecordsOfTheTestDrawings)
{
    TempDir dir;
    for (const char* name : {"shapes", "style", "layers", "gradients", "clip-text", "images"}) {
        SCOPED_TRACE(name);
        const ToolRun run = Aiexport(dir, "--no-flatten --records '" + kSvgDir + name + ".svg'");
        EXPECT_EQ(run.status, 0) << run.err;
        const std::string expected = ReadFile(kSvgDir + name + ".records");
        // The first line names the file as given on the command line.
        const std::size_t body = run.out.find('\n');
        ASSERT_NE(body, std::string::npos);
        EXPECT_EQ(run.out.substr(body), expected.substr(expected.find('\n')));
    }
    EXPECT_EQ(dir.Listing(), "");  // --records writes no file
}

// What --records prints is what the tool sends: replayed, it gives the same
// file byte for byte.
TEST(SvgInput, PrintedRecordsReplayToTheSameFile)
{
    TempDir direct, replayed;
    const std::string svg = "'" + kSvgDir + "clip-text.svg'";
    ASSERT_EQ(Aiexport(direct, svg + " out.ai").status, 0);
    const ToolRun records = Aiexport(replayed, "--records " + svg);
    WriteFile(replayed.File("drawing.records"), records.out);
    ASSERT_EQ(Aiexport(replayed, "drawing.records out.ai").status, 0);
    const std::string a = ReadFile(direct.File("out.ai"));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, ReadFile(replayed.File("out.ai")));
}

TEST(SvgInput, ExportedFileCarriesTheDrawing)
{
    TempDir dir;
    ASSERT_EQ(Aiexport(dir, "'" + kSvgDir + "layers.svg' layers.ai").status, 0);
    const std::string layers = DrawingOf(ReadFile(dir.File("layers.ai")));
    // The hidden layer is declared invisible; the unbalanced name is mended.
    EXPECT_TRUE(Contains(layers, "0  1 1 1 0 0 -1 1  0 0  Lb\n(Hidden :-]) Ln\n")) << layers;
    EXPECT_TRUE(Contains(layers, "(Back 2) Ln\n"));
    // The back rectangle fills the 2 by 1 inch page (144 by 72 points).
    EXPECT_TRUE(Contains(
        layers, "0.0000 72.0000 m\n144.0000 72.0000 l\n144.0000 0.0000 l\n0.0000 0.0000 l\nf\n"));

    ASSERT_EQ(Aiexport(dir, "'" + kSvgDir + "gradients.svg' gradients.ai").status, 0);
    const std::string gradients = ReadFile(dir.File("gradients.ai"));
    EXPECT_TRUE(Contains(gradients, "1 (across) 0.0000 72.0000 0.0000 36.0000 1 0 0 1 0 0 Bg\n"));
    EXPECT_TRUE(Contains(gradients, "1 (glow) 72.0000 18.0000 0.0000 18.0000 1 0 0 1 0 0 Bg\n"));
    EXPECT_TRUE(Contains(gradients, "%AI5_BeginGradient: (user) \n(user) 0 3 Bd\n"));

    ASSERT_EQ(Aiexport(dir, "'" + kSvgDir + "images.svg' images.ai").status, 0);
    const std::string images = DrawingOf(ReadFile(dir.File("images.ai")));
    // Two pixels across an inch, two down half an inch, from the top left.
    EXPECT_TRUE(Contains(images, "[ 36.0000 0.0000 -0.0000 -18.0000 0.0000 72.0000 ] 2 2 0 Xh\n"))
        << images;
    EXPECT_TRUE(Contains(images, "%FF000000FF000000FFFFFFFF\n"));

    ASSERT_EQ(Aiexport(dir, "'" + kSvgDir + "clip-text.svg' text.ai").status, 0);
    const std::string text = DrawingOf(ReadFile(dir.File("text.ai")));
    EXPECT_TRUE(Contains(text, "(Caf\\351 ) Tx 1 15 Tk\n/_TimesNewRomanPS-BoldItalicMT 24.0000 "
                               "18.0000 -6.0000 Tf\n(bold) Tx"))
        << text;
    EXPECT_TRUE(Contains(text, "h\nW\nn\n"));
}

TEST(SvgInput, UnsupportedContentIsWarnedOncePerKind)
{
    TempDir dir;
    const ToolRun run = Aiexport(dir, "--no-flatten '" + kSvgDir + "images.svg' out.ai");
    EXPECT_EQ(run.status, 0);
    for (const char* kind :
         {"images.svg:15: warning: left out: transparency of images (composited on white)\n",
          "images.svg:18: warning: left out: filters\n",
          "images.svg:18: warning: left out: opacity\n",
          "images.svg:19: warning: left out: pattern fills that are rotated, skewed or "
          "overflow their tile (the fallback colour or none is used)\n",
          "images.svg:20: warning: left out: markers that refer to missing elements\n",
          "images.svg:22: warning: left out: <foreignObject> elements\n"})
        EXPECT_TRUE(Contains(run.err, kind)) << run.err;
    // Opacity appears on two elements and is reported once.
    EXPECT_EQ(run.err.find("opacity"), run.err.rfind("opacity"));
}

TEST(SvgInput, BrokenInputStopsWithStatus2AndWritesNothing)
{
    TempDir dir;
    WriteFile(dir.File("html.svg"), "<html>\n<body/></html>\n");
    WriteFile(dir.File("plain.txt"), "<svg xmlns='http://www.w3.org/2000/svg'><rect</svg>");
    const struct {
        std::string args, message;
    } cases[] = {
        {"'" + kSvgDir + "malformed.svg' out.ai",
         kSvgDir + "malformed.svg:3: Opening and ending tag mismatch: rect line 2 and svg\n"},
        {"html.svg out.ai",
         "html.svg:1: not an SVG document (its root element is <html>, not <svg>)\n"},
        // Found by its content, whatever its name.
        {"plain.txt out.ai", "plain.txt:1: error parsing attribute name\n"},
        {"missing.svg out.ai", "aiexport: cannot read missing.svg: No such file or directory\n"},
        {"--records html.svg out.ai", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun run = Aiexport(dir, c.args);
        EXPECT_EQ(run.status, 2);
        if (!c.message.empty()) {
            EXPECT_EQ(run.err, c.message);
        }
    }
    EXPECT_EQ(dir.Listing(), "html.svg\nplain.txt\n");
}

// Values the parser cannot read are left out, never fatal: real files carry
// CSS keywords and editor leftovers.
TEST(SvgInput, UnreadableValuesAreLeftOut)
{
    TempDir dir;
    WriteFile(dir.File("v.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
              "<rect width='10' height='10' fill='transparent' stroke='#zz' transform='rotate('/>"
              "<path d='M 0 0 L 10 10 L' stroke='rgb(' fill='blue' stroke-width='x'/></svg>");
    const ToolRun run = Aiexport(dir, "--records v.svg");
    EXPECT_EQ(run.status, 0) << run.err;
    // transparent paints nothing; the stroke keeps its inherited none; the
    // transform is dropped; the path is drawn up to its error, closed to be
    // filled (open, the module would stroke it).
    EXPECT_TRUE(Contains(
        run.out, "SetFillType 5\nSetStroke 5\nBeginPath\nMoveTo 0 1\nLineTo 0.1041666667 1\n"))
        << run.out;
    EXPECT_TRUE(Contains(run.out,
                         "SetFillColorByValue 0 0 0 255\nSetStroke 5\nBeginPath\nMoveTo 0 1\n"
                         "LineTo 0.1041666667 0.8958333333\nClosePath\nEndPath\n"));
    EXPECT_TRUE(Contains(run.err, "v.svg:1: warning: left out: malformed transforms"));
    EXPECT_TRUE(Contains(run.err, "v.svg:1: warning: left out: malformed path data"));
}

// Text and names reach the records as data, never as script syntax.
TEST(SvgInput, TextIsEscapedForTheScript)
{
    TempDir dir;
    WriteFile(dir.File("t.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
              "<text x='0' y='50' xml:space='preserve'>${OUTDIR} \"q\" \\ a\tb</text></svg>");
    const ToolRun run = Aiexport(dir, "--records t.svg");
    EXPECT_TRUE(Contains(run.out, "Text \"\\x24{OUTDIR} \\\"q\\\" \\\\ a b\"\n")) << run.out;
    ASSERT_EQ(Aiexport(dir, "t.svg t.ai").status, 0);
    EXPECT_TRUE(Contains(ReadFile(dir.File("t.ai")), "(${OUTDIR} \"q\" \\\\ a b) Tx"));
}

// Arc parameters out of range, as SVG defines them: a zero radius draws a
// line, the same end point nothing, radii too small grow to reach the end
// (here a half circle of radius 24 through the top).
TEST(SvgInput, ArcsOutOfRangeAreLinesOrGrow)
{
    TempDir dir;
    WriteFile(dir.File("a.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
              "<path d='M 0 48 A 0.22 0 0 1 0 24,48 A 5 5 0 0 1 24,48 a 1 1 0 0 1 48,0'"
              " fill='none' stroke='black'/></svg>");
    const ToolRun run = Aiexport(dir, "--records a.svg");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::size_t start = run.out.find("MoveTo");
    const std::string path = run.out.substr(start, run.out.find("EndPath") - start);
    EXPECT_EQ(path.rfind("MoveTo 0 0.5\nLineTo 0.25 0.5\nCurveTo ", 0), 0u) << path;
    // Thirds of the half circle: at 150 and 30 degrees, in page inches.
    EXPECT_TRUE(Contains(path, " 0.375 0.7165063509\nCurveTo ")) << path;
    EXPECT_TRUE(Contains(path, " 0.625 0.7165063509\nCurveTo ")) << path;
    EXPECT_EQ(path.substr(path.size() - 10), " 0.75 0.5\n");
}

// Gradient names stay distinct after the module drops a tail of an
// underscore and digits, and parentheses keep the strings whole.
TEST(SvgInput, GradientIdsStayDistinctWhenWritten)
{
    TempDir dir;
    std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'><defs>";
    const char* ids[] = {"sky", "sky_", "sky_2 ", "a(b"};
    for (const char* id : ids)
        svg += std::string("<linearGradient id='") + id +
               "'><stop stop-color='red'/><stop offset='1'/>"
               "</linearGradient>";
    svg += "</defs>";
    for (const char* id : ids)
        svg += std::string("<rect width='9' height='9' fill='url(#") + id + ")'/>";
    WriteFile(dir.File("g.svg"), svg + "</svg>");
    ASSERT_EQ(Aiexport(dir, "g.svg g.ai").status, 0);
    const std::string file = ReadFile(dir.File("g.ai"));
    for (const char* name : {"(sky)", "(sky-)", "(sky-2 )", "(a[b)"}) {
        const std::string definition = std::string("%AI5_BeginGradient: ") + name + " \n";
        EXPECT_EQ(file.find(definition), file.rfind(definition)) << name;
        EXPECT_TRUE(Contains(file, definition)) << name << "\n" << file;
        EXPECT_TRUE(Contains(file, std::string("1 ") + name + " ")) << name;  // its fill
    }
}

// What the reader lays out or repeats itself, checked where a slip shows:
// numbers separated by their signs, a marker turned with its path and scaled
// by the stroke, a dash offset, an open path filled, fill rules, spacing as
// tracking, text along a path and flowed into lines, a pattern as a tile and
// one it cannot express.
TEST(SvgInput, MarkersPatternsRulesAndLaidOutText)
{
    TempDir dir;
    WriteFile(dir.File("f.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'"
              " width='192' height='96'>"
              "<marker id='m' refX='4' refY='2' orient='auto' style='overflow:visible'>"
              "<path d='M0 0L4 2L0 4z'/></marker>"
              "<pattern id='p' width='8' height='8' patternUnits='userSpaceOnUse'>"
              "<rect width='4' height='4'/></pattern>"
              "<pattern id='r' href='#p' patternTransform='rotate(30)'/>"
              "<path d='M0 0V96' stroke='#000' stroke-width='2' marker-end='url(#m)'"
              " transform='translate(96-48)'/>"
              "<path d='M0 48H192' stroke='#000' stroke-dasharray='20 10' stroke-dashoffset='15'/>"
              "<path d='M0 0L8 8L0 8' fill='#00f' stroke='#000'/>"
              "<path d='M0 0H8V8H0zM2 2H6V6H2z'/><path d='M0 0L8 8H0L8 0z' fill-rule='evenodd'/>"
              "<rect width='16' height='16' fill='url(#p)'/>"
              "<rect width='16' height='16' fill='url(#r) #f00'/>"
              "<text y='20' font-size='20' letter-spacing='2' word-spacing='10'>a b</text>"
              "<text font-size='20' font-family='DejaVu Serif'>"
              "<textPath xlink:href='#v'>AB</textPath></text>"
              "<path id='v' d='M48 0V96' fill='none'/>"
              "<flowRoot font-size='10' font-family='DejaVu Serif'><flowRegion><rect width='30' "
              "height='30'/></flowRegion>"
              "<flowPara>aa bb cc</flowPara></flowRoot></svg>");
    const ToolRun run = Aiexport(dir, "--no-flatten --records f.svg");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* part :
         {// translate(96-48) moves the line; the arrow's tip sits on its end, pointing down.
          "MoveTo 1 1.5\nLineTo 1 0.5\nEndPath\nBeginGroup\nSetFillType 1\n"
          "SetFillColorByValue 0 0 0 0\nSetStroke 5\nBeginPath\nMoveTo 1.041666667 "
          "0.5833333333\nLineTo 1 0.5\n"
          "LineTo 0.9583333333 0.5833333333\n",
          // A quarter into a dash: 3 of the module's 12 points solid, the dashes from 15.
          "SetStroke 0 0.01041666667 2 1 4\nSetStrokeColorByValue 0 0 0 0\nBeginPath\n"
          "MoveTo 0 0.5\nLineTo 0.04166666667 0.5\nEndPath\nSetFillType 5\n"
          "SetStroke 1 0.01041666667 2 1 4\n",
          "BeginPath\nMoveTo 0.2083333333 0.5\nLineTo 2 0.5\n",
          // An open path filled closed, then stroked open.
          "SetFillColorByValue 0 0 0 255\nSetStroke 5\nBeginPath\nMoveTo 0 1\n"
          "LineTo 0.08333333333 0.9166666667\nLineTo 0 0.9166666667\nClosePath\nEndPath\n"
          "SetFillType 5\nSetStroke 0 0.01041666667 2 1 4\nSetStrokeColorByValue 0 0 0 0\n"
          "BeginPath\nMoveTo 0 1\nLineTo 0.08333333333 0.9166666667\nLineTo 0 0.9166666667\n"
          "EndPath\n",
          // Non-zero after the first member; an even-odd path is a compound of one.
          "ClosePath\nEndPath\nSetFillMode 0\nBeginPath\nMoveTo 0.02083333333",
          "BeginComposite\nBeginPath\nMoveTo 0 1\nLineTo 0.08333333333 0.9166666667\n",
          // The tile: an unpainted cell, then its content; rotated, the fallback colour.
          "SetPatternDef 1 \"p\" 0.08333333333 0.08333333333\n",
          "BeginPattern\nSetFillType 5\nSetStroke 5\nBeginPath\nMoveTo 0 1\n"
          "LineTo 0.08333333333 1\n",
          "SetFillTypeName 3 1 \"p\"\nSetStroke 5\nSetFillMode 0\n",
          "SetFillColorByValue 0 255 0 0\n",
          // Thousandths of an em: letter spacing, and word spacing on blanks.
          "SetTextTracking 100\nText \"a\"\nSetTextTracking 600\nText \" \"\n"
          "SetTextTracking 100\nText \"b\"\n"})
        EXPECT_TRUE(Contains(run.out, part)) << part << "\n" << run.out;
#ifdef AIEXPORT_HAVE_FONTS
    for (const char* part :
         {// Down the path, one character each, B the font's A (1479/2048 em) further.
          "SetTextMatrix 0 -0.01388888889 0.01388888889 0 0.5 1\n",
          "SetTextMatrix 0 -0.01388888889 0.01388888889 0 0.5 0.8495483398\n",
          // Two lines of 30 units: the first half the leading and the font's
          // ascent (1556/2048 em) below the top, the next 1.25 em further.
          "0 0.9078369141\nSetCharAttr", "Text \"aa bb\"\n", "0 0.7776285807\nSetCharAttr"})
        EXPECT_TRUE(Contains(run.out, part)) << part << "\n" << run.out;
#endif
    EXPECT_EQ(run.err,
              "f.svg:1: warning: left out: pattern fills that are rotated, skewed or overflow "
              "their tile (the fallback colour or none is used)\n");
#ifdef AIEXPORT_HAVE_RSVG
    // Flattened, the turned pattern is a picture of itself.
    const ToolRun flat = Aiexport(dir, "--records f.svg");
    EXPECT_TRUE(Contains(flat.out, "BeginBitmap")) << flat.out;
    EXPECT_EQ(flat.err, "");
#endif
}

// A gradient stroke is drawn in its last colour, whatever its units, and
// defines no gradient.
TEST(SvgInput, GradientStrokesTakeTheLastColour)
{
    TempDir dir;
    WriteFile(dir.File("s.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
                                 "<linearGradient id='g' gradientUnits='userSpaceOnUse' x2='9'>"
                                 "<stop stop-color='red'/><stop offset='1' stop-color='blue'/>"
                                 "</linearGradient><path d='M 0 0 H 9' stroke='url(#g)'/></svg>");
    const ToolRun run = Aiexport(dir, "--records s.svg");
    EXPECT_TRUE(Contains(run.out, "SetStrokeColorByValue 0 0 0 255\n")) << run.out;
    EXPECT_FALSE(Contains(run.out, "SetGradientDef"));
}

// References that multiply a drawing beyond what any file holds: refused
// with a message in bounded time, nothing written.
TEST(SvgInput, DrawingsThatMultiplyThemselvesAreRefused)
{
    TempDir dir;
    std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'><defs>"
                      "<rect id='l0' width='1' height='1'/>";
    for (int level = 1; level <= 9; ++level) {
        svg += "<g id='l" + std::to_string(level) + "'>";
        for (int k = 0; k < 10; ++k)
            svg += "<use href='#l" + std::to_string(level - 1) + "'/>";
        svg += "</g>";
    }
    WriteFile(dir.File("b.svg"), svg + "</defs><use href='#l9'/></svg>");
    const ToolRun run = Aiexport(dir, "b.svg b.ai");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("b.svg: too large to convert: more than 64 MB of records\n", 0), 0u)
        << run.err;
    EXPECT_EQ(dir.Listing(), "b.svg\n");
}

// A PNG whose chunk claims more bytes than the image holds (here 1.2 GB):
// left out, before the decoder would reserve room for them.
TEST(SvgInput, ImagesLongerThanTheirDataAreLeftOut)
{
    TempDir dir;
    WriteFile(dir.File("i.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
              "<image width='8' height='8' href='data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAA"
              "AEAAAABCAYAAAAfFJAcSAAADUlEQVR4nGNgYGBoAAAAhQCBmpSThwAAAABJRU5ErkJggg=='/></svg>");
    const ToolRun run = Aiexport(dir, "i.svg i.ai");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "i.svg:1: warning: left out: images that cannot be decoded "
                       "(a PNG whose chunks do not fit in its data)\n");
}

#else

TEST(SvgInput, BuildWithoutSvgSaysSo)
{
    TempDir dir;
    WriteFile(dir.File("d.svg"), "<svg/>");
    const ToolRun run = Aiexport(dir, "d.svg out.ai");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Contains(run.err, "SVG input was not built")) << run.err;
    EXPECT_EQ(dir.Listing(), "d.svg\n");
}

#endif
