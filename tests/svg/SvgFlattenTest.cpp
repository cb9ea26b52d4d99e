// Effects flattened: the areas with transparency, filters, masks and blend
// modes become images of what they look like, among the vector drawing (in
// the raster mode for transparency a vector drawing could show).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/ExportSession.h"

#ifdef AIEXPORT_HAVE_SVG
#include "RecordSink.h"
#include "SvgConverter.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

#if defined(AIEXPORT_SANITIZED) && defined(AIEXPORT_HAVE_RSVG)
// Fontconfig, through which the SVG converter's renderer finds the fonts of
// text, keeps what it allocates until the process ends: its leaks, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace {

struct Picture {
    double left = 0, top = 0, pixel = 0;  // inches on the page, y upwards
    int width = 0, height = 0;
    std::vector<int> rgb;
    int pathsBefore = 0;  // vector paths drawn beneath it

    std::array<int, 3> At(double x, double y) const  // page inches
    {
        const int col = static_cast<int>((x - left) / pixel),
                  row = static_cast<int>((top - y) / pixel);
        if (col < 0 || row < 0 || col >= width || row >= height)
            return {-1, -1, -1};
        const std::size_t i = (static_cast<std::size_t>(row) * width + col) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

struct Drawing {
    std::vector<Picture> pictures;
    int paths = 0;
    svgreader::Result outcome;

    std::array<int, 3> At(double x, double y) const
    {
        for (const Picture& p : pictures)
            if (p.At(x, y)[0] >= 0)
                return p.At(x, y);
        return {-1, -1, -1};
    }
};

// The drawing's pictures decoded from the records; 96 user units an inch.
svgreader::Options Raster()
{
    svgreader::Options o;
    o.flattenMode = svgreader::Options::FlattenMode::kRaster;
    return o;
}

Drawing Read(const std::string& body, const svgreader::Options& options = Raster(),
             const char* size = "192 96")
{
    TempDir dir;
    std::istringstream wh(size);
    std::string w, h;
    wh >> w >> h;
    WriteFile(dir.File("d.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
              "xmlns:inkscape='http://www.inkscape.org/namespaces/inkscape' width='" +
                  w + "' height='" + h + "'>" + body + "</svg>");
    Drawing d;
    recordscript::RecordList list;
    d.outcome = svgreader::Convert(svgreader::Source::File(dir.File("d.svg")), list, options);
    EXPECT_TRUE(d.outcome.converted) << d.outcome.error;
    SetMatrixData m{};
    for (recordscript::Record& record : list.records) {
        if (record.opcode == aiop::kBeginPath) {
            ++d.paths;
        } else if (record.opcode == aiop::kSetMatrix) {
            std::memcpy(&m, record.payload.data(), sizeof m);
        } else if (record.opcode == aiop::kBeginBitmap) {
            BeginBitmapData begin;
            std::memcpy(&begin, record.payload.data(), sizeof begin);
            Picture p;
            p.width = begin.width, p.height = begin.height;
            EXPECT_DOUBLE_EQ(m.a, m.d);  // square pixels (the record negates the rows)
            p.pixel = m.a, p.left = m.tx, p.top = m.ty, p.pathsBefore = d.paths;
            d.pictures.push_back(p);
        } else if (record.opcode == aiop::kBitmap) {
            BitmapData rows;
            std::memcpy(&rows, record.Bind(), sizeof rows);
            const std::size_t bytes = static_cast<std::size_t>(rows.lastRow - rows.firstRow + 1) *
                                      d.pictures.back().width * 3;
            EXPECT_GE(record.data.size(), bytes);
            if (record.data.size() >= bytes)
                d.pictures.back().rgb.insert(d.pictures.back().rgb.end(), record.data.begin(),
                                             record.data.begin() +
                                                 static_cast<std::ptrdiff_t>(bytes));
        }
    }
    for (const Picture& p : d.pictures)
        EXPECT_EQ(p.rgb.size(), static_cast<std::size_t>(p.width) * p.height * 3);
    return d;
}

void ExpectNear(std::array<int, 3> got, std::array<int, 3> want)
{
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(got[c], want[c], 8) << "channel " << c;
}

}  // namespace

// A translucent disc over a blue square: its area is an image of both, the
// square stays a path beneath it, and the opaque square drawn later above it.
TEST(SvgFlatten, TranslucentShapeIsAnImageOfItsAreaBetweenVectors)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Drawing d = Read("<rect width='96' height='96' fill='#0000ff'/>"
                           "<circle cx='96' cy='48' r='24' fill='red' opacity='0.5'/>"
                           "<rect x='150' y='10' width='20' height='20' fill='#00ff00'/>");
    EXPECT_TRUE(d.outcome.warnings.empty());
    ASSERT_EQ(d.pictures.size(), 1u);
    const Picture& p = d.pictures[0];
    EXPECT_EQ(p.pathsBefore, 1);
    EXPECT_EQ(d.paths, 2);
    // The disc's box, 0.75 to 1.25 inch across, and a pixel or two about it.
    EXPECT_NEAR(p.left, 0.75, 0.03);
    EXPECT_NEAR(p.left + p.width * p.pixel, 1.25, 0.03);
    EXPECT_NEAR(p.top, 0.75, 0.03);
    // A 2 by 1 inch page gets 384 pixels along its width by default.
    EXPECT_NEAR(p.pixel, 1.0 / 192, 1e-9);
    ExpectNear(p.At(0.875, 0.5), {128, 0, 127});    // red over blue
    ExpectNear(p.At(1.125, 0.5), {255, 127, 127});  // red over paper
    ExpectNear(p.At(0.76, 0.74), {0, 0, 255});      // the square beside the disc

    svgreader::Options opaque = Raster();
    opaque.flatten = false;
    const Drawing vectors =
        Read("<circle cx='96' cy='48' r='24' fill='red' opacity='0.5'/>", opaque);
    EXPECT_TRUE(vectors.pictures.empty());
    EXPECT_EQ(vectors.paths, 1);
    ASSERT_EQ(vectors.outcome.warnings.size(), 1u);
    EXPECT_NE(vectors.outcome.warnings[0].Text().find("left out: opacity"), std::string::npos);
    // An image of half-transparent black shows the red beneath it.
    const Drawing image =
        Read("<rect width='48' height='48' fill='red'/><image width='24' height='24' "
             "href='data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUl"
             "EQVR4nGNgYGBoAAAAhQCBmpSThwAAAABJRU5ErkJggg=='/>");
    ASSERT_EQ(image.pictures.size(), 1u);
    ExpectNear(image.At(0.125, 0.875), {128, 0, 0});
    // The renderer draws nothing of a hidden layer: its content stays, opaque.
    const Drawing hidden = Read(
        "<g inkscape:groupmode='layer' style='display:none'><circle r='9' opacity='0.5'/></g>");
    EXPECT_TRUE(hidden.pictures.empty());
    EXPECT_EQ(hidden.paths, 1);
}

// Near areas share one image, far ones have their own, and however much of
// the page an area covers its image is of that area alone, at the resolution
// asked.
TEST(SvgFlatten, NeighboursShareAnImageAndFarOnesHaveTheirOwn)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Drawing d =
        Read("<rect x='10' y='10' width='20' height='20' fill-opacity='0.5'/>"
             "<rect x='25' y='25' width='20' height='20' stroke='red' stroke-opacity='0.5'"
             " fill='none'/>"
             "<rect x='150' y='50' width='20' height='20' style='mix-blend-mode:multiply'/>");
    ASSERT_EQ(d.pictures.size(), 2u);
    EXPECT_LT(d.pictures[0].left, 0.1);
    EXPECT_GT(d.pictures[0].left + d.pictures[0].width * d.pictures[0].pixel, 0.46);
    EXPECT_GT(d.pictures[1].left, 1.5);

