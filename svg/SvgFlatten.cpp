// Effects the records cannot express (transparency, filters, masks, blend
// modes) flattened as a print driver does: the area an object with effects
// covers becomes an image of the drawing there, everything beneath it
// included, rendered by librsvg; the drawing above goes on over it as vectors.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>

#include "SvgDocument.h"
#include "SvgValues.h"
#include "SvgXml.h"

#ifdef AIEXPORT_HAVE_RSVG
#include <librsvg/rsvg.h>
#include <libxml/xmlsave.h>
#endif

namespace svgreader {

bool Reader::Flattened(xmlNodePtr node, const std::string& name, const Style& parent,
                       const Style& style, const View& view)
{
    if (node == maskedAsClip)
        return false;  // drawn inside its mask's clip
    if (capture != nullptr) {
        // Inside an object walked apart: opacities multiply, anything else
        // that needs pixels makes the whole object an image.
        if (node != capture->root)
            for (const std::string& kind : style.unsupported)
                if (kind == "filters" || kind == "masks" || kind == "blend modes") {
                    capture->exact = false;
                    // A filter paints beyond the shapes it is given.
                    capture->bounded = capture->bounded && kind != "filters";
                }
        return false;
    }
    if (!Flattening() || !HasEffect(node, name, style, 0))
        return false;
    if (!FlattenAsVectors(node, name, parent, style, view))
        FlattenInstead(node);
    return true;
}

void Reader::FlattenInstead(xmlNodePtr node)
{
    effects.push_back({depth == 0 ? node : treeNode, draw.Mark(), Box{}, -1, clipChain.size()});
    ++objects;  // its group is kept: the image goes there
}

bool Reader::PaintHasEffect(const Paint& paint, double opacity, const Style& style, bool stroke,
                            bool shape)
{
    if (paint.kind == Paint::kNone || paint.kind == Paint::kUnset || opacity <= 0)
        return false;
    if (opacity < 1)
        return true;
    if (paint.kind != Paint::kUrl)
        return false;
    const auto it = ids.find(paint.url);
    if (it == ids.end())
        return false;
    // Pattern strokes, and cells no upright tile can repeat, are pictures,
    // but on shapes, which draw them as copies of their tile unless images
    // are asked for (or the copies would cost more, SvgPattern.cpp).
    if (LocalName(it->second) == "pattern")
        return (stroke || PatternTurns(it->second)) &&
               (!shape || options.flattenMode == Options::FlattenMode::kRaster ||
                (stroke && options.strokes == Options::Strokes::kHairlines));
    if (LocalName(it->second) != "linearGradient" && LocalName(it->second) != "radialGradient")
        return false;
    // The stops of the first gradient of the chain that has any.
    for (xmlNodePtr g : ChainOf(it->second).elements) {
        const Style gradientStyle = ComputeStyle(g, style);
        bool any = false;
        for (xmlNodePtr s = g->children; s != nullptr; s = s->next) {
            if (LocalName(s) != "stop")
                continue;
            any = true;
            if (ComputeStyle(s, gradientStyle).stopOpacity < 1)
                return true;
        }
        if (any)
            return false;
    }
    return false;
}

bool Reader::HasEffect(xmlNodePtr node, const std::string& name, const Style& style, int level)
{
    if (style.displayNone || level > kMaxNesting)
        return false;
    if (style.opacity < 1)
        return true;
    for (const std::string& kind : style.unsupported)
        if (kind == "filters" || kind == "masks" || kind == "blend modes")
            return true;
    // Containers paint nothing themselves: their content is walked.
    if (name == "g" || name == "a" || name == "svg" || name == "use" || name == "switch" ||
        name == "image")
        return false;
    const bool shape = name == "path" || name == "rect" || name == "circle" ||
                       name == "ellipse" || name == "line" || name == "polyline" ||
                       name == "polygon";
    if (style.visible && (PaintHasEffect(style.fill, style.fillOpacity, style, false, shape) ||
                          PaintHasEffect(style.stroke, style.strokeOpacity, style, true, shape)))
        return true;
    if (name != "text" && name != "tspan" && name != "textPath" && name != "a")
        return false;
    // Text is one object: a span with effects makes the whole of it one.
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next) {
        const std::string child = LocalName(n);
        if (child == "tspan" || child == "textPath" || child == "a")
            if (HasEffect(n, child == "a" ? "tspan" : child, ComputeStyle(n, style), level + 1))
                return true;
    }
    return false;
}

