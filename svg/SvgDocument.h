// The reader's state while it walks one document, shared by the parts of the
// walk: document and viewport, tree walk, paint and gradients, clipping,
// text, images.
#pragma once

#include <libxml/tree.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SvgFonts.h"
#include "SvgGradientSteps.h"
#include "SvgGeometry.h"
#include "SvgRaster.h"
#include "SvgReader.h"
#include "SvgRecords.h"
#include "SvgStyle.h"

namespace svgreader {

constexpr double kUserUnitsPerInch = 96;
// Fixed arrays of the payloads keep their terminating zero.
constexpr std::size_t kNameLimit = 63;
constexpr std::size_t kLayerNameLimit = 255;
constexpr std::size_t kFilePathLimit = 257;
// References (use, gradients) nest no deeper: a cycle ends here.
constexpr int kMaxReferenceDepth = 32;
// Raster rows go out in records of about this many bytes.
constexpr std::size_t kBitmapRecordBytes = 24 * 1024;
// The bounds of the work for one drawing, whatever its references multiply:
// the records kept and the bytes of their payloads (image rows included), the
// style lookups, the nesting of the tree walk (its stack), and the pixels of
// one image (its decoded size and its records).
constexpr std::size_t kMaxRecords = 4'000'000;
constexpr std::size_t kMaxRecordBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxWork = 50'000'000;
constexpr int kMaxNesting = 256;
constexpr std::size_t kMaxImagePixels = 8'000'000;
constexpr std::size_t kMaxImageFileBytes = std::size_t{64} << 20;
// Linked files handed to the renderer, in all.
constexpr std::size_t kMaxInlinedBytes = std::size_t{64} << 20;
// The document itself, as read or as inflated from .svgz.
constexpr std::size_t kMaxDocumentBytes = std::size_t{64} << 20;
// Elements drawn, through every reference: known before the walk, so a
// drawing that multiplies itself is refused before any of it is drawn.
constexpr std::size_t kMaxDrawnElements = 2'000'000;
// Bytes of text parsed (attributes, style sheets, path data) per step of work.
constexpr std::size_t kBytesPerStep = 64;
// A declaration of a style attribute applied: parsing its value costs as
// much as trying some sixteen style sheet rules.
constexpr std::size_t kStepsPerDeclaration = 16;

// The names of the layers the cut profiles add; the cut's colour is named
// as its layer, as cutting software looks for both.
constexpr const char* kCutContourName = "CutContour";
constexpr const char* kRegistrationLayer = "Registration";
// A hairline: 0.0001 pt, in inches, the thinnest width other than none that
// four decimals write; any device draws it as its thinnest line. (The
// module writes a width only on a change, and zero is its starting width.)
constexpr double kHairlineWidth = 0.0001 / 72;

// A drawing beyond those bounds: refused whole rather than cut short.
struct TooLarge {
    std::string what;
};

// preserveAspectRatio's alignment on one axis ('x' or 'Y', as its keywords
// spell them): 0 at the minimum, 1 at the maximum, else the middle.
inline double AlignFraction(const std::string& par, char axis)
{
    const std::string min = std::string(1, axis) + "Min", max = std::string(1, axis) + "Max";
    return par.find(min) != std::string::npos ? 0 : par.find(max) != std::string::npos ? 1 : 0.5;
}

// A viewBox (x y w h, both sides positive) onto a viewport of w by h, as
// preserveAspectRatio says.
inline Matrix ViewBoxTransform(const std::vector<double>& vb, double w, double h,
                               const std::string& par)
{
    double sx = w / vb[2], sy = h / vb[3];
    if (par.find("none") == std::string::npos)
        sx = sy = par.find("slice") != std::string::npos ? std::max(sx, sy) : std::min(sx, sy);
    return {sx,
            0,
            0,
            sy,
            (w - vb[2] * sx) * AlignFraction(par, 'x') - vb[0] * sx,
            (h - vb[3] * sy) * AlignFraction(par, 'Y') - vb[1] * sy};
}

struct View {
    Matrix ctm;        // user units to page inches
    double width = 0;  // the viewport, user units, for percentages
    double height = 0;
    double Diagonal() const { return std::sqrt((width * width + height * height) / 2); }
};

// The raster/vector balance: an image costs the file some 6 bytes a pixel
// (RGB in hexadecimal); the balanced mode draws an object as vectors while
// their records cost at most kVectorPreference times that (an image makes
// every translucent object drawn later over its area an image too, and is
// only as sharp as its resolution), and never refuses them below
// kMinVectorBytes (an image of a tiny area costs a seam besides its pixels).
constexpr double kImageBytesPerPixel = 6;
constexpr double kVectorPreference = 5;
constexpr double kMinVectorBytes = 4096;
// A pattern drawn as copies of its tile writes no more records than this
// in any mode (copies times the tile's records): past it, an image, or
// without one the paint's fallback colour.
constexpr double kMaxPatternCopyRecords = 200'000;

// The fill types of the records.
enum class FillKind { kColor = 1, kGradient = 2, kPattern = 3, kNone = 5 };

// One paint as the records give it: a colour, a gradient defined for this
// element, or none.
struct Fill {
    FillKind kind = FillKind::kNone;
    Rgb color;
    std::string name;  // of the gradient or pattern
    int tag = 0;
    std::string spot;  // a colour written by this name, defined once
    // A paint the records cannot express (a pattern whose tile or transform
    // does not map onto the module's): drawn with its fallback, and to be
    // flattened where flattening is done.
    bool flatten = false;
    double opacity = 1;  // of a colour that stands for a gradient's translucent stop
};

// What an element paints with, resolved once for the element before its
// records are written. Effects that act on the element as a whole join here.
struct ElementPaint {
    Fill fill;
    Fill stroke;
};

// Where a pattern's cells lie and what draws them, through its href chain.
struct PatternLayout {
    Matrix place;    // pattern space to the page: the view, then patternTransform
    Matrix content;  // the first cell's content to pattern space
    double x = 0, y = 0, w = 0, h = 0;  // the first cell, pattern space
    double viewWidth = 0, viewHeight = 0;  // for percentages in the content
    xmlNodePtr source = nullptr;           // whose children are the content
};

// A pattern paint drawn as copies of its tile: the cells from (i0, j0) to
// (i1, j1), each copy clipped to its cell when its content may leave it.
struct PatternCopies {
    xmlNodePtr pattern = nullptr;
    PatternLayout layout;
    long i0 = 0, i1 = -1, j0 = 0, j1 = -1;
    bool clipCells = false;
};

struct TextRun {
    Style style;
    std::string text;
};

// The runs from one position on: a text element, or a span with its own.
struct TextChunk {
    double x = 0, y = 0;
    std::vector<TextRun> runs;
};

bool SameRunStyle(const Style& a, const Style& b);
// The module's dash pattern nearest to an SVG dash array (0 solid).
int DashStyle(const std::vector<double>& svgDashes);

struct Layer {
    std::string name;
    bool visible = true;
    xmlNodePtr group = nullptr;     // a marked layer
    std::vector<xmlNodePtr> loose;  // or unmarked top-level content
};

// A gradient and those its href chain names: attributes and stops come from
// the first of them that has them.
struct GradientChain {
    std::vector<xmlNodePtr> elements;
    std::optional<std::string> Find(const char* attribute) const;
};

// An object with effects, drawn in the image of its area: the element of the
// document's tree it belongs to (a use of it, if referenced) and where in the
// records the image goes.
struct Effect {
    xmlNodePtr anchor = nullptr;
    std::size_t offset = 0;
    Box area;  // on the page, when not all the anchor draws is wanted
    // The effect whose image is drawn up to this anchor and placed here
    // instead, its area unchanged: a translucent object drawn as vectors
    // over part of that image. -1 for an area of its own.
    long extends = -1;
    std::size_t clips = 0;  // clips open where it is placed
};

// Where something that is no known piece was drawn, with a margin, and the
// effect whose image covers it (-1: none, as for text or embedded images).
struct UnknownArea {
    Box box;
    long effect = -1;
};

// A clipping region in force: its paths clip by their union, by the rule.
struct ClipRegion {
    Path path;  // page
    bool evenOdd = false;
    bool exact = true;  // false when text in it makes it more than its paths
    Box box;            // invalid when it hides everything
};
using ClipChain = std::vector<std::shared_ptr<const ClipRegion>>;

// A piece of the drawing already written, opaque, as the vector flattener
// sees it: one path painted with one fill or one stroke, under its clips.
struct Piece {
    Path path;  // page
    Style style;
    Matrix ctm;
    ElementPaint paint;  // the fill or the stroke, never both
    ClipChain clips;
    Box box;            // where it may leave ink, clips included
    bool known = true;  // false: a paint or clip the flattener cannot redo
    double alpha = 1;   // of a part of a transparent object being captured
    // The bands of one gradient share a family: each is drawn over the ones
    // before, replacing them, never mixed with them.
    int family = 0;
};

// A gradient definition as written, to define it again with other stops.
struct GradientDef {
    std::string id;
    SetGradient2Data placed{};
    std::vector<Stop> stops;
    bool exact = true;  // false: drawn in bands (focal, elliptical, spread), no definition
    GradientShape shape;  // as SVG draws it, for bands
    Point start, end;     // on the page: `placed` is of them in the filled path's box
};

// A transparent object walked apart to see what it paints (SvgVectorFlatten.cpp).
struct Capture {
    xmlNodePtr root = nullptr;
    std::vector<Piece> parts;
    std::size_t outerClips = 0;  // clips in force where it starts
    double opacity = 1;          // its own
    bool exact = true;           // false: something in it needs pixels
    bool bounded = true;         // false: it may paint beyond its pieces (filters)
};

// Elements the walk does not draw where they stand (definitions, metadata).
bool DrawnWhereItStands(std::string_view name);

// A colour by value as the records give it: RGB, eight bits a component.
inline SetColorByValueData Rgb16(const Rgb& c)
{
    SetColorByValueData v{};
    v.red = c.r, v.green = c.g, v.blue = c.b;
    return v;
}
// No stroke: style 5, the rest zero.
inline SetStrokeData NoStroke()
{
    SetStrokeData s{};
    s.style = 5;
    return s;
}

// The box of what `records` draw, in their page's inches; invalid when
// they draw nothing (SvgProfile.cpp). Paths count with half their stroke
// width, images by their corners, live text by its origins; pattern tiles
// and paths that paint nothing (clipping) do not count.
Box ArtBox(const RecordBuffer& records);
// The placement of `art` (on a page of pageWidth by pageHeight inches) on
// the page asked for, and that page's size.
Matrix PagePlacement(const Options::Page& page, double pageWidth, double pageHeight, Box art,
                     double& width, double& height);

// The renderer could not draw the document: it is read again, effects opaque.
struct FlattenFailed {
    std::string reason;
};

class Reader {
public:
    Reader(const std::string& file, Result& outcome, const Options& options,
           const std::string& path, recordscript::RecordSink& sink);

