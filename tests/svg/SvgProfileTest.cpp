// Export profiles and pages as a user of the tool sees them: what the file
// holds and what is refused, and the geometry of strokes made outlines.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/Files.h"

#ifdef AIEXPORT_HAVE_SVG
#include "SvgStrokeOutline.h"

namespace {

const double kPi = std::acos(-1.0);

struct Tool {
    TempDir dir;

    int Run(const std::string& args)
    {
        const std::string command =
            "cd '" + dir.path + "' && '" AIEXPORT_TOOL_PATH "' " + args + " >out 2>err";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // The drawing's body between <svg> tags of width by height millimetres,
    // user units millimetres too.
    void Drawing(const std::string& body, double width = 100, double height = 60)
    {
        std::ostringstream svg;
        svg << "<svg xmlns='http://www.w3.org/2000/svg' "
               "xmlns:inkscape='http://www.inkscape.org/namespaces/inkscape' width='"
            << width << "mm' height='" << height << "mm' viewBox='0 0 " << width << " " << height
            << "'>" << body << "</svg>";
        WriteFile(dir.File("d.svg"), svg.str());
    }
    std::string File(const std::string& name) { return ReadFile(dir.File(name)); }
    bool Exists(const std::string& name) { return ::access(dir.File(name).c_str(), F_OK) == 0; }
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int CountLines(const std::string& text, const std::string& line)
{
    int n = 0;
    for (const std::string& l : Lines(text))
        n += l == line ? 1 : 0;
    return n;
}

// The paint operators that stroke: S s B b (and their clipping forms).
int StrokeOperators(const std::string& ai)
{
    int n = 0;
    for (const char* op : {"S", "s", "B", "b"})
        n += CountLines(ai, op);
    return n;
}

// The widths set with "w" in the file.
std::vector<std::string> Widths(const std::string& ai)
{
    std::vector<std::string> widths;
    std::istringstream in(ai);
    std::string previous;
    for (std::string token; in >> token; previous = token)
        if (token == "w")
            widths.push_back(previous);
    return widths;
}

std::string HiResBox(const std::string& ai)
{
    for (const std::string& l : Lines(ai))
        if (l.rfind("%%HiResBoundingBox: ", 0) == 0)
            return l.substr(20);
    return "";
}

// The text of one layer, from its name to its end.
std::string LayerOf(const std::string& ai, const std::string& name)
{
    const std::size_t at = ai.find("(" + name + ") Ln");
    if (at == std::string::npos)
        return "";
    return ai.substr(at, ai.find("%AI5_EndLayer", at) - at);
}

const char kEverything[] =
    "<rect x='10' y='10' width='20' height='15' fill='#3366cc' stroke='#000' stroke-width='1'/>"
    "<path d='M40 40 C 50 10, 60 10, 70 40' fill='none' stroke='#c00' stroke-width='2' "
    "stroke-dasharray='4 2' stroke-linecap='round'/>"
    "<polyline points='75,50 85,20 95,50' fill='#0a0' stroke='#080' stroke-width='3'/>"
    "<text x='10' y='55' font-size='8' font-family='DejaVu Sans'>Hello</text>";

// Signed area of closed polylines (lines only), shoelace.
double Area(const svgreader::Path& path)
{
    double area = 0;
    for (const svgreader::Subpath& s : path.subpaths) {
        svgreader::Point a = s.start;
        for (const svgreader::Segment& g : s.segments) {
            area += a.x * g.to.y - g.to.x * a.y;
            a = g.to;
        }
        area += a.x * s.start.y - s.start.x * a.y;
    }
    return area / 2;
}

svgreader::Path Line(double x0, double y0, double x1, double y1)
{
    svgreader::Path p;
    p.MoveTo(x0, y0);
    p.LineTo(x1, y1);
    return p;
}

}  // namespace

// Stock: no live text, no stroke and no image; the page trimmed to the art.
TEST(SvgProfile, StockWritesNoTextNoStrokeAndNoImage)
{
    Tool tool;
    tool.Drawing(kEverything);
    ASSERT_EQ(tool.Run("d.svg plain.ai"), 0) << tool.File("err");
    const std::string plain = tool.File("plain.ai");
    ASSERT_GT(StrokeOperators(plain), 0);
    ASSERT_EQ(tool.Run("--profile stock d.svg stock.ai"), 0) << tool.File("err");
    const std::string stock = tool.File("stock.ai");
    EXPECT_EQ(StrokeOperators(stock), 0);
    EXPECT_EQ(stock.find("To\n"), std::string::npos);  // no text object
    EXPECT_EQ(stock.find("XI\n"), std::string::npos);  // no image
    EXPECT_GT(CountLines(stock, "f") + CountLines(stock, "F"), 3);
    // The art spans x 9.5..96.5 mm (the rect's stroke to the polyline's
    // miter) less than the 100 mm page: the page is trimmed to it.
    std::istringstream box(HiResBox(stock));
    double x0 = -1, y0 = -1, x1 = 0, y1 = 0;
    box >> x0 >> y0 >> x1 >> y1;
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(y0, 0);
    EXPECT_LT(x1, 100 / 25.4 * 72 - 5);
    EXPECT_LT(y1, 60 / 25.4 * 72 - 5);
}

// An image, or an effect the converter would draw as one, refuses the
// export with the check's message; nothing is written.
TEST(SvgProfile, StockRefusesImagesAndWritesNothing)
{
    Tool tool;
    // A 1x1 PNG.
    tool.Drawing("<rect width='10' height='10'/><image x='20' y='20' width='10' height='10' "
                 "href='data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAA"
                 "DElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC'/>");
    EXPECT_EQ(tool.Run("--profile stock d.svg stock.ai"), 1);
    EXPECT_FALSE(tool.Exists("stock.ai"));
    const std::string err = tool.File("err");
    EXPECT_EQ(err.rfind("d.svg: error: 1 image would be written", 0), 0) << err;
    // Without an image the same profile exports.
    tool.Drawing("<rect width='10' height='10'/>");
    EXPECT_EQ(tool.Run("--profile stock d.svg stock.ai"), 0) << tool.File("err");
    EXPECT_TRUE(tool.Exists("stock.ai"));
    // Transparency that vectors can draw exactly exports, over more pieces
    // than the balanced budget allows; a blur, which needs pixels, refuses it.
    std::string beneath;
    for (int i = 0; i < 100; ++i)
        beneath += "<rect x='" + std::to_string(i % 10 * 5) + "' y='" + std::to_string(i / 10 * 5) +
                   "' width='4' height='4' fill='#00f'/>";
    tool.Drawing(beneath + "<rect width='60' height='60' fill='#f00' opacity='0.5'/>");
    EXPECT_EQ(tool.Run("--profile stock d.svg translucent.ai"), 0) << tool.File("err");
    EXPECT_EQ(tool.File("translucent.ai").find("%AI5_BeginRaster"), std::string::npos);
    tool.Drawing("<filter id='b'><feGaussianBlur stdDeviation='3'/></filter>"
                 "<rect width='40' height='40' fill='#00f' stroke='red' filter='url(#b)'/>");
    EXPECT_EQ(tool.Run("--profile stock d.svg blurred.ai"), 1);
    EXPECT_FALSE(tool.Exists("blurred.ai"));
}

// Cut: the CutContour spot colour strokes the outer outline of the art on
// a layer of that name, strokes are hairlines, text is outlines.
TEST(SvgProfile, CutStrokesTheOuterOutlineInCutContour)
{
    Tool tool;
    // Two overlapping squares (one outline) and a ring (its hole dropped),
    // a stroked open line (no area, no outline) and text.
    tool.Drawing("<rect x='10' y='10' width='10' height='10'/>"
                 "<rect x='15' y='15' width='10' height='10' stroke='#f00'/>"
                 "<path d='M50 10h20v20h-20z M55 15v10h10v-10z' fill-rule='evenodd'/>"
                 "<path d='M80 10 L 90 40' stroke='#00f' stroke-width='2' fill='none'/>"
                 "<text x='10' y='55' font-size='8' font-family='DejaVu Sans'>Hi</text>");
    ASSERT_EQ(tool.Run("--profile cut d.svg cut.ai"), 0) << tool.File("err");
    const std::string cut = tool.File("cut.ai");
    EXPECT_EQ(cut.find("To\n"), std::string::npos);
    for (const std::string& w : Widths(cut))
        EXPECT_EQ(w, "0.0001");
    const std::string layer = LayerOf(cut, "CutContour");
    ASSERT_FALSE(layer.empty());
    EXPECT_NE(layer.find("0.0000 1.0000 0.0000 0.0000 (CutContour) 0 X\n"), std::string::npos)
        << layer;
    // The squares' union, the ring's outside; "H" and "i" (dot and stem)
    // outlined: five closed strokes in all, nothing filled.
    EXPECT_EQ(CountLines(layer, "s"), 5) << layer;
    EXPECT_EQ(CountLines(layer, "f") + CountLines(layer, "F") + CountLines(layer, "S"), 0);
    // The union of the squares: the eight corners of its outline.
    const std::size_t first = layer.find(" m\n");
    ASSERT_NE(first, std::string::npos);
    const std::string outline = layer.substr(first, layer.find("s\n", first) - first);
    std::size_t corners = 1;
    for (std::size_t at = outline.find(" l\n"); at != std::string::npos;
         at = outline.find(" l\n", at + 1))
        ++corners;
    EXPECT_EQ(corners, 8u) << outline;

    // Registration marks on their own layer: three squares of 5 mm.
    ASSERT_EQ(tool.Run("--profile cut --reg-marks d.svg marks.ai"), 0) << tool.File("err");
    const std::string marks = LayerOf(tool.File("marks.ai"), "Registration");
    EXPECT_EQ(CountLines(marks, "f"), 3) << marks;
    EXPECT_NE(LayerOf(tool.File("marks.ai"), "CutContour").find("(CutContour) 0 X"),
              std::string::npos);
    // Laser: hairlines and outlines, no cut layer.
    ASSERT_EQ(tool.Run("--profile laser d.svg laser.ai"), 0) << tool.File("err");
    const std::string laser = tool.File("laser.ai");
    EXPECT_EQ(laser.find("CutContour"), std::string::npos);
    EXPECT_EQ(laser.find("To\n"), std::string::npos);
    EXPECT_EQ(Widths(laser), std::vector<std::string>({"0.0001"}));

    // The drawing's layers, one of them named as the cut layer, are one art
    // layer: cutters take one.
    tool.Drawing("<g inkscape:groupmode='layer' inkscape:label='CutContour'>"
                 "<rect width='10' height='10'/></g>"
                 "<g inkscape:groupmode='layer' inkscape:label='More'>"
                 "<rect x='20' width='10' height='10'/></g>");
    ASSERT_EQ(tool.Run("--profile cut d.svg named.ai"), 0) << tool.File("err");
    const std::string named = tool.File("named.ai");
    EXPECT_EQ(CountLines(named, "(Layer 1) Ln"), 1) << named;
    EXPECT_EQ(named.find("(More) Ln"), std::string::npos);
    EXPECT_EQ(CountLines(LayerOf(named, "Layer 1"), "f"), 2);
    EXPECT_EQ(CountLines(named, "(CutContour) Ln"), 1);
    EXPECT_EQ(CountLines(LayerOf(named, "CutContour"), "s"), 2);
}

// Print: colours by value in CMYK, swatches as named custom colours.
TEST(SvgProfile, PrintWritesCmykAndNamedSwatches)
{
    Tool tool;
    tool.Drawing("<linearGradient id='spot' inkscape:label='Spot Orange'>"
                 "<stop stop-color='#ff8000'/></linearGradient>"
                 "<linearGradient id='use' href='#spot' x1='0' x2='1'/>"
                 "<rect width='10' height='10' fill='#3366cc' stroke='#000'/>"
                 "<rect x='20' width='10' height='10' fill='url(#use)'/>");
    ASSERT_EQ(tool.Run("--profile print d.svg print.ai"), 0) << tool.File("err");
    const std::string print = tool.File("print.ai");
    // #3366cc: black 1 - 0.8, cyan (1 - 0.2 - 0.2) / 0.8, magenta 0.5.
    EXPECT_NE(print.find("0.7500 0.5000 0.0000 0.2000 k\n"), std::string::npos) << print;
    EXPECT_NE(print.find("0.0000 0.0000 0.0000 1.0000 K\n"), std::string::npos);
    EXPECT_NE(print.find("(Spot Orange) 0 x\n"), std::string::npos) << print;
    EXPECT_EQ(print.find(" Xa\n"), std::string::npos);  // no RGB colour left
    // Without the profile the swatch is a plain colour.
    ASSERT_EQ(tool.Run("d.svg plain.ai"), 0);
    EXPECT_EQ(tool.File("plain.ai").find("Spot Orange"), std::string::npos);
}

// The art's box counts what a clip group draws within its clip only: the
// bands of a gradient reach past the shape they fill.
TEST(SvgProfile, ArtBoxOfClippedBands)
{
    Tool tool;
    tool.Drawing("<radialGradient id='f' fx='0.4' r='0.3' spreadMethod='repeat'>"
                 "<stop stop-color='#fff'/><stop offset='1' stop-color='#036'/>"
                 "</radialGradient><rect x='5' y='5' width='10' height='10' fill='url(#f)'/>");
    ASSERT_EQ(tool.Run("--page drawing d.svg out.ai"), 0) << tool.File("err");
    EXPECT_EQ(HiResBox(tool.File("out.ai")), "0.0000 0.0000 28.3465 28.3465 ");
}

// The page: named sizes and WxH in a unit, the art 1:1 and centred on it.
TEST(SvgProfile, PageSizesAndTheArtAtItsSize)
{
    Tool tool;
    // A 10 mm square at (5, 5) mm on a 100 by 60 mm drawing.
    tool.Drawing("<rect x='5' y='5' width='10' height='10'/>");
    const struct {
        const char* page;
        const char* box;
    } cases[] = {
        {"", "0.0000 0.0000 283.4646 170.0787 "},
        {"--page A4", "0.0000 0.0000 595.2756 841.8898 "},
        {"--page letter", "0.0000 0.0000 612.0000 792.0000 "},
        {"--page 100x50mm", "0.0000 0.0000 283.4646 141.7323 "},
        {"--page=4x2in", "0.0000 0.0000 288.0000 144.0000 "},
        {"--page 200x100.5pt", "0.0000 0.0000 200.0000 100.5000 "},
        {"--page drawing", "0.0000 0.0000 28.3465 28.3465 "},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(tool.Run(std::string(c.page) + " d.svg out.ai"), 0) << c.page;
        const std::string ai = tool.File("out.ai");
        EXPECT_EQ(HiResBox(ai), c.box) << c.page;
        // The square keeps its 10 mm = 28.3465 pt a side wherever it lands.
        std::vector<double> xs, ys;
        for (const std::string& l : Lines(ai)) {
            double x = 0, y = 0;
            char op[3] = {};
            if (std::sscanf(l.c_str(), "%lf %lf %2s", &x, &y, op) == 3 &&
                (std::string(op) == "m" || std::string(op) == "l"))
                xs.push_back(x), ys.push_back(y);
        }
        ASSERT_EQ(xs.size(), 4u) << c.page;
        EXPECT_NEAR(*std::max_element(xs.begin(), xs.end()) -
                        *std::min_element(xs.begin(), xs.end()),
                    28.3465, 2e-4)
            << c.page;
        EXPECT_NEAR(*std::max_element(ys.begin(), ys.end()) -
                        *std::min_element(ys.begin(), ys.end()),
                    28.3465, 2e-4)
            << c.page;
        if (std::string(c.page) == "--page A4") {
            // Centred: as far from the left as from the right.
            EXPECT_NEAR(*std::min_element(xs.begin(), xs.end()),
                        595.2756 - *std::max_element(xs.begin(), xs.end()), 2e-3);
        }
    }
}

// Lengths in millimetres on a drawing of CSS pixels (1/96 in) come out in
// points (1/72 in): 10 mm are 28.3465 pt, whatever the page.
TEST(SvgProfile, MillimetresInPixelDrawingsArePoints)
{
    Tool tool;
    WriteFile(tool.dir.File("d.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='400' height='300'>"
              "<rect x='2mm' y='2mm' width='10mm' height='10mm'/></svg>");
    ASSERT_EQ(tool.Run("--page drawing d.svg out.ai"), 0) << tool.File("err");
    EXPECT_EQ(HiResBox(tool.File("out.ai")), "0.0000 0.0000 28.3465 28.3465 ");
    ASSERT_EQ(tool.Run("d.svg out.ai"), 0);
    // 400 by 300 pixels are 300 by 225 points.
    EXPECT_EQ(HiResBox(tool.File("out.ai")), "0.0000 0.0000 300.0000 225.0000 ");
}

// Malformed choices are usage errors that write nothing.
TEST(SvgProfile, MalformedChoicesAreRefused)
{
    Tool tool;
    tool.Drawing("<rect width='10' height='10'/>");
    WriteFile(tool.dir.File("d.records"), "BeginPicture 0 0 8.5 11\nEndPicture\n");
    ASSERT_EQ(tool.Run("--help"), 0);
    for (const char* option : {"--profile NAME", "--reg-marks", "--page SIZE"})
        EXPECT_NE(tool.File("out").find(option), std::string::npos) << option;
    for (const char* args :
         {"--profile", "--profile sticker d.svg o.ai", "--page 100x50 d.svg o.ai",
          "--page 0x50mm d.svg o.ai", "--page -1x5mm d.svg o.ai", "--page 1e3x5mm d.svg o.ai",
          "--page x5mm d.svg o.ai", "--page 300x5in d.svg o.ai", "--page A5 d.svg o.ai",
          "--reg-marks d.svg o.ai", "--profile laser --reg-marks d.svg o.ai",
          "--profile cut d.records o.ai", "--page A4 d.records o.ai", "--profile stock"}) {
        EXPECT_EQ(tool.Run(args), 2) << args;
        EXPECT_FALSE(tool.Exists("o.ai")) << args;
        EXPECT_NE(tool.File("err").find("aiexport: "), std::string::npos) << args;
    }
}

// A stroke's outline covers what the stroke paints: widths, caps, joins and
// dashes as SVG draws them.
TEST(SvgStrokeOutline, AreasOfLinesCapsJoinsAndDashes)
{
    using svgreader::StrokeOutline;
    svgreader::StrokeShape s;
    s.width = 2;
    s.cap = 2;  // butt
    const double tolerance = 1e-3;
    EXPECT_NEAR(Area(StrokeOutline(Line(0, 0, 10, 0), s, tolerance)), 20, 1e-3);
    s.cap = 0;  // square: a half width past each end
    EXPECT_NEAR(Area(StrokeOutline(Line(0, 0, 10, 0), s, tolerance)), 24, 1e-3);
    s.cap = 1;  // round: a half circle at each end
    EXPECT_NEAR(Area(StrokeOutline(Line(0, 0, 10, 0), s, tolerance)), 20 + kPi, 0.02);
    // A round-capped stroke of no length is a dot; a butt one is nothing.
    EXPECT_NEAR(Area(StrokeOutline(Line(3, 3, 3, 3), s, tolerance)), kPi, 0.02);
    s.cap = 2;
    EXPECT_TRUE(StrokeOutline(Line(3, 3, 3, 3), s, tolerance).Empty());
    // Dashes 2 on, 2 off over 10: three dashes, the last one whole.
    s.dashes = {2, 2};
    svgreader::Path dashed = StrokeOutline(Line(0, 0, 10, 0), s, tolerance);
    EXPECT_EQ(dashed.subpaths.size(), 3u);
    EXPECT_NEAR(Area(dashed), 12, 1e-3);
    // An offset shifts the pattern: starting 1 into it, dashes cover
    // 0..1, 3..5, 7..9.
    s.dashOffset = 1;
    dashed = StrokeOutline(Line(0, 0, 10, 0), s, tolerance);
    EXPECT_EQ(dashed.subpaths.size(), 3u);
    EXPECT_NEAR(Area(dashed), 10, 1e-3);
    // An odd count repeats; a negative value makes the stroke solid.
    s.dashOffset = 0;
    s.dashes = {1, 1, 2};  // 1 on 1 off 2 on 1 off 1 on 2 off
    EXPECT_NEAR(Area(StrokeOutline(Line(0, 0, 8, 0), s, tolerance)), 2 * 4, 1e-3);
    s.dashes = {2, -1};
    EXPECT_NEAR(Area(StrokeOutline(Line(0, 0, 10, 0), s, tolerance)), 20, 1e-3);
    s.dashes.clear();

    // A closed square's stroke is a ring: outer minus inner, joins mitred.
    svgreader::Path square;
    square.MoveTo(0, 0);
    square.LineTo(10, 0);
    square.LineTo(10, 10);
    square.LineTo(0, 10);
    square.Close();
    s.join = 1;
    const svgreader::Path ring = StrokeOutline(square, s, tolerance);
    EXPECT_EQ(ring.subpaths.size(), 2u);
    EXPECT_NEAR(std::fabs(Area(ring)), 12 * 12 - 8 * 8, 1e-2);
    // Round joins cut each outer corner to a quarter circle.
    s.join = 2;
    EXPECT_NEAR(std::fabs(Area(StrokeOutline(square, s, tolerance))),
                12 * 12 - 8 * 8 - 4 * (1 - kPi / 4), 0.05);
    // Bevels cut more than miters, less than nothing.
    s.join = 0;
    const double bevel = std::fabs(Area(StrokeOutline(square, s, tolerance)));
    EXPECT_LT(bevel, 12 * 12 - 8 * 8 - 0.1);
    EXPECT_GT(bevel, 12 * 12 - 8 * 8 - 4 * 0.5 - 0.01);

    // A curve is followed within the tolerance: a half circle of radius 10
    // stroked 2 wide covers pi (11^2 - 9^2) / 2.
    svgreader::Path arc;
    const double k = 0.5522847498 * 10;
    arc.MoveTo(-10, 0);
    arc.CurveTo(-10, k, -k, 10, 0, 10);
    arc.CurveTo(k, 10, 10, k, 10, 0);
    s.join = 1;
    EXPECT_NEAR(Area(StrokeOutline(arc, s, tolerance)), kPi * (121 - 81) / 2, 0.1);

    // Nothing to stroke, or nothing it could be.
    s.width = 0;
    EXPECT_TRUE(StrokeOutline(Line(0, 0, 10, 0), s, tolerance).Empty());
    s.width = 2;
    EXPECT_TRUE(StrokeOutline(Line(0, 0, 1e300, 0), s, tolerance).Empty());
    svgreader::Path moveOnly;
    moveOnly.MoveTo(1, 1);
    EXPECT_TRUE(StrokeOutline(moveOnly, s, tolerance).Empty());
}

// The outer outline: overlapping areas are one, holes and islands in them go.
TEST(SvgStrokeOutline, OuterOutlineIsTheUnionWithoutHoles)
{
    auto rect = [](double x, double y, double w, double h) {
        svgreader::Path p;
        p.MoveTo(x, y);
        p.LineTo(x + w, y);
        p.LineTo(x + w, y + h);
        p.LineTo(x, y + h);
        p.Close();
        return p;
    };
    svgreader::Path ring = rect(20, 0, 10, 10);
    ring.subpaths.push_back(rect(22, 2, 6, 6).subpaths[0]);
    const svgreader::Path outline =
        svgreader::OuterOutline({rect(0, 0, 10, 10), rect(5, 5, 10, 10), ring,
                                 rect(24, 4, 2, 2)},  // an island in the ring's hole
                                1e-3);
    ASSERT_EQ(outline.subpaths.size(), 2u);
    EXPECT_NEAR(std::fabs(Area(outline)), 175 + 100, 1e-3);
    EXPECT_TRUE(svgreader::OuterOutline({}, 1e-3).Empty());
}

#endif