namespace {

// A coordinate of a filter's or a mask's region: a fraction of the box
// (objectBoundingBox, "0.1" or "10%"), or a length for `length` to read.
// False for what is no number as SVG writes one.
bool RegionValue(const std::optional<std::string>& text, double fallback, bool fraction,
                 const std::function<double(double)>& length, double& v)
{
    if (!text) {
        v = fallback;
        return true;
    }
    if (!fraction) {
        v = length(fallback);
        return std::isfinite(v);
    }
    if (text->find_first_not_of("0123456789+-.eE% ") != std::string::npos)
        return false;  // hexadecimal, inf and nan are no SVG numbers
    char* end = nullptr;
    v = std::strtod(text->c_str(), &end);
    if (end == text->c_str())
        return false;
    while (*end == ' ')
        ++end;
    if (*end == '%')
        v /= 100, ++end;
    while (*end == ' ')
        ++end;
    return *end == '\0' && std::isfinite(v);
}

}  // namespace

// A filter's or a mask's region in the element's user space: its x, y, width
// and height (by default 10 % beyond the box on each side) in the element's
// box, or in user space when `user`. False when a value is no number or the
// region has no area.
bool Reader::RegionRect(xmlNodePtr effect, const Style& effectStyle, bool user, const Box& box,
                        const View& view, double& x, double& y, double& w, double& h)
{
    auto along = [&](const char* name, double percentOf) {
        return [&, name, percentOf](double fallback) {
            return Length(effect, name, percentOf, effectStyle, fallback);
        };
    };
    if (!RegionValue(Attr(effect, "x"), user ? -0.1 * view.width : -0.1, !user,
                     along("x", view.width), x) ||
        !RegionValue(Attr(effect, "y"), user ? -0.1 * view.height : -0.1, !user,
                     along("y", view.height), y) ||
        !RegionValue(Attr(effect, "width"), user ? 1.2 * view.width : 1.2, !user,
                     along("width", view.width), w) ||
        !RegionValue(Attr(effect, "height"), user ? 1.2 * view.height : 1.2, !user,
                     along("height", view.height), h) ||
        !(w > 0) || !(h > 0))
        return false;
    if (!user) {
        x = box.minX + x * box.Width(), y = box.minY + y * box.Height();
        w *= box.Width(), h *= box.Height();
    }
    return true;
}

xmlNodePtr Reader::OwnFilter(const Style& style) const
{
    const auto it = ids.find(style.filter);
    if (it == ids.end() || LocalName(it->second) != "filter" || Href(it->second))
        return nullptr;
    return it->second;
}

Box Reader::FilterRegion(xmlNodePtr node, const Style& style, const View& view,
                         const std::vector<Piece>& parts, const std::vector<Box>& others)
{
    const xmlNodePtr filter = OwnFilter(style);
    if (filter == nullptr)
        return {};  // attributes of another filter, or no filter: unknown
    // The element's own user space, where its box and the region are.
    Matrix m = view.ctm;
    if (const auto t = Attr(node, "transform"); t && !ParseTransformList(*t, m))
        m = view.ctm;
    const double det = m.a * m.d - m.b * m.c;
    if (!m.IsFinite() || !(std::fabs(det) > 1e-12))
        return {};
    const Matrix inverse = m.Inverted();
    const bool user = Attr(filter, "filterUnits").value_or("") == "userSpaceOnUse";
    Box box;  // the element's box in its user space
    if (!user) {
        for (const Piece& p : parts) {
            Path path = p.path;
            path.Transform(inverse);
            const Box b = BoundsOf(path);
            if (b.valid)
                box.Add(b.minX, b.minY), box.Add(b.maxX, b.maxY);
        }
        for (const Box& o : others)
            for (const Point corner : {Point{o.minX, o.minY}, Point{o.maxX, o.minY},
                                       Point{o.minX, o.maxY}, Point{o.maxX, o.maxY}}) {
                const Point q = inverse.Apply(corner);
                box.Add(q.x, q.y);
            }
        if (!box.valid)
            return {};
    }
    double x = 0, y = 0, w = 0, h = 0;
    if (!RegionRect(filter, ComputeStyle(filter, style), user, box, view, x, y, w, h))
        return {};
    Box page;
    for (const Point corner :
         {Point{x, y}, Point{x + w, y}, Point{x, y + h}, Point{x + w, y + h}}) {
        const Point q = m.Apply(corner);
        if (!std::isfinite(q.x) || !std::isfinite(q.y))
            return {};
        page.Add(q.x, q.y);
    }
    return page;
}