    void Run(xmlDocPtr doc);
    // The art moved by `placement` onto a page of `width` by `height`
    // inches, instead of the drawing's own page; before Run.
    void Place(const Matrix& placement, double width, double height);
    // The drawing's own page, inches, once Run has read it.
    double PageWidth() const { return pageWidth; }
    double PageHeight() const { return pageHeight; }

private:
    std::string file;
    Result& outcome;
    Options options;
    std::string path;                // of the file, for what it links; "-" for standard input
    recordscript::RecordSink& sink;  // where the records go when the drawing is complete
    std::vector<Effect> effects;
    xmlNodePtr treeNode = nullptr;  // the element of the tree being walked
    bool inVisibleLayer = true;
    // False when nothing in the drawing can be translucent over what lies
    // beneath it: the opaque pieces are then never needed, nor kept.
    bool notePieces = true;
    std::set<std::string> warned;
    long leftOut = 0;  // things drawn otherwise than SVG draws them, each time
    std::map<std::string, xmlNodePtr> ids;
    StyleSheet sheet;
    RecordBuffer defs, draw;
    std::set<std::string> gradientNames;
    std::map<std::string, int> gradientSuffixes;  // the next number to try for a name
    int gradientCount = 0;
    std::map<std::string, Fill> patterns;  // definitions by pattern and placement
    int patternCount = 0;
    long objects = 0;  // drawn objects, so empty groups can be taken back
    int depth = 0;     // references followed
    int nesting = 0;   // elements being walked, through references too
    std::size_t work = 0;
    // Where linked files may lie (real paths), and the directory relative
    // links start from: none for standard input.
    std::vector<std::string> linkRoots;
    std::string linkBase;
    std::size_t inlined = 0;  // bytes of linked files handed to the renderer
    // The declarations of each element's style attribute, parsed once.
    using Declarations = std::vector<std::pair<std::string, std::string>>;
    std::map<xmlNodePtr, Declarations> declarations;
    std::set<xmlNodePtr> active;  // referenced elements being drawn
    double pageWidth = 8.5, pageHeight = 11;
    // The page written, when placed (Place); else the drawing's own.
    bool placed = false;
    Matrix placement;
    double pictureWidth = 0, pictureHeight = 0;
    // What the art covers on the page, for its cut outline and marks.
    std::vector<Path> drawnAreas;
    int tiles = 0;                        // pattern tiles being written: not part of the art
    std::map<std::string, int> spotTags;  // custom colours defined
    bool evenOddInForce = false;          // the fill rule the last compound path left
    Path* clipOutlines = nullptr;  // where text in a clip path puts its outlines (page space)

