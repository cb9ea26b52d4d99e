// SVG drawings through the built tool: the records it derives, the file it exports, its errors.
#include <gtest/gtest.h>

#include <algorithm>

#include <sys/wait.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/ExportSession.h"

#ifdef AIEXPORT_HAVE_SVG
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include "RecordSink.h"
#include "ScriptPrinter.h"
#include "SvgConverter.h"
#endif

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
// one turned, drawn as copies of its tile.
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
          // The tile: an unpainted cell, then its content; rotated, copies of the
          // tile in a clip of the shape (no fallback colour).
          "SetPatternDef 1 \"p\" 0.08333333333 0.08333333333\n",
          "BeginPattern\nSetFillType 5\nSetStroke 5\nBeginPath\nMoveTo 0 1\n"
          "LineTo 0.08333333333 1\n",
          "SetFillTypeName 3 1 \"p\"\nSetStroke 5\nSetFillMode 0\n",
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
    EXPECT_FALSE(Contains(run.out, "SetFillColorByValue 0 255 0 0\n")) << run.out;
    EXPECT_EQ(run.err, "");
    // Flattened too, the turned pattern is vectors, not a picture.
    const ToolRun flat = Aiexport(dir, "--records f.svg");
    EXPECT_FALSE(Contains(flat.out, "BeginBitmap")) << flat.out;
    EXPECT_EQ(flat.err, "");
#ifdef AIEXPORT_HAVE_RSVG
    // Pictures asked for: a picture of it.
    const ToolRun raster = Aiexport(dir, "--flatten=raster --records f.svg");
    EXPECT_TRUE(Contains(raster.out, "BeginBitmap")) << raster.out;
#endif
}