bool Reader::MaskRegion(xmlNodePtr node, const std::string& name, const Style& style,
                        const View& view, xmlNodePtr& mask, Matrix& m, Path& region)
{
    const auto it = ids.find(style.mask);
    if (it == ids.end() || LocalName(it->second) != "mask" || Href(it->second) ||
        Attr(it->second, "maskContentUnits").value_or("userSpaceOnUse") != "userSpaceOnUse")
        return false;
    mask = it->second;
    m = view.ctm;
    if (!ElementTransform(node, m))
        return false;
    // The region, in the element's box unless given in its user space: the
    // box only of a basic shape is known before it is drawn.
    const bool user = Attr(mask, "maskUnits").value_or("") == "userSpaceOnUse";
    Box box;
    if (!user) {
        View inner = view;
        inner.ctm = m;
        Path shape;
        if (name == "g" || name == "a" || name == "svg" || name == "use" || name == "switch" ||
            name == "text" || name == "image" || !ShapePath(node, name, style, inner, shape))
            return false;
        box = BoundsOf(shape);
        if (!box.valid || !(box.Width() > 0) || !(box.Height() > 0))
            return false;
    }
    double x = 0, y = 0, w = 0, h = 0;
    if (!RegionRect(mask, ComputeStyle(mask, Style()), user, box, view, x, y, w, h))
        return false;
    region = RectPath(x, y, w, h, 0, 0);
    region.Transform(m);
    return region.IsFinite();
}

bool Reader::OpenMaskAsClip(xmlNodePtr node, const std::string& name, const Style& style,
                            const View& view)
{
    xmlNodePtr mask = nullptr;
    Matrix m;
    Path region;
    if (!MaskRegion(node, name, style, view, mask, m, region))
        return false;
    const Style maskStyle = ComputeStyle(mask, Style());
    // Opaque white shapes let through all there is where they lie, nothing
    // elsewhere: a clip. Anything else has shades between.
    Path shapes;
    std::size_t members = 0;
    for (xmlNodePtr n = mask->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        const std::string kind = LocalName(n);
        if (kind != "rect" && kind != "circle" && kind != "ellipse" && kind != "path" &&
            kind != "polygon")
            return false;
        const Style s = ComputeStyle(n, maskStyle);
        if (s.displayNone || !s.visible)
            continue;
        const bool white = s.fill.kind == Paint::kColor && s.fill.color.r == 255 &&
                           s.fill.color.g == 255 && s.fill.color.b == 255;
        if (!white || s.fillOpacity < 1 || s.opacity < 1 || s.evenOdd || !s.unsupported.empty() ||
            !s.clipPath.empty() ||
            (s.stroke.kind != Paint::kNone && s.stroke.kind != Paint::kUnset))
            return false;
        Matrix own = m;
        if (!ElementTransform(n, own))
            return false;
        View inner = view;
        inner.ctm = own;
        Path path;
        if (!ShapePath(n, kind, s, inner, path))
            return false;
        path.Transform(own);
        if (!path.IsFinite())
            return false;
        for (Subpath& sub : path.subpaths)
            if (!sub.segments.empty()) {
                ++members;
                shapes.subpaths.push_back(std::move(sub));
            }
    }
    if (members == 0)
        return false;  // nothing shows: no clip needed, nor drawn
    draw.BeginMask();
    draw.BeginClipRgn();
    WritePath(region, false);
    draw.EndClipRgn();
    PushClip(region, false, true);
    clipOwners.emplace_back(clipChain.size() - 1, node);
    draw.BeginMask();
    draw.BeginClipRgn();
    if (members > 1)
        draw.BeginComposite();
    WritePath(shapes, members > 1);
    if (members > 1) {
        draw.EndComposite();
        evenOddInForce = false;
    }
    draw.EndClipRgn();
    PushClip(shapes, false, true);
    return true;
}

#ifndef AIEXPORT_HAVE_RSVG

bool CanFlatten() { return false; }