    // Document and viewport (SvgReader.cpp).
    void Warn(const std::string& kind, xmlNodePtr at);
    // Counts work done and records written; beyond the bounds, throws TooLarge.
    void Spend(std::size_t units);
    void IndexIds(xmlNodePtr node);
    void CollectStyleSheets(xmlNodePtr node);
    Style ComputeStyle(xmlNodePtr node, const Style& parent);
    bool ElementTransform(xmlNodePtr node, Matrix& m);
    double Length(xmlNodePtr node, const char* name, double percentOf, const Style& s,
                  double fallback);
    // x, y, width and height of an element placed in a box (nested svg, image).
    struct Placement {
        double x = 0, y = 0, w = 0, h = 0;
    };
    Placement PlacementOf(xmlNodePtr node, const Style& style, const View& view, double width,
                          double height);
    View RootView(xmlNodePtr root);
    std::vector<Layer> CollectLayers(xmlNodePtr root, const Style& rootStyle);
    void WriteLayer(const Layer& layer, const Style& rootStyle, const View& view);

    // The tree walk (SvgWalk.cpp).
    void Walk(xmlNodePtr node, const Style& parent, const View& view);
    void WalkElement(xmlNodePtr node, const std::string& name, const Style& parent,
                     const View& view);
    void WalkChildren(xmlNodePtr node, const Style& style, const View& view);
    void Group(xmlNodePtr node, const Style& style, const View& childView);
    void Use(xmlNodePtr node, const Style& style, const View& view);
    void NestedSvg(xmlNodePtr node, const Style& style, const View& view);
    bool ShapePath(xmlNodePtr node, const std::string& name, const Style& style, const View& view,
                   Path& path);
    void Shape(xmlNodePtr node, const Style& style, const View& view, Path path);
    // A stroke whose dashes start at an offset, drawn as solid marks up to
    // the end of its first period and dashed from there (SvgDash.cpp). False
    // when the stroke has no offset to show.
    bool DashedWithOffset(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                          const Path& page);
    // A shape's paint and path: a compound path when it has several
    // subpaths, its fill rule kept; filled, its subpaths are closed.
    void WriteShape(const Style& style, const ElementPaint& paint, const Matrix& ctm, Path page);
    // A compound path of the non-zero rule sets it after its first member.
    void WritePath(const Path& pagePath, bool nonZeroCompound = false);
    // A gradient fill the records cannot draw, as bands of flat colour
    // inside the shape's path (SvgGradientSteps.h); then the stroke.
    void WriteBands(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                    const Path& page);
    // The bands of a gradient over `box`: at the images' resolution, at most
    // bandCap, as many as the colours seen through `alpha` need.
    std::vector<Band> BandsOf(const GradientShape& shape, const Box& box, double alpha = 1) const;
    // Gradient definitions written: the module holds 1024, so flattening
    // that would define more goes into an image instead.
    int gradientsWritten = 0;
    bool GradientRoom() const { return gradientsWritten < 1024; }
    bool strokeAreas = false;  // a shape's gradient stroke is drawn as its area
    int bandFamily = 0;        // of the bands being written
    int families = 0;
    // A shape's stroke as the filled area it covers; false when it has none.
    bool WriteStrokeOutline(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                            const Path& page);
    // What a drawn shape covers, kept for the cut outline.
    void NoteArea(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                  const Path& page);
    bool NotingAreas() const
    {
        return (options.cutContour || options.registrationMarks) && tiles == 0 && inVisibleLayer;
    }
    // The cut outline and registration marks, each on its layer (SvgProfile.cpp).
    void WriteCutLayers();

