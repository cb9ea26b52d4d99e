// Transparency flattened as vectors: the colours SVG composites, the records
// that draw them without an image, and the cases that still need one.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/ExportSession.h"

#ifdef AIEXPORT_HAVE_SVG
#include "RecordSink.h"
#include "SvgCompose.h"
#include "SvgConverter.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

namespace {

using svgreader::BlendMode;
using Colour = svgreader::Rgb;
using Mode = svgreader::Options::FlattenMode;

std::array<int, 3> Of(Colour c) { return {c.r, c.g, c.b}; }

// What a host would be sent, as far as these tests look.
struct Sent {
    int bitmaps = 0, clips = 0, paths = 0;
    std::vector<std::array<int, 2>> sizes;  // of the images, in pixels
    std::vector<std::array<int, 3>> fills, strokes, stops;
    std::vector<std::string> warnings;
    bool Fills(std::array<int, 3> c) const
    {
        for (const auto& f : fills)
            if (f == c)
                return true;
        return false;
    }
};

Sent Convert(const std::string& body, Mode mode = Mode::kBalanced)
{
    TempDir dir;
    WriteFile(dir.File("d.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='192' height='96'>" + body + "</svg>");
    svgreader::Options options;
    options.flattenMode = mode;
    recordscript::RecordList list;
    const svgreader::Result r =
        svgreader::Convert(svgreader::Source::File(dir.File("d.svg")), list, options);
    EXPECT_TRUE(r.converted) << r.error;
    Sent s;
    for (const auto& w : r.warnings)
        s.warnings.push_back(w.Text());
    for (const recordscript::Record& record : list.records) {
        auto colour = [&] {
            SetColorByValueData c{};
            std::memcpy(&c, record.payload.data(), sizeof c);
            return std::array<int, 3>{c.red, c.green, c.blue};
        };
        if (record.opcode == aiop::kBeginBitmap) {
            ++s.bitmaps;
            BeginBitmapData b{};
            std::memcpy(&b, record.payload.data(), sizeof b);
            s.sizes.push_back({b.width, b.height});
        } else if (record.opcode == aiop::kBeginClipRgn)
            ++s.clips;
        else if (record.opcode == aiop::kBeginPath)
            ++s.paths;
        else if (record.opcode == aiop::kSetFillColorByValue)
            s.fills.push_back(colour());
        else if (record.opcode == aiop::kSetStrokeColorByValue)
            s.strokes.push_back(colour());
        else if (record.opcode == aiop::kSetGradientRGN) {
            SetGradientRGNData g{};
            std::memcpy(&g, record.payload.data(), sizeof g);
            s.stops.push_back(
                {g.stopColor.color.red, g.stopColor.color.green, g.stopColor.color.blue});
        }
    }
    return s;
}

const char* kBlueSquare = "<rect width='96' height='96' fill='#0000ff'/>";

}  // namespace

// The formulas at values worked by hand: 8-bit components, halves rounded up.
TEST(SvgCompose, SourceOverAndTheSeparableModes)
{
    const Colour white{255, 255, 255}, red{255, 0, 0}, blue{0, 0, 255};
    EXPECT_EQ(Of(svgreader::OverPaper(red, 0.5)), (std::array<int, 3>{255, 128, 128}));
    EXPECT_EQ(Of(svgreader::Compose(blue, red, 0.5, BlendMode::kNormal)),
              (std::array<int, 3>{128, 0, 128}));
    EXPECT_EQ(Of(svgreader::Compose(white, red, 0, BlendMode::kNormal)),
              (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(Of(svgreader::Compose(white, red, 7, BlendMode::kNormal)),  // alpha clamped
              (std::array<int, 3>{255, 0, 0}));
    const Colour b{51, 153, 204}, s{204, 102, 51};  // 0.2 0.6 0.8 and 0.8 0.4 0.2
    auto at = [&](BlendMode m) { return Of(svgreader::Compose(b, s, 1, m)); };
    EXPECT_EQ(at(BlendMode::kMultiply), (std::array<int, 3>{41, 61, 41}));   // .16 .24 .16
    EXPECT_EQ(at(BlendMode::kScreen), (std::array<int, 3>{214, 194, 214}));  // .84 .76 .84
    EXPECT_EQ(at(BlendMode::kDarken), (std::array<int, 3>{51, 102, 51}));
    EXPECT_EQ(at(BlendMode::kLighten), (std::array<int, 3>{204, 153, 204}));
    EXPECT_EQ(at(BlendMode::kDifference), (std::array<int, 3>{153, 51, 153}));  // .6 .2 .6
    EXPECT_EQ(at(BlendMode::kExclusion), (std::array<int, 3>{173, 133, 173}));  // .68 .52 .68
    // Overlay is hard light with the layers exchanged: .32, 1-2(.4)(.6)=.52, .68.
    EXPECT_EQ(at(BlendMode::kOverlay), (std::array<int, 3>{82, 133, 173}));
    EXPECT_EQ(at(BlendMode::kHardLight), (std::array<int, 3>{173, 122, 82}));  // .68 .48 .32
    // Dodge .2/.2 = 1, .6/.6 = 1, .8/.8 = 1; burn 1-(.8/.8)=0, 1-.4/.4=0, 1-.2/.2=0.
    EXPECT_EQ(at(BlendMode::kColorDodge), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(at(BlendMode::kColorBurn), (std::array<int, 3>{0, 0, 0}));
    // Soft light: .2 + .6(D(.2)-.2) with D(.2) = ((3.2-12).2+4).2 = .448: .3488;
    // .6 - .2(.6)(.4) = .552; .8 - .6(.8)(.2) = .704.
    EXPECT_EQ(at(BlendMode::kSoftLight), (std::array<int, 3>{89, 141, 180}));
    // At half strength each lies halfway between backdrop and blend.
    EXPECT_EQ(Of(svgreader::Compose(b, s, 0.5, BlendMode::kMultiply)),
              (std::array<int, 3>{46, 107, 122}));
    // The dodge and burn ends: a black backdrop stays black, a white one white.
    EXPECT_DOUBLE_EQ(svgreader::BlendChannel(BlendMode::kColorDodge, 0, 1), 0);
    EXPECT_DOUBLE_EQ(svgreader::BlendChannel(BlendMode::kColorBurn, 1, 0), 1);
    EXPECT_DOUBLE_EQ(svgreader::BlendChannel(BlendMode::kColorBurn, 0.5, 0), 0);

    BlendMode m = BlendMode::kNormal;
    EXPECT_TRUE(svgreader::ParseBlendMode(" Color-Dodge ", m));
    EXPECT_EQ(m, BlendMode::kColorDodge);
    EXPECT_FALSE(svgreader::ParseBlendMode("hue", m));  // mixes the channels
    EXPECT_FALSE(svgreader::ParseBlendMode("plus-lighter", m));
}

// A translucent disc half over a blue square: the disc over the paper, then
// the disc clipped to the square in the mixture, and nothing else.
TEST(SvgVectorFlatten, TranslucentFlatShapeGoesOutAsColoursAndClips)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Sent s = Convert(std::string(kBlueSquare) +
                           "<circle cx='96' cy='48' r='24' fill='red' opacity='0.5'/>");
    EXPECT_EQ(s.bitmaps, 0);
    EXPECT_TRUE(s.warnings.empty());
    EXPECT_EQ(s.clips, 1);
    EXPECT_EQ(s.fills,
              (std::vector<std::array<int, 3>>{{0, 0, 255}, {255, 128, 128}, {128, 0, 128}}));
    // Beside it, nothing is redrawn: an object whose box meets no piece's
    // is only its colour over the paper.
    const Sent apart = Convert("<rect width='40' height='40' fill='#00f'/>"
                               "<circle cx='150' cy='48' r='24' fill='red' fill-opacity='0.5'/>");
    EXPECT_EQ(apart.clips, 0);
    EXPECT_EQ(apart.fills.back(), (std::array<int, 3>{255, 128, 128}));
}

// Strokes beneath are drawn again, as strokes, in the mixture; a translucent
// stroke over a fill is drawn clipped to it; gradients beneath get their
// stops mixed.
TEST(SvgVectorFlatten, StrokesAndGradientsBeneath)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Sent stroke = Convert("<path d='M0 48 H192' stroke='#00f' stroke-width='8'/>"
                                "<rect x='50' y='20' width='90' height='56' fill='red' "
                                "opacity='0.5'/>");
    EXPECT_EQ(stroke.bitmaps, 0);
    EXPECT_EQ(stroke.strokes, (std::vector<std::array<int, 3>>{{0, 0, 255}, {128, 0, 128}}));
    const Sent over = Convert(std::string(kBlueSquare) +
                              "<circle cx='96' cy='48' r='30' fill='none' stroke='red' "
                              "stroke-width='6' stroke-opacity='0.5'/>");
    EXPECT_EQ(over.bitmaps, 0);
    // The square drawn again in the mixture, inside the stroke's outline.
    EXPECT_EQ(over.strokes, (std::vector<std::array<int, 3>>{{255, 128, 128}}));
    EXPECT_TRUE(over.Fills({128, 0, 128}));
    const Sent gradient =
        Convert("<linearGradient id='g'><stop offset='0' stop-color='#f00'/>"
                "<stop offset='1' stop-color='#00f'/></linearGradient>"
                "<rect width='192' height='96' fill='url(#g)'/>"
                "<circle cx='96' cy='48' r='30' fill='#fff' fill-opacity='0.5'/>");
    EXPECT_EQ(gradient.bitmaps, 0);
    EXPECT_EQ(gradient.stops, (std::vector<std::array<int, 3>>{
                                  {255, 0, 0}, {0, 0, 255}, {255, 128, 128}, {128, 128, 255}}));
}

// A gradient with translucent stops over a flat fill and over the paper: a
// gradient of the composited stops each time; where colour and opacity both
// change along a span, with stops in between.
TEST(SvgVectorFlatten, TranslucentGradientOverFlatFills)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Sent fade = Convert(std::string(kBlueSquare) +
                              "<linearGradient id='f'><stop offset='0' stop-opacity='0.5'/>"
                              "<stop offset='1' stop-opacity='0'/></linearGradient>"
                              "<rect x='48' width='96' height='96' fill='url(#f)'/>");
    EXPECT_EQ(fade.bitmaps, 0);
    EXPECT_EQ(fade.stops, (std::vector<std::array<int, 3>>{
                              {128, 128, 128}, {255, 255, 255}, {0, 0, 128}, {0, 0, 255}}));
    const Sent both = Convert("<linearGradient id='f'><stop offset='0' stop-color='#f00' "
                              "stop-opacity='0'/><stop offset='1' stop-color='#00f'/>"
                              "</linearGradient><rect width='96' height='96' fill='url(#f)'/>");
    EXPECT_EQ(both.bitmaps, 0);
    ASSERT_EQ(both.stops.size(), 9u);
    // Halfway: #800080 at half over white, not the mean of white and blue.
    EXPECT_EQ(both.stops[4], (std::array<int, 3>{192, 128, 192}));
}

// A translucent group: its members each over what lay beneath the group, the
// later overwriting the earlier where they meet (not mixed with it); nested
// opacities multiply.
TEST(SvgVectorFlatten, GroupOpacityAndNestedOpacity)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Sent group = Convert(std::string(kBlueSquare) +
                               "<g opacity='0.5'><rect x='60' y='10' width='60' height='60' "
                               "fill='red'/><rect x='80' y='30' width='60' height='60' "
                               "fill='#0f0'/></g>");
    EXPECT_EQ(group.bitmaps, 0);
    EXPECT_TRUE(group.Fills({128, 0, 128}));    // red over blue
    EXPECT_TRUE(group.Fills({0, 128, 128}));    // green over blue, not over red
    EXPECT_FALSE(group.Fills({128, 64, 64}));   // what green over red over paper would be
    EXPECT_TRUE(group.Fills({128, 255, 128}));  // green over the paper
    const Sent nested = Convert("<g opacity='0.5'><g opacity='0.5'><rect width='20' height='20' "
                                "fill='#000' opacity='0.8'/></g></g>");
    EXPECT_EQ(nested.bitmaps, 0);
    EXPECT_EQ(nested.fills, (std::vector<std::array<int, 3>>{{204, 204, 204}}));  // 1 - .2
}