void Reader::FlattenEffects(xmlDocPtr) {}

double Reader::UnknownMargin() const { return 0; }

#else

bool CanFlatten() { return true; }

namespace {

// Areas this close (inches) share one image, which spares seams and records.
constexpr double kMergeGap = 1.0 / 16;
// The pixels of all images of one drawing, whatever the resolution asked:
// the resolution is lowered to fit.
constexpr double kMaxFlattenPixels = 6'000'000;
// Objects measured one by one; a drawing with more is flattened whole.
constexpr std::size_t kMaxMeasured = 500;
// Each image costs the renderer a reading of the whole document: beyond this
// many, the drawing is one image of the box about them all.
constexpr std::size_t kMaxImages = 64;

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

struct ObjectUnref {
    void operator()(void* p) const { g_object_unref(p); }
};
template <typename T>
using GPtr = std::unique_ptr<T, ObjectUnref>;

struct SurfaceFree {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextFree {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceFree>;
using Context = std::unique_ptr<cairo_t, ContextFree>;

// An area of the page in inches, from its top left corner (y downwards).
struct Area {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return !(x1 > x0) || !(y1 > y0); }
    double Size() const { return (x1 - x0) * (y1 - y0); }
    bool Near(const Area& o) const
    {
        return x0 <= o.x1 + kMergeGap && o.x0 <= x1 + kMergeGap && y0 <= o.y1 + kMergeGap &&
               o.y0 <= y1 + kMergeGap;
    }
    void Join(const Area& o)
    {
        x0 = std::min(x0, o.x0), y0 = std::min(y0, o.y0);
        x1 = std::max(x1, o.x1), y1 = std::max(y1, o.y1);
    }
};

// Objects sharing an image, which goes where the last of them was drawn.
struct Cluster {
    Area area;
    std::size_t last = 0;           // in the walk's order
    std::vector<std::size_t> held;  // the effects in it
};

// Near areas joined, until none is near another.
void JoinNear(std::vector<Cluster>& clusters, const std::function<void()>& spend)
{
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t i = 0; i < clusters.size(); ++i)
            for (std::size_t j = i + 1; j < clusters.size(); ++j) {
                if (!clusters[i].area.Near(clusters[j].area))
                    continue;
                spend();
                Cluster& c = clusters[i];
                c.area.Join(clusters[j].area);
                c.last = std::max(c.last, clusters[j].last);
                c.held.insert(c.held.end(), clusters[j].held.begin(), clusters[j].held.end());
                clusters.erase(clusters.begin() + static_cast<std::ptrdiff_t>(j));
                merged = true;
                --j;
            }
    }
}

// A node's place in its document: child indices from the root element.
std::vector<int> PlaceOf(xmlNodePtr node)
{
    std::vector<int> place;
    for (; node != nullptr && node->parent != nullptr && node->parent->type != XML_DOCUMENT_NODE;
         node = node->parent) {
        int index = 0;
        for (xmlNodePtr n = node->prev; n != nullptr; n = n->prev)
            ++index;
        place.push_back(index);
    }
    std::reverse(place.begin(), place.end());
    return place;
}

xmlNodePtr NodeAt(xmlDocPtr doc, const std::vector<int>& place)
{
    xmlNodePtr node = xmlDocGetRootElement(doc);
    for (int index : place) {
        node = node != nullptr ? node->children : nullptr;
        for (int i = 0; node != nullptr && i < index; ++i)
            node = node->next;
    }
    if (node == nullptr)
        throw FlattenFailed{"the copy of the document differs from it"};
    return node;
}

// What an element of the tree looks like once drawn: what follows it in
// the document is put into definitions, where it still serves references.
void DrawUpTo(xmlNodePtr last)
{
    for (xmlNodePtr node = last; node->parent != nullptr && node->parent->type == XML_ELEMENT_NODE;
         node = node->parent) {
        if (node->next == nullptr)
            continue;
        xmlNodePtr defs = xmlNewNode(node->parent->ns, BAD_CAST "defs");
        while (node->next != nullptr) {
            xmlNodePtr n = node->next;
            xmlUnlinkNode(n);
            xmlAddChild(defs, n);
        }
        xmlAddChild(node->parent, defs);
    }
}