    // Paint and gradients (SvgPaint.cpp). Text paints its fill as a stroke:
    // a gradient gives its last colour.
    ElementPaint ResolveElementPaint(const Style& style, const Box& userBox, const Box& pageBox,
                                     const View& view, bool textFill, xmlNodePtr at);
    Fill ResolvePaint(const Paint& paint, const Style& style, double opacity, const Box& userBox,
                      const Box& pageBox, const View& view, bool forStroke, xmlNodePtr at);
    void WritePaint(const Style& style, const ElementPaint& paint, const Matrix& ctm);
    // A colour by value as the options want it: RGB, or CMYK.
    SetColorByValueData ColorValue(const Rgb& c) const;
    // The custom colour `name` defined once, with the look `c`; its tag.
    int DefineSpot(const std::string& name, const SetColorByValueData& c);
    // A gradient that is a named swatch (one stop) as its colour.
    bool Swatch(const GradientChain& chain, const Style& style, Fill& fill);
    void Gradient(xmlNodePtr gradient, const Style& style, const Box& userBox, const Box& pageBox,
                  const View& view, Fill& fill, xmlNodePtr at);
    GradientChain ChainOf(xmlNodePtr gradient);
    std::vector<Stop> GradientStops(const GradientChain& chain, const Style& style);
    bool GradientVector(const GradientChain& chain, const Style& style, const Box& userBox,
                        const View& view, Point& start, Point& end, GradientShape& shape);
    void DefineGradient(xmlNodePtr gradient, const Point& start, const Point& end,
                        const Box& pageBox, const GradientShape& shape, Fill& fill);
    std::string GradientName(const std::string& id);
    // A pattern fill as a pattern definition (SvgPattern.cpp); false when
    // its tile or placement cannot be one.
    bool Pattern(xmlNodePtr pattern, const Box& userBox, const View& view, Fill& fill);
    // The cells and content of a pattern for a shape of box `userBox`; false
    // when the box cannot place it (bounding-box units on a box without area).
    bool LayOutPattern(const std::vector<xmlNodePtr>& chain, const Box& userBox,
                       const View& view, PatternLayout& layout);
    // A pattern paint the records cannot hold (turned, skewed, overflowing
    // its cell or holding what no tile carries) as copies of its tile inside
    // `region` (page): false when the copies would cost more than the image
    // they stand for (`imageAlternative`), pass the bound on records, or
    // hold what needs pixels; then nothing is written.
    bool PlanPatternCopies(xmlNodePtr pattern, const Box& userBox, const View& view,
                           const Path& region, bool imageAlternative, PatternCopies& plan);
    void DrawPatternCopies(const PatternCopies& plan, const Path& region, bool evenOdd);
    // The pattern a paint names when the records cannot hold it; else null.
    xmlNodePtr UnheldPattern(const Paint& paint, const Fill& resolved) const;
    bool patternCopies = false;  // paints resolved for copies: no warning for patterns