    svgreader::Options dpi = Raster();
    dpi.flattenDpi = 100;
    const Drawing most =
        Read("<rect x='5' y='5' width='170' height='80' fill='red' opacity='0.5'/>"
             "<rect x='150' y='30' width='20' height='20' fill='blue' opacity='0.5'/>",
             dpi);
    ASSERT_EQ(most.pictures.size(), 1u);
    // 1.77 by 0.83 inches and a pixel or two about them, of a page of 2 by 1.
    EXPECT_NEAR(most.pictures[0].width, 179, 3);
    EXPECT_NEAR(most.pictures[0].height, 85, 3);
    ExpectNear(most.At(1.65, 0.6), {128, 64, 191});  // blue over red over paper
    EXPECT_EQ(most.At(0.02, 0.5)[0], -1);            // the paper beside it is no image
    EXPECT_EQ(most.At(1.95, 0.5)[0], -1);

    // Blurs in two corners: two small images, not one of the page between them.
    const Drawing corners = Read("<filter id='b'><feGaussianBlur stdDeviation='2'/></filter>"
                                 "<rect x='4' y='4' width='30' height='30' stroke='red' "
                                 "filter='url(#b)'/><rect x='158' y='62' width='30' "
                                 "height='30' stroke='red' filter='url(#b)'/>",
                                 dpi);
    ASSERT_EQ(corners.pictures.size(), 2u);
    for (const Picture& p : corners.pictures) {
        EXPECT_LT(p.width, 50);
        EXPECT_LT(p.height, 50);
    }