class Renderer {
public:
    Renderer(double pageWidth, double pageHeight)
        : width(pageWidth * kUserUnitsPerInch), height(pageHeight * kUserUnitsPerInch)
    {
    }

    void Load(xmlDocPtr doc, std::vector<std::string>* shown)
    {
        xmlChar* text = nullptr;
        int size = 0;
        xmlDocDumpMemory(doc, &text, &size);
        if (text == nullptr)
            throw std::bad_alloc();
        if (shown != nullptr)
            shown->emplace_back(reinterpret_cast<const char*>(text),
                                static_cast<std::size_t>(size));
        GPtr<GInputStream> stream(g_memory_input_stream_new_from_data(text, size, nullptr));
        GError* error = nullptr;
        // No base file: without one librsvg loads nothing but data: URIs, so
        // XInclude, linked images, style sheets and other documents are never
        // fetched by it. What the drawing links the reader has resolved.
        handle.reset(rsvg_handle_new_from_stream_sync(stream.get(), nullptr, RSVG_HANDLE_FLAGS_NONE,
                                                      nullptr, &error));
        xmlFree(text);
        Check(handle != nullptr, error);
        rsvg_handle_set_dpi(handle.get(), kUserUnitsPerInch);
    }

    // The box of what the element draws on the page, in inches: where it
    // leaves ink when drawn alone at `dpi`, with a pixel more on each side.
    Area Ink(const std::string& id, double dpi)
    {
        // What it paints first, which is all of an intermediate surface for
        // opacity and filters, then the pixels of that.
        const cairo_rectangle_t page{0, 0, std::ceil(width / kUserUnitsPerInch * dpi),
                                     std::ceil(height / kUserUnitsPerInch * dpi)};
        Surface recording(cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &page));
        Draw(recording.get(), id, 0, 0, dpi);
        double x = 0, y = 0, w = 0, h = 0;
        cairo_recording_surface_ink_extents(recording.get(), &x, &y, &w, &h);
        const int px0 = static_cast<int>(std::max(0.0, std::floor(x)));
        const int py0 = static_cast<int>(std::max(0.0, std::floor(y)));
        const int pw = static_cast<int>(std::min(page.width, std::ceil(x + w))) - px0;
        const int ph = static_cast<int>(std::min(page.height, std::ceil(y + h))) - py0;
        if (pw <= 0 || ph <= 0)
            return {};
        Surface pixels(cairo_image_surface_create(CAIRO_FORMAT_A8, pw, ph));
        Draw(pixels.get(), id, px0, py0, dpi);
        cairo_surface_flush(pixels.get());
        const unsigned char* data = cairo_image_surface_get_data(pixels.get());
        const int stride = cairo_image_surface_get_stride(pixels.get());
        int x0 = pw, y0 = ph, x1 = -1, y1 = -1;
        for (int row = 0; row < ph; ++row)
            for (int col = 0; col < pw; ++col)
                if (data[static_cast<std::size_t>(row) * stride + col] != 0) {
                    x0 = std::min(x0, col), x1 = std::max(x1, col);
                    y0 = std::min(y0, row), y1 = std::max(y1, row);
                }
        if (x1 < 0)
            return {};
        return {(px0 + x0 - 1) / dpi, (py0 + y0 - 1) / dpi, (px0 + x1 + 2) / dpi,
                (py0 + y1 + 2) / dpi};
    }

    // The pixels px0..px0+w, py0..py0+h of the page drawn at `dpi`, then put
    // on white: blend modes act on what is drawn, not on the paper, as in
    // viewers and editors.
    RgbImage Render(int px0, int py0, int w, int h, double dpi)
    {
        Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
        Context cr(cairo_create(surface.get()));
        cairo_translate(cr.get(), -px0, -py0);
        cairo_scale(cr.get(), dpi / kUserUnitsPerInch, dpi / kUserUnitsPerInch);
        const RsvgRectangle viewport{0, 0, width, height};
        GError* error = nullptr;
        Check(rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error), error);
        cr.reset();
        cairo_surface_flush(surface.get());
        RgbImage image;
        image.width = w;
        image.height = h;
        image.pixels.resize(static_cast<std::size_t>(w) * h * 3);
        const unsigned char* data = cairo_image_surface_get_data(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        std::uint8_t* out = image.pixels.data();
        for (int row = 0; row < h; ++row) {
            const unsigned char* in = data + static_cast<std::size_t>(row) * stride;
            for (int col = 0; col < w; ++col, in += 4) {
                std::uint32_t pixel = 0;
                std::memcpy(&pixel, in, 4);  // native-endian ARGB, premultiplied
                const std::uint32_t paper = 255 - (pixel >> 24);
                *out++ = static_cast<std::uint8_t>(((pixel >> 16) & 255) + paper);
                *out++ = static_cast<std::uint8_t>(((pixel >> 8) & 255) + paper);
                *out++ = static_cast<std::uint8_t>((pixel & 255) + paper);
            }
        }
        return image;
    }