    // Clipping (SvgClip.cpp).
    bool OpenClip(const Style& style, const View& view, const Box& userBox, xmlNodePtr at);
    // A mask of opaque white shapes only is a clip: opened around what the
    // element draws (two clips: the mask's region and its shapes), or false.
    bool OpenMaskAsClip(xmlNodePtr node, const std::string& name, const Style& style,
                        const View& view);
    xmlNodePtr maskedAsClip = nullptr;  // the element being drawn inside its mask's clip
    // The mask the element names (content in its user space), the element's
    // transform on the page and the mask's region there; false when unknown.
    bool MaskRegion(xmlNodePtr node, const std::string& name, const Style& style, const View& view,
                    xmlNodePtr& mask, Matrix& m, Path& region);
    // A luminance mask of plain filled shapes over the one flat fill the
    // element painted (c's only part): c's parts become the element's colour
    // inside each shape at the shape's luminance, later shapes replacing
    // earlier ones. False (c unchanged) when that cannot be exact.
    bool MaskAsParts(Capture& c, xmlNodePtr node, const std::string& name, const Style& style,
                     const View& view);
    // A Gaussian blur, the filter's one primitive, of flat fills of one
    // colour (c's parts): c's parts become the blurred alpha's level sets in
    // that colour, each replacing the ones around it, at most `maxLevels` of
    // them. False (c unchanged) when that cannot be exact.
    bool BlurAsParts(Capture& c, xmlNodePtr node, const std::string& name, const Style& style,
                     const View& view, int maxLevels = 255);
    void ClipMember(xmlNodePtr node, const Matrix& m, const View& view, const Style& parent,
                    std::vector<Path>& paths, std::vector<std::pair<xmlNodePtr, Matrix>>& texts,
                    int level);

