// Gradients drawn in bands of flat colour: what a point of the box is
// painted with (the last band that holds it) against the gradient's colour
// there, worked out apart from the bands; and the exports that use them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "support/ExportSession.h"

#ifdef AIEXPORT_HAVE_SVG
#include "RecordSink.h"
#include "SvgConverter.h"
#include "SvgGradientSteps.h"
#include "support/PathInside.h"
#include "host/Opcodes.h"

namespace {

using svgreader::Band;
using Area = svgreader::Box;
using svgreader::GradientShape;
using svgreader::Point;
using svgreader::Spread;
using svgreader::Stop;

Stop At(double offset, svgreader::Rgb c, double opacity = 1) { return {offset, c, opacity}; }

// The band that shows at `p`: the last that holds it; null where none does.
const Band* Shown(const std::vector<Band>& bands, Point p)
{
    const Band* shown = nullptr;
    for (const Band& b : bands)
        if (InsidePath(b.path, p))
            shown = &b;
    return shown;
}

// A grid of points over the box each shows the gradient's colour there
// within `tolerance` steps: bands are about a step apart, and the test
// follows curves by lines.
void ExpectBandsShow(const GradientShape& g, const Area& box, double pixel,
                     double (*offsetAt)(const GradientShape&, Point), int tolerance)
{
    const std::vector<Band> bands = svgreader::GradientBands(g, box, pixel, 2048);
    ASSERT_FALSE(bands.empty());
    // The first band is the box itself.
    const Area first = svgreader::BoundsOf(bands.front().path);
    EXPECT_NEAR(first.minX, box.minX, 1e-9);
    EXPECT_NEAR(first.maxY, box.maxY, 1e-9);
    int worst = 0;
    for (int i = 0; i <= 24; ++i)
        for (int j = 0; j <= 12; ++j) {
            const Point p{box.minX + box.Width() * (i + 0.013) / 24.3,
                          box.minY + box.Height() * (j + 0.017) / 12.3};
            const Band* b = Shown(bands, p);
            ASSERT_NE(b, nullptr) << p.x << " " << p.y;
            const Stop want = svgreader::GradientAt(g, offsetAt(g, p));
            // What is seen: colour times opacity, over black and over white.
            const int got[3] = {b->color.r, b->color.g, b->color.b};
            const int exact[3] = {want.color.r, want.color.g, want.color.b};
            for (int c = 0; c < 3; ++c) {
                const double overBlack = b->opacity * got[c] - want.opacity * exact[c];
                const double overWhite =
                    b->opacity * (255 - got[c]) - want.opacity * (255 - exact[c]);
                const int off = static_cast<int>(
                    std::lround(std::max(std::fabs(overBlack), std::fabs(overWhite))));
                if (off > tolerance && worst <= tolerance)
                    ADD_FAILURE() << "at " << p.x << " " << p.y << " t " << offsetAt(g, p) << ": "
                                  << got[c] << " for " << exact[c];
                worst = std::max(worst, off);
            }
        }
    EXPECT_LE(worst, tolerance);
}

// t of a linear gradient at a page point: projection onto the vector in
// the gradient's space.
double LinearOffset(const GradientShape& g, Point p)
{
    const svgreader::Matrix& m = g.toPage;
    const double det = m.Determinant();
    const double x = p.x - m.e, y = p.y - m.f;
    const Point q{(m.d * x - m.c * y) / det, (-m.b * x + m.a * y) / det};
    const Point v{g.p2.x - g.p1.x, g.p2.y - g.p1.y};
    return ((q.x - g.p1.x) * v.x + (q.y - g.p1.y) * v.y) / (v.x * v.x + v.y * v.y);
}

// t of a radial gradient: the circle of centre f + t (c - f), radius t r
// through the point.
double RadialOffset(const GradientShape& g, Point p)
{
    const svgreader::Matrix& m = g.toPage;
    const double det = m.Determinant();
    const double x = p.x - m.e, y = p.y - m.f;
    const Point q{(m.d * x - m.c * y) / det, (-m.b * x + m.a * y) / det};
    const Point w{q.x - g.focal.x, q.y - g.focal.y},
        d{g.centre.x - g.focal.x, g.centre.y - g.focal.y};
    const double a = d.x * d.x + d.y * d.y - g.radius * g.radius;
    const double b = w.x * d.x + w.y * d.y, ww = w.x * w.x + w.y * w.y;
    return (b - std::sqrt(b * b - a * ww)) / a;
}

const Area kBox{1, 2, 5, 4, true};

}  // namespace