    // Past 64 images, one of the box about them all, not of the page.
    std::string many;
    for (int i = 0; i < 72; ++i)
        many += "<rect x='" + std::to_string(10 + i % 12 * 12) + "' y='" +
                std::to_string(10 + i / 12 * 12) + "' width='2' height='2' opacity='0.5'/>";
    const Drawing one = Read(many, dpi);
    ASSERT_EQ(one.pictures.size(), 1u);
    EXPECT_NEAR(one.pictures[0].width, 136 / 0.96, 4);
    EXPECT_EQ(one.At(1.8, 0.5)[0], -1);
    ExpectNear(one.At(11.0 / 96, 1 - 11.0 / 96), {128, 128, 128});
}

// What the renderer draws: blurred shadows beyond the shape, gradients whose
// stops fade (defined after their use), masks and translucent layers.
TEST(SvgFlatten, ShadowsGradientsMasksAndLayersLookAsDrawn)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const Drawing d =
        Read("<filter id='blur'><feGaussianBlur stdDeviation='4'/></filter>"
             "<mask id='half'><rect width='192' height='48' fill='white'/></mask>"
             "<rect x='10' y='10' width='30' height='30' stroke='red' filter='url(#blur)'/>"
             "<rect x='60' y='10' width='40' height='40' fill='url(#fade)'/>"
             "<rect x='120' y='10' width='40' height='80' fill='#00f' mask='url(#half)'/>"
             "<g inkscape:groupmode='layer' opacity='0.5'><rect x='10' y='70' width='20' "
             "height='20' fill='#00f'/></g>"
             "<linearGradient id='fade'><stop offset='0' stop-color='#0f0'/>"
             "<stop offset='1' stop-color='#0f0' stop-opacity='0'/></linearGradient>",
             Raster(), "192 96");
    // The shadow, the gradient, the masked square and the layer.
    EXPECT_EQ(d.pictures.size(), 4u);
    const Drawing& p = d;
    // The shadow's edge spreads out of the square, and its middle is black.
    const auto edge = p.At(8.0 / 96, 71.0 / 96);
    EXPECT_GT(edge[0], 60);
    EXPECT_LT(edge[0], 230);
    ExpectNear(p.At(25.0 / 96, 71.0 / 96), {0, 0, 0});
    ExpectNear(p.At(61.0 / 96, 66.0 / 96), {0, 255, 0});
    ExpectNear(p.At(99.0 / 96, 66.0 / 96), {255, 255, 255});
    ExpectNear(p.At(140.0 / 96, 60.0 / 96), {0, 0, 255});  // inside the mask
    EXPECT_EQ(p.At(140.0 / 96, 30.0 / 96)[0], -1);         // masked away: nothing drawn
    ExpectNear(p.At(20.0 / 96, 16.0 / 96), {127, 127, 255});
    EXPECT_EQ(d.paths, 0);
}

// Text and dashed strokes have boxes: a translucent shape away from them is
// vector, one over part of them an image of that part only; translucent text
// is an image of its own box.
TEST(SvgFlatten, TextAndDashesOnlyWhereTheyLie)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const svgreader::Options balanced;
    const std::string text = "<text x='10' y='40' font-size='20'>Hello</text>";
    const std::string dash = "<path d='M10 20 H100' stroke='#000' stroke-width='4' "
                             "stroke-dasharray='8 4' stroke-dashoffset='3'/>";
    const std::string away = "<circle cx='160' cy='60' r='25' fill='red' opacity='0.5'/>";
    for (const std::string& beneath : {text, dash, "<g>" + text + "</g>"}) {
        EXPECT_TRUE(Read(beneath + away, balanced).pictures.empty()) << beneath;
        const Drawing over =
            Read(beneath + "<rect x='40' y='10' width='140' height='80' fill='red' opacity='0.5'/>",
                 balanced);
        ASSERT_EQ(over.pictures.size(), 1u) << beneath;
        const Picture& p = over.pictures[0];
        EXPECT_NEAR(p.left, 40.0 / 96, 0.03) << beneath;
        EXPECT_LT(p.left + p.width * p.pixel, 1.4) << beneath;  // not the rectangle's 1.875
        EXPECT_GT(p.top - p.height * p.pixel, 0.3) << beneath;  // nor its foot
    }
    const Drawing translucent =
        Read("<text x='10' y='40' font-size='20' fill-opacity='0.5'>Hello</text>" + away, balanced);
    ASSERT_EQ(translucent.pictures.size(), 1u);
    EXPECT_LT(translucent.pictures[0].left +
                  translucent.pictures[0].width * translucent.pictures[0].pixel,
              1.2);
}