    // Markers (SvgMarker.cpp). A definition's style comes from its own
    // ancestors, not from what refers to it.
    Style DefinitionStyle(xmlNodePtr node);
    void Markers(xmlNodePtr node, const Style& style, const View& view, const Path& path);
    void Marker(const std::string& id, const Style& style, const View& view, Point at, double angle,
                bool first, xmlNodePtr node);

    // Text (SvgText.cpp).
    void Text(xmlNodePtr node, const Style& style, const View& view);
    void CollectText(xmlNodePtr node, const Style& style, std::vector<TextChunk>& chunks,
                     bool& lastSpace);
    void WriteTextChunk(xmlNodePtr node, const TextChunk& chunk, const View& view);
    void WriteLiveText(xmlNodePtr node, const TextChunk& chunk, const View& view);

    // Text as outlines (SvgOutlines.cpp).
    bool Outlined(const TextRun& run, xmlNodePtr at);
    void WriteOutlines(xmlNodePtr node, const Style& style, const Path& glyphs, const View& view);
    // Adds a glyph's outline, counting the segments of the run's outlines;
    // outlines that would pass the bounds throw TooLarge.
    void AddGlyph(const Glyph& glyph, double size, const Matrix& m, Path& glyphs,
                  std::size_t& segments);
    void Notice(const std::string& key, const std::string& message, xmlNodePtr at);

    // Text laid out by the reader (SvgTextLayout.cpp).
    void TextOnPath(xmlNodePtr textPath, const std::vector<TextRun>& runs, const Style& style,
                    const View& view);
    void FlowRoot(xmlNodePtr node, const Style& style, const View& view);

    // Images (SvgImage.cpp).
    void Image(xmlNodePtr node, const Style& style, const View& view);
    bool ImageBytes(xmlNodePtr node, std::vector<std::uint8_t>& bytes, std::string& linked);
    // A linked file's bytes under the policy for links; false, the link
    // named in a warning, when it is refused or cannot be read.
    bool ReadLinked(const std::string& href, xmlNodePtr node, std::vector<std::uint8_t>& bytes,
                    std::string& linked);
    // What an image element gives the renderer: its bytes as a data URI when
    // the reader would draw them, else nothing.
    void InlineForRenderer(xmlNodePtr image);
    void LinkedTiff(xmlNodePtr node, const std::string& linked, Path box, const Matrix& m);
    void Bitmap(const RgbImage& image, const Matrix& placement);

    // Effects flattened (SvgFlatten.cpp).
    bool Flattening() const { return options.flatten && CanFlatten() && inVisibleLayer; }
    // True when the element has effects and goes into an image instead.
    bool Flattened(xmlNodePtr node, const std::string& name, const Style& parent,
                   const Style& style, const View& view);
    void FlattenInstead(xmlNodePtr node);
    bool HasEffect(xmlNodePtr node, const std::string& name, const Style& style, int level);
    // `shape`: the paint of a basic shape or path, which draws patterns as copies.
    bool PaintHasEffect(const Paint& paint, double opacity, const Style& style, bool stroke,
                        bool shape);
    // Whether a pattern's own transform turns or skews its cells (SvgPattern.cpp).
    bool PatternTurns(xmlNodePtr pattern);
    void FlattenEffects(xmlDocPtr doc);
    // The filter the style names, when it has attributes of its own; null
    // for none or one that takes them from another.
    xmlNodePtr OwnFilter(const Style& style) const;
    // Where the element's filter may paint, on the page, given the pieces it
    // draws and the boxes of what else it draws; invalid when not known.
    Box FilterRegion(xmlNodePtr node, const Style& style, const View& view,
                     const std::vector<Piece>& parts, const std::vector<Box>& others);
    bool RegionRect(xmlNodePtr effect, const Style& effectStyle, bool user, const Box& box,
                    const View& view, double& x, double& y, double& w, double& h);