// Linear gradients, skewed and spread every way, and radial ones with a
// focal point under a map that makes their circles tilted ellipses.
TEST(SvgGradientSteps, BandsShowTheGradientEverywhereInTheBox)
{
    GradientShape linear;
    linear.toPage = {2, 0.5, 1, 1, 0.5, 1};  // skewed
    linear.p1 = {0.5, 0.5}, linear.p2 = {1.5, 1};
    linear.stops = {At(0, {255, 0, 0}), At(0.4, {0, 255, 0}), At(1, {0, 0, 255})};
    for (Spread spread : {Spread::kPad, Spread::kReflect, Spread::kRepeat}) {
        linear.spread = spread;
        ExpectBandsShow(linear, kBox, 1e-4, LinearOffset, 3);
    }

    GradientShape radial;
    radial.radial = true;
    radial.toPage = {1.5, 0.4, -0.2, 0.6, 3, 3};
    radial.centre = {0, 0}, radial.focal = {0.4, -0.2}, radial.radius = 1;
    radial.stops = {At(0, {255, 255, 255}), At(0.7, {40, 120, 200}, 0.5), At(1, {0, 0, 60}, 0)};
    for (Spread spread : {Spread::kPad, Spread::kReflect, Spread::kRepeat}) {
        radial.spread = spread;
        ExpectBandsShow(radial, kBox, 1e-4, RadialOffset, 3);
    }
}

// A pixel-wide band is the finest; the cap bounds the count whatever the
// colours and periods; a gradient with nothing to spread paints its last colour.
TEST(SvgGradientSteps, CountsAndDegenerateGradients)
{
    GradientShape g;
    g.p1 = {1, 0}, g.p2 = {5, 0};
    g.stops = {At(0, {0, 0, 0}), At(1, {255, 255, 255})};
    // 255 steps over 4 units: at a pixel of 0.1, 40 bands; at 0.001, one to
    // two steps, so that no point is more than a step off.
    const std::size_t coarse = svgreader::GradientBands(g, kBox, 0.1, 256).size();
    EXPECT_GE(coarse, 38u);
    EXPECT_LE(coarse, 42u);
    const std::size_t fine = svgreader::GradientBands(g, kBox, 0.001, 1000).size();
    EXPECT_GE(fine, 126u);
    EXPECT_LE(fine, 130u);
    g.spread = Spread::kRepeat;
    g.p2 = {1.001, 0};  // 4000 periods over the box
    EXPECT_LE(svgreader::GradientBands(g, kBox, 1e-6, 256).size(), 256u);
    g.p2 = {1.1, 0};  // 40 periods of some 255 steps each
    EXPECT_LE(svgreader::GradientBands(g, kBox, 1e-6, 256).size(), 256u);
    // Past the cap bands widen but still end at the stops: the hard edge
    // between two periods stays where it is.
    g.p2 = {3, 0};
    const auto capped = svgreader::GradientBands(g, kBox, 1e-6, 16);
    EXPECT_LE(capped.size(), 16u);
    const Band* before = Shown(capped, {2.99, 3});
    const Band* after = Shown(capped, {3.01, 3});
    ASSERT_TRUE(before != nullptr && after != nullptr);
    EXPECT_GT(before->color.r, 200);
    EXPECT_LT(after->color.r, 50);

    // One colour: one band, the box.
    g.p2 = {5, 0};
    g.stops = {At(0, {9, 9, 9}), At(1, {9, 9, 9})};
    EXPECT_EQ(svgreader::GradientBands(g, kBox, 0.001, 256).size(), 1u);
    // No stops, or a box without area: nothing.
    g.stops.clear();
    EXPECT_TRUE(svgreader::GradientBands(g, kBox, 0.001, 256).empty());
    g.stops = {At(0, {0, 0, 0}), At(1, {255, 0, 0})};
    EXPECT_TRUE(svgreader::GradientBands(g, Area{1, 1, 1, 3, true}, 0.001, 256).empty());
    // A vector or radius of no length, or a map without area: the last colour.
    g.p2 = g.p1;
    auto last = svgreader::GradientBands(g, kBox, 0.001, 256);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].color.r, 255);
    GradientShape r;
    r.radial = true;
    r.stops = g.stops;
    r.radius = 0;
    EXPECT_EQ(svgreader::GradientBands(r, kBox, 0.001, 256).size(), 1u);
    r.radius = 1;
    r.toPage = {1, 1, 1, 1, 0, 0};
    EXPECT_EQ(svgreader::GradientBands(r, kBox, 0.001, 256).size(), 1u);
    // A focal point beyond the circle is taken onto it: bands still nest.
    r.toPage = {};
    r.centre = {3, 3}, r.focal = {9, 3};
    const auto onEdge = svgreader::GradientBands(r, kBox, 0.01, 256);
    EXPECT_GT(onEdge.size(), 10u);
    for (const Band& b : onEdge)
        for (const auto& s : b.path.subpaths)
            EXPECT_TRUE(std::isfinite(s.start.x) && std::isfinite(s.start.y));
}