// What needs pixels still goes into an image: blurs, a translucent member
// over another inside a translucent group, a stroke over a stroke, a
// gradient over a gradient, text or an image beneath, modes that mix the
// channels; and more pieces than the budget in the balanced mode.
TEST(SvgVectorFlatten, PixelsWhereVectorsCannotBeExact)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const std::string disc = "<circle cx='96' cy='48' r='30' fill='red' opacity='0.5'/>";
    for (const std::string& body : {
             std::string("<filter id='b'><feGaussianBlur stdDeviation='3'/></filter>"
                         "<rect width='50' height='50' stroke='red' filter='url(#b)'/>"),
             std::string("<g opacity='0.5'><rect width='60' height='60'/>"
                         "<rect x='30' width='60' height='60' fill='red' opacity='0.5'/></g>"),
             std::string("<path d='M0 48 H192' stroke='#00f' stroke-width='8' "
                         "stroke-dasharray='10 5'/><path d='M96 0 V96' stroke='red' "
                         "stroke-width='8' stroke-opacity='0.5'/>"),
             std::string("<text x='80' y='50' font-size='20'>Text</text>") + disc,

             std::string("<pattern id='p' width='12' height='12' patternUnits='userSpaceOnUse' "
                         "patternTransform='rotate(45)'><rect width='5' height='12' opacity='0.5'/>"
                         "</pattern>"
                         "<circle cx='48' cy='48' r='40' fill='url(#p)' stroke='#000'/>"),
             std::string(kBlueSquare) +
                 "<circle cx='96' cy='48' r='30' fill='red' style='mix-blend-mode:hue'/>",
         }) {
        const Sent s = Convert(body);
        EXPECT_GE(s.bitmaps, 1) << body;
        EXPECT_TRUE(s.warnings.empty()) << body;
    }
    // The balance: a large object over a hundred small pieces costs fewer
    // bytes as vectors than as an image of its square inch; a small one
    // over a hundred pieces stacked where it lies costs more.
    std::string many, stacked;
    for (int i = 0; i < 100; ++i) {
        many += "<rect x='" + std::to_string(i % 10 * 9) + "' y='" + std::to_string(i / 10 * 9) +
                "' width='8' height='8' fill='#00f'/>";
        // None covers the object's box, which would hide those beneath it.
        stacked += "<rect x='" + std::to_string(i % 2 * 2 - 1) +
                   "' width='10' height='10' fill='#00f'/>";
    }
    many += "<rect width='96' height='96' fill='red' opacity='0.5'/>";
    stacked += "<rect width='10' height='10' fill='red' opacity='0.5'/>";
    auto mixed = [](const Sent& s) {
        return std::count(s.fills.begin(), s.fills.end(), std::array<int, 3>{128, 0, 128});
    };
    const Sent large = Convert(many);
    EXPECT_EQ(large.bitmaps, 0);
    EXPECT_EQ(mixed(large), 100);
    EXPECT_EQ(Convert(stacked).bitmaps, 1);
    const Sent vectors = Convert(stacked, Mode::kVector);
    EXPECT_EQ(vectors.bitmaps, 0);
    EXPECT_EQ(mixed(vectors), 100);
    EXPECT_EQ(Convert(std::string(kBlueSquare) + disc, Mode::kRaster).bitmaps, 1);
}