// A filter paints within its region: a translucent shape beyond it stays
// vector over the paper, one within it too, with the filter's image drawn up
// to it and placed after it. A region that is not known leaves every later
// effect in images.
TEST(SvgFlatten, FilterRegionsBoundTheirImages)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    const svgreader::Options balanced;
    auto read = [&](const std::string& region, const char* used) {
        return Read("<filter id='f' " + region +
                        "><feGaussianBlur stdDeviation='2'/></filter><filter id='other' "
                        "href='#f'/><rect x='20' y='20' width='40' height='40' stroke='red' filter='url(#" +
                        used +
                        ")'/><rect x='72' y='20' width='30' height='40' fill='red' "
                        "opacity='0.5'/>",
                    balanced);
    };
    const Drawing tight = read("x='0' y='0' width='1' height='1'", "f");
    const Drawing wide = read("x='-50%' y='-0.5' width='2' height='2'", "f");
    const Drawing user =
        read("filterUnits='userSpaceOnUse' x='0' y='0' width='80' height='96'", "f");
    for (const Drawing* d : {&tight, &wide, &user}) {
        ASSERT_EQ(d->pictures.size(), 1u);
        const Picture& p = d->pictures[0];
        EXPECT_LT(p.left + p.width * p.pixel, 0.72);  // the blur's ink alone
        ExpectNear(p.At(40.0 / 96, 56.0 / 96), {0, 0, 0});
        EXPECT_GE(d->paths, 1);  // the translucent rectangle
    }
    EXPECT_EQ(tight.pictures[0].pathsBefore, 0);
    EXPECT_EQ(wide.pictures[0].pathsBefore, wide.paths);
    EXPECT_EQ(user.pictures[0].pathsBefore, user.paths);
    // The shape is in an image.
    EXPECT_NE(read("", "other").At(0.9, 0.6)[0], -1);
    EXPECT_EQ(tight.At(0.9, 0.6)[0], -1);
}

// An image inside a translucent group is in that group's picture, opaque or
// translucent itself.
TEST(SvgFlatten, ImagesInATranslucentGroup)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    // A red pixel, and a red pixel at half.
    for (const char* png : {"iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR42mP4z8AAAAMBAQ"
                            "D3A0FDAAAAAElFTkSuQmCC",
                            "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP4z8DQAAAEgQ"
                            "GA8wvcoAAAAABJRU5ErkJggg=="}) {
        const Drawing d = Read(std::string("<rect width='192' height='96' fill='#ff0'/>"
                                           "<g opacity='0.5'><image width='40' height='40' "
                                           "href='data:image/png;base64,") +
                                   png + "'/><rect x='60' width='40' height='40' fill='#00f'/></g>",
                               svgreader::Options());
        ASSERT_EQ(d.pictures.size(), 1u) << png;
        EXPECT_EQ(d.At(0.2, 0.8)[0], 255) << png;
        EXPECT_LT(d.At(0.2, 0.8)[1], 224) << png;  // the red shows through the yellow
        EXPECT_GT(d.At(0.2, 0.8)[1], 96) << png;
        ExpectNear(d.At(0.8, 0.8), {128, 128, 128});  // blue over yellow at half
    }
}

// The tool's options: --flatten and --flatten-dpi are listed, checked and applied.
TEST(SvgFlatten, ToolOptions)
{
    TempDir dir;
    WriteFile(dir.File("d.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
                                 "<rect width='48' height='48' opacity='0.5'/></svg>");
    auto run = [&](const std::string& args) {
        const std::string command =
            "cd '" + dir.path + "' && '" AIEXPORT_TOOL_PATH "' " + args + " >out 2>err";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    ASSERT_EQ(run("--help"), 0);
    EXPECT_NE(ReadFile(dir.File("out")).find("--flatten-dpi N"), std::string::npos);
    EXPECT_NE(ReadFile(dir.File("out")).find("--flatten=MODE"), std::string::npos);
    EXPECT_EQ(run("--flatten-dpi 0 d.svg out.ai"), 2);
    EXPECT_EQ(run("--flatten-dpi=nan d.svg out.ai"), 2);
    EXPECT_EQ(run("--flatten-dpi"), 2);
    EXPECT_EQ(run("--flatten=pixels d.svg out.ai"), 2);
    EXPECT_EQ(run("--flatten"), 2);
    // The default keeps a translucent square vector: black at half is grey.
    ASSERT_EQ(run("--records d.svg"), 0);
    if (svgreader::CanFlatten()) {
        EXPECT_EQ(ReadFile(dir.File("out")).find("BeginBitmap"), std::string::npos);
        EXPECT_NE(ReadFile(dir.File("out")).find("128 128 128"), std::string::npos);
    }
    ASSERT_EQ(run("--flatten raster --flatten-dpi=72 --records d.svg"), 0);
    const std::string records = ReadFile(dir.File("out"));
    EXPECT_NE(records.find(svgreader::CanFlatten() ? "BeginBitmap 37 37 " : "BeginPath"),
              std::string::npos);
    ASSERT_EQ(run("--no-flatten --records d.svg"), 0);
    EXPECT_EQ(ReadFile(dir.File("out")).find("BeginBitmap"), std::string::npos);
}

#endif