namespace {

struct Sent {
    int bitmaps = 0, clips = 0, stops = 0, fills = 0, gradients = 0;
    std::vector<std::string> warnings;
};

Sent Convert(const std::string& body)
{
    TempDir dir;
    WriteFile(dir.File("d.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='192' height='96'>" + body + "</svg>");
    recordscript::RecordList list;
    const svgreader::Result r =
        svgreader::Convert(svgreader::Source::File(dir.File("d.svg")), list, svgreader::Options());
    EXPECT_TRUE(r.converted) << r.error;
    Sent s;
    for (const auto& w : r.warnings)
        s.warnings.push_back(w.Text());
    for (const recordscript::Record& record : list.records) {
        s.bitmaps += record.opcode == aiop::kBeginBitmap ? 1 : 0;
        s.clips += record.opcode == aiop::kBeginClipRgn ? 1 : 0;
        s.stops += record.opcode == aiop::kSetGradientRGN ? 1 : 0;
        s.fills += record.opcode == aiop::kSetFillColorByValue ? 1 : 0;
        s.gradients += record.opcode == aiop::kSetGradientDef ? 1 : 0;
    }
    return s;
}

const char* kFocal = "<radialGradient id='f' fx='0.2' fy='0.3'><stop offset='0' "
                     "stop-color='#fff'/><stop offset='1' stop-color='#036'/></radialGradient>";
const char* kLinear = "<linearGradient id='g'><stop offset='0' stop-color='#f00'/><stop "
                      "offset='1' stop-color='#00f'/></linearGradient>";
const char* kShadow = "<radialGradient id='s'><stop offset='0' stop-opacity='0.6'/>"
                      "<stop offset='1' stop-opacity='0'/></radialGradient>";

}  // namespace

// Gradients the records cannot draw go out as bands in a clip of the shape,
// with no warning and no definition; those they can draw stay gradients.
TEST(SvgGradientSteps, ExportsDrawInBandsWhatGradientsCannot)
{
    for (const std::string& body : {
             std::string(kFocal) + "<circle cx='96' cy='48' r='40' fill='url(#f)'/>",
             std::string("<radialGradient id='e'><stop offset='0' stop-color='#ff0'/><stop "
                         "offset='1' stop-color='#060'/></radialGradient>"
                         "<rect width='192' height='96' fill='url(#e)'/>"),
             std::string("<linearGradient id='r' x2='0.2' spreadMethod='reflect'><stop "
                         "offset='0' stop-color='#f00'/><stop offset='1' stop-color='#00f'/>"
                         "</linearGradient><rect width='192' height='96' fill='url(#r)' "
                         "stroke='#000'/>"),
         }) {
        const Sent s = Convert(body);
        EXPECT_TRUE(s.warnings.empty()) << body << ": " << s.warnings.front();
        EXPECT_EQ(s.stops, 0) << body;
        EXPECT_EQ(s.clips, 1) << body;
        EXPECT_GT(s.fills, 20) << body;
        EXPECT_EQ(s.bitmaps, 0) << body;
    }
    const Sent circular = Convert("<radialGradient id='c'><stop offset='0' stop-color='#ff0'/>"
                                  "<stop offset='1' stop-color='#060'/></radialGradient>"
                                  "<rect width='96' height='96' fill='url(#c)'/>");
    EXPECT_EQ(circular.stops, 2);
    EXPECT_EQ(circular.clips, 0);
}

// Transparency over and of banded gradients stays vector: a shadow over the
// paper and a flat shape, a translucent shape over a banded gradient, a
// translucent gradient over a gradient and over a stroke.
TEST(SvgGradientSteps, TransparencyWithBandsNeedsNoImage)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    for (const std::string& body : {
             std::string(kShadow) + "<rect width='80' height='96' fill='#00f'/>"
                                    "<ellipse cx='96' cy='60' rx='80' ry='20' fill='url(#s)'/>",
             std::string(kFocal) + "<circle cx='96' cy='48' r='40' fill='url(#f)'/>"
                                   "<rect x='60' y='20' width='60' height='40' fill='#f00' "
                                   "fill-opacity='0.5'/>",
             std::string(kLinear) + "<linearGradient id='l' x2='1' y2='1'><stop offset='0' "
                                    "stop-opacity='0.4'/><stop offset='1' stop-opacity='0'/>"
                                    "</linearGradient><rect width='192' height='96' "
                                    "fill='url(#g)'/><path d='M40 20 L190 90 L40 90 Z' "
                                    "fill='url(#l)'/>",
             std::string(kLinear) + "<path d='M0 10 H192' stroke='#080' stroke-width='6'/>"
                                    "<rect x='20' width='40' height='96' fill='url(#g)' "
                                    "opacity='0.5'/>",
             // A stroke over a stroke (inside its outline) and over a
             // gradient; a mode not affine in the backdrop over a gradient.
             std::string(kLinear) + "<rect y='40' width='192' height='16' fill='url(#g)'/>"
                                    "<path d='M0 20 H192' stroke='#00f' stroke-width='8'/>"
                                    "<path d='M96 0 V96' stroke='red' stroke-width='8' "
                                    "stroke-opacity='0.5'/>",
             std::string(kLinear) + "<rect width='192' height='96' fill='url(#g)'/>"
                                    "<rect width='60' height='60' fill='#888' "
                                    "style='mix-blend-mode:darken'/>",
             // A translucent gradient stroke: its area, filled.
             std::string("<rect width='96' height='96' fill='#00f'/><linearGradient id='s'>"
                         "<stop stop-color='#fff'/><stop offset='1' stop-color='#fff' "
                         "stop-opacity='0'/></linearGradient><rect x='20' y='20' width='56' "
                         "height='56' fill='none' stroke='url(#s)' stroke-width='4' "
                         "opacity='0.6'/>"),
         }) {
        const Sent s = Convert(body);
        EXPECT_EQ(s.bitmaps, 0) << body;
        EXPECT_TRUE(s.warnings.empty()) << body;
    }
}