// A translucent object inside a clipped group stays inside the clip, and the
// clip of a piece beneath is kept when the piece is drawn again.
TEST(SvgVectorFlatten, ClipsOfTheObjectAndOfThePiecesBeneath)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Sent s = Convert("<clipPath id='c'><circle cx='48' cy='48' r='40'/></clipPath>"
                           "<rect width='192' height='96' fill='#00f' clip-path='url(#c)'/>"
                           "<g clip-path='url(#c)'><rect x='40' width='100' height='96' "
                           "fill='red' opacity='0.5'/></g>");
    EXPECT_EQ(s.bitmaps, 0);
    // The square's own clip, the group's, and for the mixture the square's
    // clip again with its shape.
    EXPECT_EQ(s.clips, 4);
    EXPECT_EQ(s.fills,
              (std::vector<std::array<int, 3>>{{0, 0, 255}, {255, 128, 128}, {128, 0, 128}}));
}

// A mask of opaque white shapes is a clip, within the mask's region; one
// with shades between (grey, a gradient, a stroke) is a picture.
TEST(SvgVectorFlatten, WhiteMasksAreClips)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    auto masked = [](const std::string& content) {
        return Convert("<mask id='m'>" + content +
                       "</mask><rect x='50' y='40' width='100' height='40' fill='#c04' "
                       "mask='url(#m)'/>");
    };
    const Sent white = masked("<circle cx='60' cy='48' r='30' fill='#fff'/>"
                              "<rect x='100' width='20' height='20' fill='white'/>");
    EXPECT_EQ(white.bitmaps, 0);
    EXPECT_EQ(white.clips, 2);  // the region, then the shapes
    EXPECT_TRUE(white.Fills({204, 0, 68}));
    // Shades of plain shapes: the element's colour at their luminance, as vectors.
    const Sent grey = masked("<circle cx='60' cy='48' r='30' fill='#eee'/>");
    EXPECT_EQ(grey.bitmaps, 0);
    EXPECT_TRUE(grey.Fills({207, 17, 80}));  // #c04 at 238/255 over the paper
    for (const std::string& content :
         {std::string("<circle cx='60' cy='48' r='30' fill='#fff' fill-opacity='0.9'/>"),
          std::string("<linearGradient id='g'><stop stop-color='#fff'/><stop offset='1'/>"
                      "</linearGradient><circle cx='60' cy='48' r='30' fill='url(#g)'/>")})
        EXPECT_EQ(masked(content).bitmaps, 0) << content;
    for (const std::string& content :
         {std::string("<circle cx='60' cy='48' r='30' fill='#fff' stroke='#888'/>"),
          std::string("<g><circle cx='60' cy='48' r='30' fill='#fff'/></g>"),
          std::string("<circle cx='60' cy='48' r='30' fill='#fff'/><circle cx='70' cy='48' "
                      "r='30' fill='#fff' fill-opacity='0.5'/>")}) {
        const Sent pictured = masked(content);
        EXPECT_EQ(pictured.bitmaps, 1) << content;
        EXPECT_EQ(pictured.clips, 0) << content;
    }
}