private:
    // The element alone, the page's pixel (px0, py0) at the surface's origin.
    void Draw(cairo_surface_t* surface, const std::string& id, int px0, int py0, double dpi)
    {
        Context cr(cairo_create(surface));
        cairo_translate(cr.get(), -px0, -py0);
        cairo_scale(cr.get(), dpi / kUserUnitsPerInch, dpi / kUserUnitsPerInch);
        const RsvgRectangle viewport{0, 0, width, height};
        GError* error = nullptr;
        const std::string layer = "#" + id;
        Check(rsvg_handle_render_layer(handle.get(), cr.get(), layer.c_str(), &viewport, &error),
              error);
    }

    GPtr<RsvgHandle> handle;
    double width, height;  // the page in user units

    static void Check(bool ok, GError* error)
    {
        if (ok)
            return;
        std::string reason = error != nullptr ? error->message : "it could not be rendered";
        if (error != nullptr)
            g_error_free(error);
        throw FlattenFailed{"librsvg: " + reason};
    }
};

constexpr const char* kXIncludeNs = "http://www.w3.org/2001/XInclude";
constexpr const char* kOldXIncludeNs = "http://www.w3.org/2003/XInclude";
// Octaves of noise past these add less than an 8-bit step each (every one
// halves in weight), while each costs the renderer a pass over the area.
constexpr long kMaxOctaves = 10;

// What the renderer must not act on, replaced by an empty comment so that
// places in the tree stay those of the reader's document.
void Neutralise(xmlNodePtr node)
{
    xmlNodePtr comment = xmlNewDocComment(node->doc, BAD_CAST "");
    if (comment == nullptr)
        throw std::bad_alloc();
    xmlReplaceNode(node, comment);
    xmlFreeNode(node);
}

bool IsXInclude(xmlNodePtr node)
{
    return node->type == XML_ELEMENT_NODE && node->ns != nullptr &&
           (Str(node->ns->href) == kXIncludeNs || Str(node->ns->href) == kOldXIncludeNs);
}