    // Effects flattened as vectors (SvgVectorFlatten.cpp): the object drawn
    // in the colours it gives over the paper and, clipped to each opaque
    // piece beneath it, over that piece. False when that cannot be exact or
    // would pass the budget: it then goes into an image.
    bool FlattenAsVectors(xmlNodePtr node, const std::string& name, const Style& parent,
                          const Style& style, const View& view);
    bool EmitFlattened(const Capture& c, int mode, bool isolated);
    // EmitFlattened, tried again in fewer, wider bands when its bands took
    // more definitions or bytes than there was room for.
    bool EmitFlattenedInBands(const Capture& c, int mode, bool isolated);
    // Bands of one gradient at most (a band costs some 100 to 200 bytes):
    // enough for a step of colour per band over some 4 inches at 150 dpi.
    std::size_t bandCap = 256;
    mutable bool bandsMade = false;  // by BandsOf, since last cleared
    bool outOfRoom = false;        // flattening ran out of definitions or bytes
    // `budget`: the bytes of records the object's vectors may take.
    bool EmitOver(const Piece& part, const ClipChain& inner, const Piece& below, int mode,
                  std::size_t budget);
    // Pieces are noted (not in the raster mode nor without flattening).
    bool Tracking() const;
    void EmitClipped(const ClipChain& extra, const Piece& drawn);
    void WriteClipRegion(const ClipRegion& region);
    // Opens a clip group of the region and keeps it in the chain in force.
    void OpenClip(const std::shared_ptr<const ClipRegion>& region);
    // `fill`, a gradient, defined again with its stops composited over
    // `backdrop` at `alpha`; false when that cannot be exact.
    bool CompositeGradient(Fill& fill, double alpha, Rgb backdrop, int mode);
    // `g` defined for `fill`, or the definition of the same placement and
    // stops already written; false when the module has no room for it.
    bool DefineComposite(GradientDef g, Fill& fill);
    // Definitions written after the first `written` are dropped with their records.
    void ForgetGradientsAfter(int written);
    // Each path painted, noted as a piece (from WriteShape).
    void NotePiece(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                   const Path& page);
    void PushClip(const Path& path, bool evenOdd, bool exact);
    // An image placed inside a clip would be clipped with it, and what else
    // is in its picture lost: on closing an element's clip, images placed
    // within it move past it, drawn up to the element.
    void CloseClip();
    std::vector<std::pair<std::size_t, xmlNodePtr>> clipOwners;  // clips opened, by element
    void WriteGradientDef(const std::string& name, int tag, const SetGradient2Data& placed,
                          const std::vector<Stop>& stops);
    // The placement of `g` in a path whose page box is `box`: the same gradient on the page.
    static SetGradient2Data PlacedIn(const GradientDef& g, const Box& box);
    std::vector<Piece> pieces;  // the opaque pieces written, in painting order
    ClipChain clipChain;        // the clips in force
    Capture* capture = nullptr;
    double groupAlpha = 1;        // the opacities of the elements being walked, multiplied
    long knownObjects = 0;        // objects drawn that are all pieces
    bool unknownBeneath = false;  // something drawn that is not a known piece
    // Where objects that are no known pieces were drawn (text, images, objects
    // in images), each with a margin, and how many objects these boxes hold.
    std::vector<UnknownArea> unknownAreas;
    // Where the object being flattened mixes with what vectors cannot mix it
    // with (a gradient, a stroke): images of these alone.
    std::vector<Box> patches;
    // Where it lies over unknown areas: the images there are drawn up to it.
    std::vector<UnknownArea> overlaps;
    long boxedObjects = 0;
    void NoteUnknownArea(Box box, long effect = -1);
    double UnknownMargin() const;  // inches an image may reach beyond its area
    double MeasuringDpi() const;   // the resolution areas of images are found at
    double FlattenDpi() const;     // the resolution of images
    int tileDepth = 0;             // pattern tiles being walked
    std::size_t overlapTests = 0;
    std::map<int, GradientDef> gradientDefs;  // by tag
    struct Composite {
        int tag;
        std::string name;
        int written;  // gradientsWritten once it was
    };
    // Composites by what the module writes of them: mixtures of one gradient
    // with like colours (white highlights, stacked) come out the same.
    std::map<std::string, Composite> composites;
    bool gradientExact = true;                // of the gradient being defined
    // The copy of the document the renderer reads: every resource resolved
    // by the reader, nothing left for the renderer to load.
    void ResolveForRenderer(xmlDocPtr copy);

    // How many elements the walk would draw from `node`, references
    // multiplied out (SvgWalk.cpp); refused beyond kMaxDrawnElements.
    std::size_t DrawnCount(xmlNodePtr node, std::map<xmlNodePtr, std::size_t>& known,
                           std::set<xmlNodePtr>& open);
};

}  // namespace svgreader