// A shape's gradient stroke is the area the stroke covers, filled with the
// gradient, whatever its units; no warning.
TEST(SvgInput, GradientStrokesAreTheirAreasFilled)
{
    TempDir dir;
    WriteFile(dir.File("s.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
                                 "<linearGradient id='g' gradientUnits='userSpaceOnUse' x2='9'>"
                                 "<stop stop-color='red'/><stop offset='1' stop-color='blue'/>"
                                 "</linearGradient><path d='M 0 0 H 9' stroke='url(#g)'/></svg>");
    const ToolRun run = Aiexport(dir, "--records s.svg");
    EXPECT_FALSE(Contains(run.out, "SetStrokeColorByValue 0 0 0 255\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "SetGradientDef 1 \"g\"")) << run.out;
    EXPECT_TRUE(Contains(run.out, "SetFillTypeName 2 1 \"g\"")) << run.out;
    EXPECT_EQ(run.err, "");
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
    EXPECT_EQ(run.err, "b.svg: too large to convert: more than 2 million elements drawn "
                       "(through references)\n");
    EXPECT_EQ(dir.Listing(), "b.svg\n");

    // 160,000 lines of 50 points drawn through references are fewer elements
    // than that, but more records than the bound: refused before any is sent.
    std::string points;
    for (int k = 0; k < 50; ++k)
        points += std::to_string(k) + "," + std::to_string(k % 7) + " ";
    svg = "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'><defs>"
          "<polyline id='l0' fill='none' stroke='black' points='" +
          points + "'/>";
    for (int level = 1; level <= 4; ++level) {
        svg += "<g id='l" + std::to_string(level) + "'>";
        for (int k = 0; k < 20; ++k)
            svg += "<use href='#l" + std::to_string(level - 1) + "'/>";
        svg += "</g>";
    }
    WriteFile(dir.File("b.svg"), svg + "</defs><use href='#l4'/></svg>");
    const ToolRun records = Aiexport(dir, "b.svg b.ai");
    EXPECT_EQ(records.status, 2);
    EXPECT_EQ(records.err, "b.svg: too large to convert: more than 64 MB of records\n");
    EXPECT_EQ(dir.Listing(), "b.svg\n");
    recordscript::RecordList sent;
    const svgreader::Result result =
        svgreader::Convert(svgreader::Source::File(dir.File("b.svg")), sent);
    EXPECT_FALSE(result.converted);
    EXPECT_TRUE(sent.records.empty());
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

namespace {

std::string Big32(std::uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// Zlib's deflate, with a gzip header when `gzip`.
std::string Deflate(const std::string& data, bool gzip)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, gzip ? 31 : 15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// An RGB PNG of one colour.
std::string Png(std::uint32_t width, std::uint32_t height, const std::string& rgb)
{
    auto chunk = [](const std::string& kind, const std::string& data) {
        const std::string body = kind + data;
        return Big32(static_cast<std::uint32_t>(data.size())) + body +
               Big32(static_cast<std::uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
    };
    std::string row(1, '\0');
    for (std::uint32_t x = 0; x < width; ++x)
        row += rgb;
    std::string rows;
    for (std::uint32_t y = 0; y < height; ++y)
        rows += row;
    return "\x89PNG\r\n\x1a\n" +
           chunk("IHDR", Big32(width) + Big32(height) + std::string("\x08\x02\0\0\0", 5)) +
           chunk("IDAT", Deflate(rows, false)) + chunk("IEND", "");
}

std::string Base64(const std::string& bytes)
{
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

const std::string kSvgOpen =
    "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
    "xmlns:xi='http://www.w3.org/2001/XInclude' width='96' height='96'>";

// An image the reader draws, and the same in a group the renderer draws: a
// blend mode over the transparent page keeps the image's own colours, so
// the pixels of either are found in the file.
std::string Flattened(const std::string& href)
{
    return kSvgOpen + "<image width='40' height='40' href='" + href +
           "'/><g style='mix-blend-mode:multiply'><image x='50' y='50' width='40' height='40' "
           "href='" +
           href + "'/></g></svg>";
}

}  // namespace

// Files from strangers: the converter reads only what the drawing may link
// (regular files in its own directory or below), and every file finishes or
// is refused within its budgets. The outside file's colour (123456) and text
// never reach what it writes.
TEST(SvgInput, HostileDrawingsReadOnlyWhatTheyAreGiven)
{
    TempDir dir;
    const std::string drawings = dir.File("drawings");
    const std::string outside = dir.File("outside");
    ASSERT_EQ(::mkdir(drawings.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(outside.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((drawings + "/sub").c_str(), 0755), 0);
    const std::string secret = outside + "/secret.png";
    WriteFile(secret, Png(2, 2, "\x12\x34\x56"));
    WriteFile(outside + "/notes.txt", "SECRET-NOTES");
    WriteFile(drawings + "/notes.txt", "SECRET-NOTES");
    WriteFile(drawings + "/sub/mine.png", Png(2, 2, "\xab\xcd\xef"));
    ASSERT_EQ(::symlink(secret.c_str(), (drawings + "/sub/link.png").c_str()), 0);
    ASSERT_EQ(::mkfifo((drawings + "/pipe.png").c_str(), 0644), 0);
    // Standard input read from here: the outside file by a path relative to it.
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    std::string fromHere;
    for (const char* c = cwd; *c != '\0'; ++c)
        fromHere += *c == '/' ? "../" : "";
    fromHere += secret.substr(1);

    const std::string laughs = [] {
        std::string dtd = "<!DOCTYPE svg [<!ENTITY a0 'aaaaaaaaaa'>";
        for (int i = 1; i < 10; ++i) {
            dtd += "<!ENTITY a" + std::to_string(i) + " '";
            for (int k = 0; k < 10; ++k)
                dtd += "&a" + std::to_string(i - 1) + ";";
            dtd += "'>";
        }
        return dtd + "]>";
    }();
    std::string uses = "<defs><g id='u0'><rect width='1' height='1' style='";
    for (int k = 0; k < 100000; ++k)
        uses += "fill:red;";
    uses += "'/></g>";
    for (int level = 1; level <= 8; ++level)
        uses += "<g id='u" + std::to_string(level) + "'><use href='#u" + std::to_string(level - 1) +
                "'/><use href='#u" + std::to_string(level - 1) + "'/></g>";
    uses += "</defs><use href='#u8'/>";
    std::string chain = "<defs><rect id='c0' width='1' height='1'/>";
    for (int level = 1; level <= 8; ++level) {
        chain += "<g id='c" + std::to_string(level) + "'>";
        for (int k = 0; k < 10; ++k)
            chain += "<use href='#c" + std::to_string(level - 1) + "'/>";
        chain += "</g>";
    }
    chain += "</defs><use href='#c8'/>";
    const std::string big = std::string(100000, 'x');
    std::string amplified = "<!DOCTYPE svg [<!ENTITY big '" + big + "'>]>" + kSvgOpen + "<style>";
    for (int k = 0; k < 20000; ++k)
        amplified += "&big;";
    amplified += "</style></svg>";
    std::string nested = kSvgOpen;
    for (int k = 0; k < 100000; ++k)
        nested += "<g>";
    const std::string packed =
        Deflate(kSvgOpen + "<!--" + std::string(std::size_t{70} << 20, ' ') + "--></svg>", true);
    const std::string small = Deflate(kSvgOpen + "<rect width='5' height='5'/></svg>", true);

    svgreader::Options noLinks;
    noLinks.links = false;
    svgreader::Options linkOutside;
    linkOutside.linkDir = outside;
    const struct Row {
        std::string what, svg;
        bool fromStdin = false;
        svgreader::Options options{};
        std::string error{};    // a refusal: part of the message
        std::string warning{};  // else part of a warning, if any
        std::string drawn{};    // what the records must hold, if anything
    } rows[] = {
        {"an absolute path", Flattened(secret), false, {}, "", "outside the drawing's directory"},
        {"a path up and out",
         Flattened("../outside/secret.png"),
         false,
         {},
         "",
         "linked file '../outside/secret.png' (outside the drawing's directory)"},
        {"a file: URI", Flattened("file://" + secret), false, {}, "", "outside"},
        {"a symbolic link out", Flattened("sub/link.png"), false, {}, "", "outside"},
        {"a pipe", Flattened("pipe.png"), false, {}, "", "'pipe.png' (not a regular file)"},
        {"a directory", Flattened("sub"), false, {}, "", "'sub' (not a regular file)"},
        {"a missing file", Flattened("gone.png"), false, {}, "", "'gone.png' (no such file)"},
        {"a relative link from standard input",
         Flattened(fromHere),
         true,
         {},
         "",
         "standard input has no directory to link from"},
        {"a file beside the drawing", Flattened("sub/mine.png"), false, {}, "", "", "ABCDEF"},
        {"the same with --no-links", Flattened("sub/mine.png"), false, noLinks, "",
         "(links are off)"},
        {"an outside file with --link-dir", Flattened(secret), false, linkOutside, "", "",
         "123456"},
        {"9 megapixels in a flattened area",
         Flattened("data:image/png;base64," + Base64(Png(3000, 3000, "\x80\x80\x80"))),
         false,
         {},
         "",
         "(more than 8000000 pixels)"},
        {"XInclude of a text file", kSvgOpen + "<g opacity='0.5'><text y='40' font-size='30'>"
                                               "<xi:include href='notes.txt' parse='text'/>"
                                               "</text><rect width='9' height='9'/></g></svg>"},
        {"an external entity",
         "<!DOCTYPE svg [<!ENTITY x SYSTEM 'notes.txt'><!ENTITY % p SYSTEM 'notes.txt'> %p;]>" +
             kSvgOpen + "<text y='20'>&x;</text></svg>"},
        {"text from an entity",
         "<!DOCTYPE svg [<!ENTITY name 'Hello'>]>" + kSvgOpen +
             "<text y='9'>&name; world</text>"
             "</svg>",
         false,
         {},
         "",
         "",
         "Text \"Hello world\""},
        {"a namespace from an entity",
         "<!DOCTYPE svg [<!ENTITY ns 'http://www.w3.org/2000/svg'>]>"
         "<svg xmlns='&ns;' width='9' height='9'><rect width='5' height='5'/></svg>",
         false,
         {},
         "",
         "",
         "LineTo"},
        {"billion laughs",
         laughs + kSvgOpen + "<text>&a9;</text></svg>",
         false,
         {},
         "entity reference loop"},
        {"billion laughs in an attribute",
         laughs + kSvgOpen + "<rect id='&a9;'/></svg>",
         false,
         {},
         "entity reference loop"},
        {"a large entity used 20,000 times", amplified, false, {}, "entity reference loop"},
        {"100,000 nested groups", nested + "</svg>", false, {}, "Excessive depth"},
        {"a 900 KB style reached 256 times",
         kSvgOpen + uses + "</svg>",
         false,
         {},
         "",
         "",
         "LineTo"},
        {"a 2 KB chain of uses",
         kSvgOpen + chain + "</svg>",
         false,
         {},
         "too large to convert: more than 2 million elements drawn"},
        {"a .svgz that inflates beyond 64 MB",
         packed,
         false,
         {},
         "too large to convert: more than 64 MB of SVG"},
        {"70 MB that go wrong in their first line",
         kSvgOpen + "<<" + std::string(std::size_t{70} << 20, ' '),
         false,
         {},
         "too large to convert: more than 64 MB of SVG"},
        {"a .svgz cut short",
         small.substr(0, small.size() / 2),
         false,
         {},
         "the compressed data is cut short"},
        {"200,000 octaves of noise",
         kSvgOpen + "<filter id='f'><feTurbulence baseFrequency='0.05' numOctaves='200000'/>"
                    "</filter><rect width='30' height='30' filter='url(#f)'/></svg>",
         false,
         {},
         "",
         "",
         "BeginBitmap"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string file = drawings + "/d.svg";
        WriteFile(file, row.svg);
        std::vector<std::string> rendered;
        svgreader::Options options = row.options;
        options.rendered = &rendered;
        recordscript::ScriptPrinter printer;
        const svgreader::Result outcome = svgreader::Convert(
            row.fromStdin ? svgreader::Source::Bytes(row.svg) : svgreader::Source::File(file),
            printer, options);
        const bool read = outcome.converted;
        EXPECT_LE(outcome.work, 50'000'000u);
        if (!row.error.empty()) {
            EXPECT_FALSE(read);
            EXPECT_TRUE(Contains(outcome.error, row.error)) << outcome.error;
            continue;
        }
        ASSERT_TRUE(read) << outcome.error;
        std::string warnings;
        for (const svgreader::Warning& w : outcome.warnings)
            warnings += w.Text() + "\n";
        EXPECT_TRUE(Contains(warnings, row.warning)) << warnings;
        if (!row.drawn.empty()) {
            EXPECT_TRUE(Contains(printer.text, row.drawn));
        }
        if (row.what != "an outside file with --link-dir") {
            EXPECT_FALSE(Contains(printer.text, "123456"));
        }
        EXPECT_FALSE(Contains(printer.text, "SECRET"));
        // The renderer gets every resource resolved, and nothing it could load.
        for (const std::string& doc : rendered) {
            EXPECT_FALSE(Contains(doc, "include")) << doc.substr(0, 2000);
            EXPECT_FALSE(Contains(doc, "SYSTEM"));
            EXPECT_FALSE(Contains(doc, "200000"));
            EXPECT_FALSE(Contains(doc, ".png'")) << doc.substr(0, 2000);
            EXPECT_FALSE(Contains(doc, ".png\""));
        }
    }
    // XInclude draws nothing: the records are those of the drawing without it.
    const std::string text = kSvgOpen + "<g opacity='0.5'><text y='40' font-size='30'>";
    const std::string rest = "</text><rect width='9' height='9'/></g></svg>";
    WriteFile(drawings + "/x.svg", text + "<xi:include href='notes.txt' parse='text'/>" + rest);
    WriteFile(drawings + "/y.svg", text + rest);
    recordscript::ScriptPrinter withText, withoutText;
    ASSERT_TRUE(
        svgreader::Convert(svgreader::Source::File(drawings + "/x.svg"), withText).converted);
    ASSERT_TRUE(
        svgreader::Convert(svgreader::Source::File(drawings + "/y.svg"), withoutText).converted);
    EXPECT_EQ(withText.text, withoutText.text);
}

namespace {

int heard = 0;  // messages that reached the host's own handlers
void HostMessage(void*, const char*, ...) { ++heard; }
void HostError(void*, xmlErrorPtr) { ++heard; }
xmlParserInputPtr HostLoader(const char*, const char*, xmlParserCtxtPtr)
{
    ++heard;
    return nullptr;
}

}  // namespace

// A file is read as the parser goes: the same records as from its bytes,
// whatever falls on the boundaries of what is read at a time, and the same
// error, at the same line, past the first of them.
TEST(SvgInput, FilesReadPiecemealGiveWhatTheirBytesGive)
{
    TempDir dir;
    std::string drawing = kSvgOpen;
    for (int k = 0; drawing.size() < 300'000; ++k)
        drawing += "<path d='M" + std::to_string(k % 97) + " 1L5 " + std::to_string(k % 89) +
                   "' stroke='#" + std::to_string(100000 + k % 800000) + "'/>\n";
    const std::string broken = drawing + "<rect width='9'></svg>";
    drawing += "</svg>";
    for (const std::string* svg : {static_cast<const std::string*>(&drawing), &broken}) {
        WriteFile(dir.File("d.svg"), *svg);
        recordscript::ScriptPrinter fromFile, fromBytes;
        const svgreader::Result file =
            svgreader::Convert(svgreader::Source::File(dir.File("d.svg")), fromFile);
        const svgreader::Result bytes =
            svgreader::Convert(svgreader::Source::Bytes(*svg), fromBytes);
        EXPECT_EQ(file.converted, svg == &drawing);
        EXPECT_EQ(fromFile.text, fromBytes.text);
        // The file's name and "<stdin>" aside.
        const auto after = [](const std::string& e) { return e.substr(e.find(':') + 1); };
        EXPECT_EQ(after(file.error), after(bytes.error));
        if (svg == &broken) {
            EXPECT_TRUE(Contains(
                file.error, ":" + std::to_string(std::count(svg->begin(), svg->end(), '\n') + 1)))
                << file.error;
        }
    }
}

// A host that converts drawings keeps its own libxml2 handlers: the converter
// puts back what it found, whether the drawing converts or not, and its
// parser's messages never reach them.
TEST(SvgInput, ConversionLeavesLibxml2AsItFoundIt)
{
    const xmlExternalEntityLoader original = xmlGetExternalEntityLoader();
    int context = 0;
    xmlSetGenericErrorFunc(&context, HostMessage);
    xmlSetStructuredErrorFunc(&context, HostError);
    xmlSetExternalEntityLoader(HostLoader);
    const std::string broken = kSvgOpen + "<rect width='9'></svg>";
    const std::string entity = "<!DOCTYPE svg [<!ENTITY e SYSTEM 'file:///etc/passwd'>]>" +
                               kSvgOpen + "<text>&e;</text></svg>";
    const std::string fine = kSvgOpen + "<rect width='9' height='9'/></svg>";
    for (const std::string* drawing : {&broken, &entity, &fine}) {
        recordscript::ScriptPrinter printer;
        svgreader::Convert(svgreader::Source::Bytes(*drawing), printer);
        EXPECT_EQ(xmlGenericError, static_cast<xmlGenericErrorFunc>(HostMessage));
        EXPECT_EQ(xmlGenericErrorContext, &context);
        EXPECT_EQ(xmlStructuredError, static_cast<xmlStructuredErrorFunc>(HostError));
        EXPECT_EQ(xmlStructuredErrorContext, &context);
        EXPECT_EQ(xmlGetExternalEntityLoader(), static_cast<xmlExternalEntityLoader>(HostLoader));
    }
    EXPECT_EQ(heard, 0);
    xmlSetGenericErrorFunc(nullptr, nullptr);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    xmlSetExternalEntityLoader(original);
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