std::string Base64(const std::vector<std::uint8_t>& bytes)
{
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t n = std::uint32_t{bytes[i]} << 16 |
                                (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

// The media type of image data the reader decodes and the renderer's
// loaders know; empty for any other.
std::string MediaType(const std::vector<std::uint8_t>& b)
{
    if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G')
        return "image/png";
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF)
        return "image/jpeg";
    if (b.size() >= 6 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F' && b[3] == '8')
        return "image/gif";
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M')
        return "image/bmp";
    return {};
}

void ClampNumber(xmlNodePtr node, const char* name, long limit)
{
    const auto text = Attr(node, name);
    if (!text)
        return;
    char* end = nullptr;
    const double v = std::strtod(text->c_str(), &end);
    if (end != text->c_str() && v > limit)
        xmlSetProp(node, BAD_CAST name, BAD_CAST std::to_string(limit).c_str());
}

}  // namespace

void Reader::InlineForRenderer(xmlNodePtr image)
{
    xmlAttrPtr href = xmlHasNsProp(image, BAD_CAST "href", BAD_CAST kXlinkNs);
    if (href == nullptr)
        href = xmlHasNsProp(image, BAD_CAST "href", nullptr);
    if (href == nullptr)
        return;
    std::vector<std::uint8_t> bytes;
    std::string linked;
    std::string reason;
    const bool data = Href(image).value_or("").rfind("data:", 0) == 0;
    bool drawn = ImageBytes(image, bytes, linked) && !MediaType(bytes).empty() &&
                 ImageFits(bytes, kMaxImagePixels, reason);
    if (!drawn && !reason.empty())
        Warn("images that cannot be decoded (" + reason + ")", image);
    // The renderer's document is copied for every image it draws: what
    // linked files add to it is bounded.
    if (drawn && !data && inlined + bytes.size() > kMaxInlinedBytes) {
        Warn("linked images in flattened areas beyond " + std::to_string(kMaxInlinedBytes >> 20) +
                 " MB in all",
             image);
        drawn = false;
    }
    if (drawn && !data) {
        inlined += bytes.size();
        Spend(bytes.size() / kBytesPerStep);
        const std::string uri = "data:" + MediaType(bytes) + ";base64," + Base64(bytes);
        xmlSetNsProp(image, href->ns, BAD_CAST "href", BAD_CAST uri.c_str());
    }
    if (!drawn) {
        xmlRemoveProp(href);
        InlineForRenderer(image);  // the other spelling of the attribute, if any
    }
}

void Reader::ResolveForRenderer(xmlDocPtr copy)
{
    std::vector<xmlNodePtr> neutral;
    std::vector<xmlNodePtr> images;
    std::vector<xmlNodePtr> stack;
    for (xmlNodePtr n = copy->children; n != nullptr; n = n->next)
        stack.push_back(n);
    while (!stack.empty()) {
        xmlNodePtr n = stack.back();
        stack.pop_back();
        if (n->type == XML_ENTITY_REF_NODE || n->type == XML_PI_NODE || IsXInclude(n)) {
            neutral.push_back(n);
            continue;
        }
        if (n->type != XML_ELEMENT_NODE)
            continue;
        // A base of its own would give the renderer somewhere to load from.
        if (xmlAttrPtr base = xmlHasNsProp(n, BAD_CAST "base", BAD_CAST kXmlNs))
            xmlRemoveProp(base);
        const std::string name = LocalName(n);
        if (name == "image")
            images.push_back(n);
        else if (name == "feTurbulence")
            ClampNumber(n, "numOctaves", kMaxOctaves);
        for (xmlNodePtr c = n->children; c != nullptr; c = c->next)
            stack.push_back(c);
    }
    for (xmlNodePtr n : neutral)
        Neutralise(n);
    for (xmlNodePtr image : images)
        InlineForRenderer(image);
    // Entities are substituted: their declarations serve nothing now.
    for (xmlDtdPtr dtd : {copy->intSubset, copy->extSubset})
        if (dtd != nullptr) {
            xmlUnlinkNode(reinterpret_cast<xmlNodePtr>(dtd));
            xmlFreeDtd(dtd);
        }
    copy->intSubset = copy->extSubset = nullptr;
}

double Reader::FlattenDpi() const
{
    // The default resolution, raised for small pages.
    const double longer = std::max(pageWidth, pageHeight);
    const double dpi = options.flattenDpi > 0
                           ? options.flattenDpi
                           : std::max(kDefaultFlattenDpi, kMinFlattenPixels / longer);
    // Images wider or taller than the records' 16-bit fields allow are not
    // drawn: the page never needs more.
    return std::min({dpi, 10922 / pageWidth, 32767 / pageHeight});
}

double Reader::MeasuringDpi() const
{
    // Areas are measured at no more than this: a pixel of them is at most
    // a thousandth of the page.
    return std::min(FlattenDpi(), 1024 / std::max(pageWidth, pageHeight));
}

double Reader::UnknownMargin() const
{
    // Near areas share one image, and an area reaches a pixel beyond its ink.
    return kMergeGap + 2 / MeasuringDpi();
}

void Reader::FlattenEffects(xmlDocPtr doc)
{
    double dpi = FlattenDpi();
    const Area page{0, 0, pageWidth, pageHeight};

    // Every object that draws in an image gets an id the renderer can name.
    Doc named(xmlCopyDoc(doc, 1));
    if (!named)
        throw std::bad_alloc();
    std::map<xmlNodePtr, std::string> anchors;
    int fresh = 0;
    for (const Effect& e : effects) {
        if (anchors.count(e.anchor) != 0)
            continue;
        const auto id = Attr(e.anchor, "id");
        std::string name;
        if (id && ids.at(*id) == e.anchor) {
            name = *id;
        } else {
            do
                name = "aiexport-flattened-" + std::to_string(++fresh);
            while (ids.count(name) != 0);
            xmlSetProp(NodeAt(named.get(), PlaceOf(e.anchor)), BAD_CAST "id",
                       BAD_CAST name.c_str());
        }
        anchors.emplace(e.anchor, name);
    }
    ResolveForRenderer(named.get());
    Renderer renderer(pageWidth, pageHeight);
    const double measuring = MeasuringDpi();
    renderer.Load(named.get(), options.rendered);

    // The area of each object; near ones share an image. An image that
    // objects drawn later as vectors extend is drawn up to the last of them.
    std::map<xmlNodePtr, Area> ink;
    std::vector<Cluster> clusters;
    auto areaOf = [&](std::size_t k) {
        const Effect& e = effects[k];
        Area a = page;
        if (e.area.valid) {
            a = {e.area.minX, pageHeight - e.area.maxY, e.area.maxX, pageHeight - e.area.minY};
        } else if (anchors.size() <= kMaxMeasured) {
            auto it = ink.find(e.anchor);
            if (it == ink.end())
                it = ink.emplace(e.anchor, renderer.Ink(anchors[e.anchor], measuring)).first;
            a = it->second;
        }
        Spend(1);
        a.x0 = std::max(a.x0, 0.0), a.y0 = std::max(a.y0, 0.0);
        a.x1 = std::min(a.x1, pageWidth), a.y1 = std::min(a.y1, pageHeight);
        if (!a.Empty())
            clusters.push_back({a, k, {k}});
    };
    const std::function<void()> spend = [this] { Spend(1); };
    for (std::size_t k = 0; k < effects.size(); ++k)
        if (effects[k].extends < 0)
            areaOf(k);
    // Far areas keep images of their own: together they are never more
    // pixels than one image of the box about them.
    JoinNear(clusters, spend);
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> holder(effects.size(), kNone);
    for (std::size_t i = 0; i < clusters.size(); ++i)
        for (std::size_t k : clusters[i].held)
            holder[k] = i;
    bool added = false;
    for (std::size_t k = 0; k < effects.size(); ++k) {
        const long of = effects[k].extends;
        if (of < 0)
            continue;
        const std::size_t i =
            static_cast<std::size_t>(of) < k ? holder[static_cast<std::size_t>(of)] : kNone;
        if (i != kNone) {
            clusters[i].last = std::max(clusters[i].last, k);
            holder[k] = i;
        } else {
            areaOf(k);  // that image drew nothing there: one of its own, to be safe
            added = true;
        }
    }
    if (added)
        JoinNear(clusters, spend);

    if (clusters.size() > kMaxImages) {
        for (const Cluster& c : clusters) {
            clusters.front().area.Join(c.area);
            clusters.front().last = std::max(clusters.front().last, c.last);
        }
        clusters.resize(1);
    }
    double pixels = 0;
    for (const Cluster& c : clusters)
        pixels += c.area.Size() * dpi * dpi;
    if (pixels > kMaxFlattenPixels)
        dpi *= std::sqrt(kMaxFlattenPixels / pixels);

    // From the last image to the first, so the offsets before stay true
    // (objects flattened one after the other share one).
    std::sort(clusters.begin(), clusters.end(),
              [](const Cluster& a, const Cluster& b) { return a.last > b.last; });
    for (const Cluster& c : clusters) {
        const int px0 = static_cast<int>(std::floor(c.area.x0 * dpi));
        const int py0 = static_cast<int>(std::floor(c.area.y0 * dpi));
        const int w = std::max(1, static_cast<int>(std::ceil(c.area.x1 * dpi)) - px0);
        const int h = std::max(1, static_cast<int>(std::ceil(c.area.y1 * dpi)) - py0);
        Doc pruned(xmlCopyDoc(named.get(), 1));
        if (!pruned)
            throw std::bad_alloc();
        const Effect& last = effects[c.last];
        DrawUpTo(NodeAt(pruned.get(), PlaceOf(last.anchor)));
        renderer.Load(pruned.get(), options.rendered);
        const RgbImage image = renderer.Render(px0, py0, w, h, dpi);
        RecordBuffer above;
        draw.MoveFrom(last.offset, above);
        const Matrix onPage{1 / dpi, 0, 0, -1 / dpi, px0 / dpi, pageHeight - py0 / dpi};
        Bitmap(image, placed ? placement * onPage : onPage);
        draw.Append(above);
        Spend(static_cast<std::size_t>(w) * h / 1000);
    }
}

#endif

}  // namespace svgreader