// Each shade of a mask is the element's colour at its luminance over what is
// beneath; where a later shape meets an earlier one it replaces it (the
// pictures are compared in tests/svg/looks).
TEST(SvgVectorFlatten, LuminanceMaskShadesOverWhatIsBeneath)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Sent s = Convert("<rect width='192' height='96' fill='#00f'/><mask id='m'>"
                           "<rect x='20' y='10' width='150' height='76' fill='#808080'/>"
                           "<circle cx='96' cy='48' r='20' fill='#404040'/></mask>"
                           "<rect x='10' y='5' width='170' height='86' fill='#ff0' "
                           "mask='url(#m)'/>");
    EXPECT_EQ(s.bitmaps, 0);
    EXPECT_TRUE(s.Fills({128, 128, 127}));  // #ff0 at 128/255 over blue
    EXPECT_TRUE(s.Fills({64, 64, 191}));    // and at 64/255
}

// What went into an image (a blur, an embedded image, a gradient the records
// cannot composite) is unknown only where it lies: a translucent object that
// meets none of it stays vector. One partly over it is vector too, and the
// image, its area unchanged, is drawn up to it and placed above it; one
// wholly within it goes into it.
TEST(SvgVectorFlatten, PixelsBeneathOnlyWhereTheyLie)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const std::string right = "<rect x='120' width='72' height='96' fill='#00f'/>"
                              "<circle cx='156' cy='48' r='20' fill='red' opacity='0.5'/>";
    const std::string blue = "<rect width='192' height='96' fill='#00f'/>";
    for (const std::string& left : {
             std::string("<image width='40' height='40' href='data:image/png;base64,"
                         "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwAD"
                         "hgGAWjR9awAAAABJRU5ErkJggg=='/>"),
             std::string("<g opacity='0.5'><rect width='30' height='30'/>"
                         "<rect x='15' width='30' height='30' fill='red' opacity='0.5'/></g>"),
         }) {
        const Sent s = Convert(left + right);
        EXPECT_EQ(s.bitmaps, 1) << left;
        EXPECT_TRUE(s.Fills({128, 0, 128})) << left;
        // The square holds the disc: it is not drawn over the paper too.
        EXPECT_FALSE(s.Fills({255, 128, 128})) << left;
        const Sent over =
            Convert(left + blue + "<circle cx='60' cy='40' r='20' fill='#0f0' opacity='0.5'/>");
        EXPECT_EQ(over.bitmaps, 1) << left;
        EXPECT_EQ(over.sizes, s.sizes) << left;
        EXPECT_TRUE(over.Fills({0, 128, 128})) << left;  // green over blue, as vectors
        const Sent within =
            Convert(left + blue + "<circle cx='14' cy='14' r='10' fill='#0f0' opacity='0.5'/>");
        EXPECT_EQ(within.bitmaps, 1) << left;
        EXPECT_EQ(within.sizes, s.sizes) << left;
        EXPECT_FALSE(within.Fills({0, 128, 128})) << left;
    }
}

// Where a translucent object crosses what vectors cannot mix it with (a
// dashed stroke, drawn by the module's own dashes), only the crossing is an
// image; the rest of the object is vector.
TEST(SvgVectorFlatten, ImagesOnlyOfTheCrossings)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Sent s = Convert("<path d='M0 48 H192' stroke='#00f' stroke-width='8' "
                           "stroke-dasharray='10 5'/><path d='M96 0 V96' stroke='red' "
                           "stroke-width='8' stroke-opacity='0.5'/>");
    ASSERT_EQ(s.bitmaps, 1);
    // The object is tall; the image of its crossing with the bar is not.
    EXPECT_LE(s.sizes[0][1], s.sizes[0][0]);
    EXPECT_TRUE(s.warnings.empty());
}

#endif