// The module holds 1024 gradient definitions: mixtures that would define
// more go into an image rather than refer to gradients it cannot hold.
TEST(SvgGradientSteps, MixturesNeverPassTheModulesGradients)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    // One gradient across the page: each rectangle places it in its own box,
    // so no two mixtures are the same definition.
    auto veiled = [](std::string body) {
        for (int i = 0; i < 1000; ++i)
            body += "<rect x='" + std::to_string(i % 40 * 4.8) + "' y='" +
                    std::to_string(i / 40 * 3.4) + "' width='4' height='3' fill='url(#g)'/>";
        return body + "<rect width='192' height='96' fill='#fff' fill-opacity='0.5'/>";
    };
    const Sent s = Convert(
        veiled("<linearGradient id='g' gradientUnits='userSpaceOnUse' x2='192'><stop offset='0' "
               "stop-color='#f00'/><stop offset='1' stop-color='#00f'/></linearGradient>"));
    EXPECT_LE(s.gradients, 1024);
    EXPECT_GE(s.bitmaps, 1);
    // Mixtures alike are one definition: a gradient placed alike in each
    // box (one per use), under one flat colour, needs one more.
    const Sent shared = Convert(veiled(kLinear));
    EXPECT_EQ(shared.bitmaps, 0);
    EXPECT_LE(shared.gradients, 1001);
}

#endif

// A thin translucent object across a grid meets every square's box but lies
// over few squares: only those are mixed with it, a flat colour or a gradient.
TEST(SvgGradientSteps, PiecesOutsideAThinShapeAreNotMixed)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    std::string grid;
    for (int i = 0; i < 100; ++i)
        grid += "<rect x='" + std::to_string(i % 10 * 9) + "' y='" + std::to_string(i / 10 * 9) +
                "' width='8' height='8' fill='#36c'/>";
    const std::string strip = "points='0,2 2,0 90,88 88,90'";
    const Sent flat = Convert(grid + "<polygon " + strip + " fill='#fff' fill-opacity='0.5'/>");
    ASSERT_EQ(flat.bitmaps, 0);
    // The squares, the strip over the paper, and one mixture for each
    // square on the diagonal and for its neighbours, whose corners it touches.
    EXPECT_GE(flat.fills, 100 + 1 + 10);
    EXPECT_LE(flat.fills, 100 + 1 + 40);
    const Sent shaded = Convert(
        grid + "<linearGradient id='w'><stop offset='0' stop-color='#fff' stop-opacity='0.2'/>"
               "<stop offset='1' stop-color='#fff' stop-opacity='0.8'/></linearGradient><polygon " +
        strip + " fill='url(#w)'/>");
    ASSERT_EQ(shaded.bitmaps, 0);
    EXPECT_GE(shaded.gradients, 10);
    EXPECT_LE(shaded.gradients, 45);
}

// Bands of a translucent object over a piece beneath: a band shows there
// only when it meets what the piece shows within the object's clip, and
// not at all once a later band holds all of that. Here the object's bands
// nest about a centre far left of the piece, and the clip leaves the piece
// a strip that only a few bands cross: only those, and the one band that
// holds the strip, are mixed with it.
TEST(SvgGradientSteps, MixturesHiddenByLaterBandsAreNotWritten)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const std::string object =
        "<radialGradient id='h' gradientUnits='userSpaceOnUse' cx='60' cy='48' r='80' fx='58' "
        "fy='48'><stop offset='0' stop-color='#fff'/><stop offset='1' stop-color='#036'/>"
        "</radialGradient><clipPath id='k'><rect x='100' y='28' width='30' height='40'/>"
        "</clipPath><circle cx='60' cy='48' r='80' fill='url(#h)' fill-opacity='0.5' "
        "clip-path='url(#k)'/>";
    const Sent alone = Convert(object);
    const Sent over = Convert("<ellipse cx='150' cy='48' rx='30' ry='20' fill='#0a0'/>" + object);
    ASSERT_EQ(over.bitmaps, 0);
    ASSERT_GT(alone.fills, 20);
    // One colour per band mixed with the ellipse (and the ellipse's own),
    // all inside one clip of the ellipse; the strip lies between three
    // quarters and nine tenths of the radius from the centre: fewer than a
    // third of the bands cross it.
    const int mixtures = over.fills - alone.fills - 1;
    EXPECT_GT(mixtures, 1);
    EXPECT_LT(mixtures, alone.fills / 3) << alone.fills;
    EXPECT_EQ(over.clips, alone.clips + 1);
    // Nothing of the piece within the clip: no mixture at all.
    const Sent apart = Convert("<ellipse cx='170' cy='48' rx='20' ry='20' fill='#0a0'/>" + object);
    EXPECT_EQ(apart.clips, alone.clips);
    EXPECT_EQ(apart.fills, alone.fills + 1);
    // Over a fill that holds every band, each band is its mixture in its own
    // path: no clip more than the bands over the paper take.
    const std::string highlight = std::string(kFocal) +
                                  "<circle cx='96' cy='48' r='40' fill='url(#f)' opacity='0.5'/>";
    const Sent paper = Convert(highlight);
    const Sent held = Convert("<rect width='192' height='96' fill='#0a0'/>" + highlight);
    ASSERT_GT(paper.fills, 20);
    EXPECT_EQ(held.bitmaps, 0);
    EXPECT_EQ(held.clips, paper.clips);
    EXPECT_EQ(held.fills, paper.fills + 1);
}
