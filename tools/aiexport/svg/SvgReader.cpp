// The SVG front end: walks the document as a host walks its drawing and writes the records.
#include "SvgReader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>

#include "RecordWriter.h"
#include "SvgGeometry.h"
#include "SvgRaster.h"
#include "SvgStyle.h"
#include "SvgValues.h"

namespace svgreader {

namespace {

constexpr const char* kSvgNs = "http://www.w3.org/2000/svg";
constexpr const char* kXlinkNs = "http://www.w3.org/1999/xlink";
constexpr const char* kInkscapeNs = "http://www.inkscape.org/namespaces/inkscape";
constexpr const char* kXmlNs = "http://www.w3.org/XML/1998/namespace";

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
// the records written, the style lookups, the nesting of the tree walk (its
// stack), and the pixels of one image (its decoded size and its records).
constexpr std::size_t kMaxScriptBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxWork = 50'000'000;
constexpr int kMaxNesting = 256;
constexpr std::size_t kMaxImagePixels = 8'000'000;
constexpr std::size_t kMaxImageFileBytes = std::size_t{64} << 20;

// A drawing beyond those bounds: refused whole rather than cut short.
struct TooLarge {
    std::string what;
};

std::string Str(const xmlChar* s) { return s != nullptr ? reinterpret_cast<const char*>(s) : ""; }

// The element's name when it is SVG (namespace SVG or none), else empty.
std::string LocalName(xmlNodePtr node)
{
    if (node == nullptr || node->type != XML_ELEMENT_NODE)
        return {};
    if (node->ns != nullptr && Str(node->ns->href) != kSvgNs)
        return {};
    return Str(node->name);
}

std::optional<std::string> Attr(xmlNodePtr node, const char* name, const char* ns = nullptr)
{
    for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
        if (Str(a->name) != name)
            continue;
        const bool inNs = a->ns != nullptr;
        if (ns == nullptr ? inNs : (!inNs || Str(a->ns->href) != ns))
            continue;
        xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
        std::string out = Str(value);
        xmlFree(value);
        return out;
    }
    return std::nullopt;
}

std::optional<std::string> Href(xmlNodePtr node)
{
    auto h = Attr(node, "href", kXlinkNs);
    return h ? h : Attr(node, "href");
}

std::string FragmentOf(const std::string& href)
{
    return !href.empty() && href[0] == '#' ? href.substr(1) : std::string();
}

// UTF-8 to the module's 8-bit text (Latin-1); false when a character had to
// be replaced.
bool ToLatin1(std::string_view in, std::string& out)
{
    bool exact = true;
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        unsigned cp = c;
        std::size_t len = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < in.size())
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(in[i + 1]) & 0x3Fu), len = 2;
        else if (c >= 0xE0 && c < 0xF0 && i + 2 < in.size())
            cp = 0x10000, len = 3;
        else if (c >= 0xF0)
            cp = 0x10000, len = 4;
        else if (c >= 0x80)
            cp = 0x10000;
        i += len;
        if (cp > 0xFF) {
            out += '?';
            exact = false;
        } else {
            out += static_cast<char>(cp);
        }
    }
    return exact;
}

// Names the module writes bare inside parentheses: only balanced ones are
// safe, and a line break would end the comment lines that carry some of them.
std::string SafeName(const std::string& utf8, std::size_t limit)
{
    std::string name;
    ToLatin1(utf8, name);
    int depth = 0;
    bool balanced = true;
    for (char c : name) {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        balanced = balanced && depth >= 0;
    }
    balanced = balanced && depth == 0;
    for (char& c : name) {
        if (c == '\\')
            c = '/';
        else if (!balanced && c == '(')
            c = '[';
        else if (!balanced && c == ')')
            c = ']';
        else if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return name.substr(0, limit);
}

// The module's dash patterns, in points: 1 dashes, 2 dots, 3 dash-dot,
// 4 dash-dot-dot. The SVG pattern picks the nearest by its rhythm: how many
// short marks come with the long ones in one period.
int DashStyle(const std::vector<double>& svgDashes)
{
    std::vector<double> d = svgDashes;
    if (d.size() % 2 == 1)
        d.insert(d.end(), svgDashes.begin(), svgDashes.end());
    double total = 0;
    for (double v : d)
        total += v;
    if (d.empty() || !(total > 0))
        return 0;
    double longest = 0, shortest = HUGE_VAL, gaps = 0;
    for (std::size_t i = 0; i < d.size(); i += 2) {
        longest = std::max(longest, d[i]);
        shortest = std::min(shortest, d[i]);
        gaps += d[i + 1];
    }
    if (longest <= 0)
        return 0;  // nothing is drawn but gaps: keep the line rather than lose it
    if (longest < 2 * std::max(shortest, 1e-9)) {
        // Marks of one length: dots when they are short against their gaps.
        const double meanGap = gaps / static_cast<double>(d.size() / 2);
        return longest * 2 <= meanGap ? 2 : 1;
    }
    int shorts = 0;
    for (std::size_t i = 0; i < d.size(); i += 2)
        shorts += d[i] * 2 < longest ? 1 : 0;
    const int longs = static_cast<int>(d.size() / 2) - shorts;
    return shorts >= 2 * std::max(longs, 1) ? 4 : 3;
}

struct View {
    Matrix ctm;            // user units to page inches
    double width = 0;      // the viewport, user units, for percentages
    double height = 0;
    double Diagonal() const { return std::sqrt((width * width + height * height) / 2); }
};

struct Stop {
    double offset = 0;
    Rgb color;
};

struct TextRun {
    Style style;
    std::string text;
};

// Runs merge while nothing the records carry changes.
bool SameRunStyle(const Style& a, const Style& b)
{
    return a.fill.kind == b.fill.kind && a.fill.color.r == b.fill.color.r && a.fill.color.g == b.fill.color.g &&
           a.fill.color.b == b.fill.color.b && a.fill.url == b.fill.url && a.fontSize == b.fontSize &&
           a.bold == b.bold && a.italic == b.italic && a.fontFamily == b.fontFamily && a.visible == b.visible;
}

struct TextChunk {
    double x = 0, y = 0;
    std::vector<TextRun> runs;
};

class Reader {
public:
    Reader(const std::string& file, Outcome& outcome) : file(file), outcome(outcome) {}

    void Run(xmlDocPtr doc);

private:
    std::string file;
    Outcome& outcome;
    std::set<std::string> warned;
    std::map<std::string, xmlNodePtr> ids;
    StyleSheet sheet;
    RecordWriter defs, draw;
    std::set<std::string> gradientNames;
    std::map<std::string, int> gradientSuffixes;  // the next number to try for a name
    int gradientCount = 0;
    long objects = 0;  // drawn objects, so empty groups can be taken back
    int depth = 0;     // references followed
    int nesting = 0;   // elements being walked, through references too
    std::size_t work = 0;
    std::set<xmlNodePtr> active;  // referenced elements being drawn
    double pageWidth = 8.5, pageHeight = 11;

    void Warn(const std::string& kind, xmlNodePtr at)
    {
        if (!warned.insert(kind).second)
            return;
        std::string where = file;
        if (at != nullptr && xmlGetLineNo(at) > 0)
            where += ":" + std::to_string(xmlGetLineNo(at));
        outcome.warnings.push_back(where + ": warning: left out: " + kind);
    }

    // Counts work done and records written; beyond the bounds, throws TooLarge.
    void Spend(std::size_t units)
    {
        work += units;
        if (work > kMaxWork)
            throw TooLarge{"more than " + std::to_string(kMaxWork / 1'000'000) +
                           " million steps of work (elements drawn through references, style rules)"};
        if (defs.text.size() + draw.text.size() > kMaxScriptBytes)
            throw TooLarge{"more than " + std::to_string(kMaxScriptBytes >> 20) + " MB of records"};
    }

    void IndexIds(xmlNodePtr node);
    void CollectStyleSheets(xmlNodePtr node);
    Style ComputeStyle(xmlNodePtr node, const Style& parent);
    bool ElementTransform(xmlNodePtr node, Matrix& m);
    double Length(xmlNodePtr node, const char* name, double percentOf, const Style& s, double fallback);

    void Walk(xmlNodePtr node, const Style& parent, const View& view);
    void WalkElement(xmlNodePtr node, const std::string& name, const Style& parent,
                     const View& view);
    void WalkChildren(xmlNodePtr node, const Style& style, const View& view);
    void Group(xmlNodePtr node, const Style& style, const View& view, const View& childView);
    void Use(xmlNodePtr node, const Style& style, const View& view);
    void NestedSvg(xmlNodePtr node, const Style& style, const View& view);
    bool ShapePath(xmlNodePtr node, const std::string& name, const Style& style, const View& view, Path& path);
    void Shape(xmlNodePtr node, const Style& style, const View& view, Path path);
    void Text(xmlNodePtr node, const Style& style, const View& view);
    void CollectText(xmlNodePtr node, const Style& style, const View& view, std::vector<TextChunk>& chunks,
                     bool& lastSpace);
    void Image(xmlNodePtr node, const Style& style, const View& view);
    void Bitmap(const RgbImage& image, const Matrix& placement);

    bool OpenClip(const Style& style, const View& view, const Box& userBox, xmlNodePtr at);
    void ClipMember(xmlNodePtr node, const Matrix& m, const View& view, const Style& parent, std::vector<Path>& paths,
                    std::vector<std::pair<xmlNodePtr, Matrix>>& texts, int level);

    // Paint: a fill of colour, a gradient defined for this shape, or none.
    struct Fill {
        int type = 5;  // 1 colour, 2 gradient, 5 none
        Rgb color;
        std::string name;
        int tag = 0;
    };
    Fill ResolvePaint(const Paint& paint, const Style& style, double opacity, const Box& userBox,
                      const Box& pageBox, const Matrix& ctm, const View& view, bool forStroke, xmlNodePtr at);
    bool Gradient(xmlNodePtr gradient, const Style& style, const Box& userBox, const Box& pageBox,
                  const Matrix& ctm, const View& view, Fill& fill, xmlNodePtr at);
    void WritePaint(const Style& style, const Fill& fill, const Fill& stroke, const Matrix& ctm);
    void WritePath(const Path& pagePath);
    std::string GradientName(const std::string& id);
};

void Reader::IndexIds(xmlNodePtr node)
{
    for (xmlNodePtr n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (auto id = Attr(n, "id"))
            ids.emplace(*id, n);  // the first of duplicate ids wins, as in browsers
        IndexIds(n->children);
    }
}

void Reader::CollectStyleSheets(xmlNodePtr node)
{
    for (xmlNodePtr n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (LocalName(n) == "style") {
            xmlChar* content = xmlNodeGetContent(n);
            if (sheet.Add(Str(content)) > 0)
                Warn("style sheet rules with selectors other than type, class and id", n);
            xmlFree(content);
            continue;
        }
        CollectStyleSheets(n->children);
    }
}

Style Reader::ComputeStyle(xmlNodePtr node, const Style& parent)
{
    Spend(1 + sheet.Size());
    Style s = parent.Inherited();
    // Presentation attributes, then style sheet rules, then the style
    // attribute: each later source overrides the earlier ones.
    for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
        if (a->ns != nullptr) {
            if (Str(a->ns->href) == kXmlNs && Str(a->name) == "space") {
                xmlChar* v = xmlNodeListGetString(node->doc, a->children, 1);
                s.preserveSpace = Str(v) == "preserve";
                xmlFree(v);
            }
            continue;
        }
        const std::string name = Str(a->name);
        if (name == "style" || name == "class" || name == "id" || name == "transform")
            continue;
        xmlChar* v = xmlNodeListGetString(node->doc, a->children, 1);
        ApplyProperty(s, parent, name, Str(v), false);
        xmlFree(v);
    }
    if (!sheet.Empty())
        for (const auto& [name, value] :
             sheet.Matching(LocalName(node), Attr(node, "id").value_or(""), Attr(node, "class").value_or("")))
            ApplyProperty(s, parent, name, value, true);
    if (auto style = Attr(node, "style"))
        for (const auto& [name, value] : ParseDeclarations(*style))
            ApplyProperty(s, parent, name, value, true);
    for (const std::string& kind : s.unsupported)
        Warn(kind, node);
    return s;
}

bool Reader::ElementTransform(xmlNodePtr node, Matrix& m)
{
    const auto t = Attr(node, LocalName(node) == "linearGradient" || LocalName(node) == "radialGradient"
                                  ? "gradientTransform"
                                  : "transform");
    if (!t)
        return true;
    Matrix product = m;
    if (!ParseTransformList(*t, product) || !product.IsFinite()) {
        Warn("malformed transforms (the element's transform is ignored)", node);
        return false;
    }
    m = product;
    return true;
}

double Reader::Length(xmlNodePtr node, const char* name, double percentOf, const Style& s, double fallback)
{
    const auto text = Attr(node, name);
    double v = 0;
    if (!text)
        return fallback;
    if (!ParseLength(*text, percentOf, s.fontSize, v)) {
        Warn("malformed lengths", node);
        return fallback;
    }
    return v;
}

void Reader::Run(xmlDocPtr doc)
{
    xmlNodePtr root = xmlDocGetRootElement(doc);
    IndexIds(root);
    CollectStyleSheets(root);
    const Style rootParent;
    const Style rootStyle = ComputeStyle(root, rootParent);

    // The picture: width and height in their units, else the viewBox's
    // size in user units; the viewBox maps onto that viewport.
    const auto box = Attr(root, "viewBox");
    std::vector<double> vb = box ? ParseNumberList(*box) : std::vector<double>();
    if (vb.size() != 4 || !(vb[2] > 0) || !(vb[3] > 0)) {
        if (box)
            Warn("malformed viewBox", root);
        vb.clear();
    }
    auto side = [&](const char* name, double fromBox) {
        const auto text = Attr(root, name);
        double v = 0;
        if (text && Trim(*text).find('%') == std::string_view::npos && ParseLength(*text, 0, 16, v) && v > 0)
            return v;
        return fromBox;
    };
    double width = side("width", vb.empty() ? 0 : vb[2]);
    double height = side("height", vb.empty() ? 0 : vb[3]);
    if (!(width > 0) || !(height > 0)) {
        Warn("a picture size (none given: letter size is used)", root);
        width = 8.5 * kUserUnitsPerInch;
        height = 11 * kUserUnitsPerInch;
    }
    pageWidth = width / kUserUnitsPerInch;
    pageHeight = height / kUserUnitsPerInch;

    View view;
    // SVG's y grows downwards, the page's upwards.
    view.ctm = Matrix{1 / kUserUnitsPerInch, 0, 0, -1 / kUserUnitsPerInch, 0, pageHeight};
    view.width = width;
    view.height = height;
    if (!vb.empty()) {
        const std::string par = Attr(root, "preserveAspectRatio").value_or("xMidYMid meet");
        double sx = width / vb[2], sy = height / vb[3];
        double tx = 0, ty = 0;
        if (par.find("none") == std::string::npos) {
            const bool slice = par.find("slice") != std::string::npos;
            const double s = slice ? std::max(sx, sy) : std::min(sx, sy);
            const double fx = par.find("xMin") != std::string::npos ? 0 : par.find("xMax") != std::string::npos ? 1 : 0.5;
            const double fy = par.find("YMin") != std::string::npos ? 0 : par.find("YMax") != std::string::npos ? 1 : 0.5;
            tx = (width - vb[2] * s) * fx;
            ty = (height - vb[3] * s) * fy;
            sx = sy = s;
        }
        view.ctm = view.ctm * Matrix{sx, 0, 0, sy, tx - vb[0] * sx, ty - vb[1] * sy};
        view.width = vb[2];
        view.height = vb[3];
    }
    Matrix rootTransform = view.ctm;
    if (ElementTransform(root, rootTransform))
        view.ctm = rootTransform;

    // Layers: top-level groups that editors mark as layers; the content
    // between them goes into layers of its own, so nothing is lost.
    struct Layer {
        std::string name;
        bool visible = true;
        xmlNodePtr group = nullptr;         // a marked layer
        std::vector<xmlNodePtr> loose;      // or unmarked top-level content
    };
    std::vector<Layer> layers;
    bool marked = false;
    for (xmlNodePtr n = root->children; n != nullptr; n = n->next)
        marked = marked || (LocalName(n) == "g" && Attr(n, "groupmode", kInkscapeNs).value_or("") == "layer");
    std::set<std::string> used;
    std::map<std::string, int> suffixes;  // the next number to try for a name
    auto unique = [&](std::string name) {
        std::string candidate = name;
        for (int& k = suffixes.emplace(name, 2).first->second; !used.insert(candidate).second; ++k)
            candidate = name.substr(0, kLayerNameLimit - 8) + " " + std::to_string(k);
        return candidate;
    };
    for (xmlNodePtr n = root->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (marked && LocalName(n) == "g" && Attr(n, "groupmode", kInkscapeNs).value_or("") == "layer") {
            Layer layer;
            layer.group = n;
            std::string label = Attr(n, "label", kInkscapeNs).value_or(Attr(n, "id").value_or(""));
            if (Trim(label).empty())
                label = "Layer " + std::to_string(layers.size() + 1);
            layer.name = unique(SafeName(label, kLayerNameLimit));
            layer.visible = !ComputeStyle(n, rootStyle).displayNone;
            layers.push_back(layer);
        } else {
            if (layers.empty() || layers.back().group != nullptr) {
                Layer layer;
                layer.name = unique(marked ? "Unlayered" : "Layer 1");
                layers.push_back(layer);
            }
            layers.back().loose.push_back(n);
        }
    }

    defs.Name("BeginPicture").Real(0).Real(0).Real(pageWidth).Real(pageHeight).End();
    for (const Layer& layer : layers)
        defs.Name("DefineLayer").String(layer.name, kLayerNameLimit).Int(layer.visible ? 1 : 0).End();

    for (const Layer& layer : layers) {
        draw.Name("BeginLayer").String(layer.name).End();
        if (layer.group != nullptr) {
            // A hidden layer keeps its content, marked invisible.
            Style style = ComputeStyle(layer.group, rootStyle);
            style.displayNone = false;
            // The layer is the bracket: its content needs no group of its
            // own unless it is clipped.
            View inner = view;
            ElementTransform(layer.group, inner.ctm);
            if (!style.clipPath.empty())
                Group(layer.group, style, view, inner);
            else
                WalkChildren(layer.group, style, inner);
        } else {
            for (xmlNodePtr n : layer.loose)
                Walk(n, rootStyle, view);
        }
        draw.Name("EndLayer").End();
    }

    outcome.script = "# Records from " + file + "\n" + defs.text;
    outcome.script += "BeginDrawingSection";
    RecordWriter size;
    size.Real(pageWidth).Real(pageHeight);
    outcome.script += size.text + "\n" + draw.text + "EndPicture\n";
}

void Reader::WalkChildren(xmlNodePtr node, const Style& style, const View& view)
{
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next)
        if (n->type == XML_ELEMENT_NODE)
            Walk(n, style, view);
}

void Reader::Walk(xmlNodePtr node, const Style& parent, const View& view)
{
    const std::string name = LocalName(node);
    if (name.empty())
        return;  // other vocabularies: editor settings, metadata
    static const std::set<std::string> kSilent = {"defs",           "title",          "desc",   "metadata",
                                                  "style",          "linearGradient", "radialGradient",
                                                  "clipPath",       "symbol",         "marker", "script",
                                                  "stop",           "font",           "font-face"};
    if (kSilent.count(name) != 0)
        return;
    if (name == "pattern" || name == "mask" || name == "filter") {
        return;  // definitions: warned where something refers to them
    }
    if (nesting >= kMaxNesting)
        throw TooLarge{"elements nested more than " + std::to_string(kMaxNesting) +
                       " deep (through references too)"};
    ++nesting;
    WalkElement(node, name, parent, view);
    --nesting;
}

void Reader::WalkElement(xmlNodePtr node, const std::string& name, const Style& parent,
                         const View& view)
{
    const Style style = ComputeStyle(node, parent);
    if (style.displayNone)
        return;
    if (style.opacity <= 0)
        return;  // nothing of it shows
    if (style.opacity < 1)
        Warn("opacity", node);

    View inner = view;
    const bool transformed = ElementTransform(node, inner.ctm);
    (void)transformed;

    if (name == "g" || name == "a") {
        Group(node, style, view, inner);
    } else if (name == "switch") {
        // The first child a renderer would choose; conditions are not evaluated.
        for (xmlNodePtr n = node->children; n != nullptr; n = n->next)
            if (!LocalName(n).empty()) {
                Walk(n, style, inner);
                break;
            }
    } else if (name == "svg") {
        NestedSvg(node, style, inner);
    } else if (name == "use") {
        Use(node, style, inner);
    } else if (name == "text") {
        Text(node, style, inner);
    } else if (name == "image") {
        Image(node, style, inner);
    } else {
        Path path;
        if (ShapePath(node, name, style, inner, path))
            Shape(node, style, inner, std::move(path));
        else if (name != "path" && name != "rect" && name != "circle" && name != "ellipse" && name != "line" &&
                 name != "polyline" && name != "polygon")
            Warn("<" + name + "> elements", node);
    }
}

void Reader::Group(xmlNodePtr node, const Style& style, const View& view, const View& childView)
{
    (void)view;
    const std::size_t mark = draw.text.size();
    const long before = objects;
    draw.Name("BeginGroup").End();
    const bool clipped = !style.clipPath.empty() && OpenClip(style, childView, Box(), node);
    WalkChildren(node, style, childView);
    if (clipped)
        draw.Name("EndMask").End();
    draw.Name("EndGroup").End();
    if (objects == before)
        draw.text.resize(mark);  // an empty group draws nothing
}

void Reader::NestedSvg(xmlNodePtr node, const Style& style, const View& view)
{
    View inner = view;
    const double x = Length(node, "x", view.width, style, 0);
    const double y = Length(node, "y", view.height, style, 0);
    const double w = Length(node, "width", view.width, style, view.width);
    const double h = Length(node, "height", view.height, style, view.height);
    if (!(w > 0) || !(h > 0))
        return;
    inner.ctm = view.ctm * Matrix::Translate(x, y);
    inner.width = w;
    inner.height = h;
    if (const auto box = Attr(node, "viewBox")) {
        const auto vb = ParseNumberList(*box);
        if (vb.size() == 4 && vb[2] > 0 && vb[3] > 0) {
            const bool none = Attr(node, "preserveAspectRatio").value_or("").find("none") != std::string::npos;
            double sx = w / vb[2], sy = h / vb[3];
            double tx = 0, ty = 0;
            if (!none) {
                const double s = std::min(sx, sy);
                tx = (w - vb[2] * s) / 2;
                ty = (h - vb[3] * s) / 2;
                sx = sy = s;
            }
            inner.ctm = inner.ctm * Matrix{sx, 0, 0, sy, tx - vb[0] * sx, ty - vb[1] * sy};
            inner.width = vb[2];
            inner.height = vb[3];
        }
    }
    Warn("the clipping of nested <svg> viewports", node);
    Group(node, style, view, inner);
}

void Reader::Use(xmlNodePtr node, const Style& style, const View& view)
{
    const std::string id = FragmentOf(Href(node).value_or(""));
    const auto found = ids.find(id);
    if (found == ids.end()) {
        Warn("<use> references to missing or external elements", node);
        return;
    }
    xmlNodePtr target = found->second;
    if (depth >= kMaxReferenceDepth || active.count(target) != 0) {
        Warn("circular <use> references", node);
        return;
    }
    View inner = view;
    inner.ctm = view.ctm * Matrix::Translate(Length(node, "x", view.width, style, 0),
                                             Length(node, "y", view.height, style, 0));
    ++depth;
    active.insert(target);
    const std::size_t mark = draw.text.size();
    const long before = objects;
    draw.Name("BeginGroup").End();
    const bool clipped = !style.clipPath.empty() && OpenClip(style, inner, Box(), node);
    if (LocalName(target) == "symbol") {
        const Style symbolStyle = ComputeStyle(target, style);
        View symbolView = inner;
        const auto box = Attr(target, "viewBox");
        const auto vb = box ? ParseNumberList(*box) : std::vector<double>();
        if (vb.size() == 4 && vb[2] > 0 && vb[3] > 0) {
            const double w = Length(node, "width", view.width, style, vb[2]);
            const double h = Length(node, "height", view.height, style, vb[3]);
            const double s = std::min(w / vb[2], h / vb[3]);
            symbolView.ctm = inner.ctm * Matrix{s, 0, 0, s, (w - vb[2] * s) / 2 - vb[0] * s, (h - vb[3] * s) / 2 - vb[1] * s};
            symbolView.width = vb[2];
            symbolView.height = vb[3];
        }
        WalkChildren(target, symbolStyle, symbolView);
    } else {
        Walk(target, style, inner);
    }
    if (clipped)
        draw.Name("EndMask").End();
    draw.Name("EndGroup").End();
    if (objects == before)
        draw.text.resize(mark);
    active.erase(target);
    --depth;
}

bool Reader::ShapePath(xmlNodePtr node, const std::string& name, const Style& style, const View& view, Path& path)
{
    const double w = view.width, h = view.height, diag = view.Diagonal();
    if (name == "path") {
        if (!ParsePathData(Attr(node, "d").value_or(""), path) && Attr(node, "d"))
            Warn("malformed path data (drawn up to the error)", node);
        return true;
    }
    if (name == "rect") {
        const double x = Length(node, "x", w, style, 0), y = Length(node, "y", h, style, 0);
        const double rw = Length(node, "width", w, style, 0), rh = Length(node, "height", h, style, 0);
        double rx = Length(node, "rx", w, style, -1), ry = Length(node, "ry", h, style, -1);
        if (rx < 0)
            rx = ry;
        if (ry < 0)
            ry = rx;
        if (rw > 0 && rh > 0)
            path = RectPath(x, y, rw, rh, std::max(rx, 0.0), std::max(ry, 0.0));
        return true;
    }
    if (name == "circle" || name == "ellipse") {
        const double cx = Length(node, "cx", w, style, 0), cy = Length(node, "cy", h, style, 0);
        double rx = 0, ry = 0;
        if (name == "circle") {
            rx = ry = Length(node, "r", diag, style, 0);
        } else {
            rx = Length(node, "rx", w, style, -1);
            ry = Length(node, "ry", h, style, -1);
            if (rx < 0)
                rx = ry;
            if (ry < 0)
                ry = rx;
        }
        if (rx > 0 && ry > 0)
            path = EllipsePath(cx, cy, rx, ry);
        return true;
    }
    if (name == "line") {
        path.MoveTo(Length(node, "x1", w, style, 0), Length(node, "y1", h, style, 0));
        path.LineTo(Length(node, "x2", w, style, 0), Length(node, "y2", h, style, 0));
        return true;
    }
    if (name == "polyline" || name == "polygon") {
        const auto v = ParseNumberList(Attr(node, "points").value_or(""));
        for (std::size_t i = 0; i + 1 < v.size(); i += 2)
            i == 0 ? path.MoveTo(v[i], v[i + 1]) : path.LineTo(v[i], v[i + 1]);
        if (name == "polygon")
            path.Close();
        return true;
    }
    return false;
}

std::string Reader::GradientName(const std::string& id)
{
    // The module writes a gradient's name without a tail of an underscore,
    // digits and blanks, so such a tail could make two names one: a hyphen
    // in place of its underscore keeps it. A cut cannot split a balanced
    // name's parentheses, and the numbers added below never form a tail.
    std::string base = SafeName(id.empty() ? "Gradient" : id, kNameLimit - 6);
    const std::size_t underscore = base.find_last_of('_');
    if (underscore != std::string::npos) {
        const std::size_t digitsEnd = base.find_first_not_of("0123456789", underscore + 1);
        if (digitsEnd == std::string::npos || base.find_first_not_of(' ', digitsEnd) == std::string::npos)
            base[underscore] = '-';
    }
    std::string name = base;
    // Counting on from the last number given keeps many uses of one id linear.
    int& next = gradientSuffixes.emplace(base, 2).first->second;
    while (!gradientNames.insert(name).second)
        name = base + " " + std::to_string(next++);
    return name;
}

bool Reader::Gradient(xmlNodePtr gradient, const Style& style, const Box& userBox, const Box& pageBox,
                      const Matrix& ctm, const View& view, Fill& fill, xmlNodePtr at)
{
    // Attributes and stops come from the first element of the href chain
    // that has them.
    std::vector<xmlNodePtr> chain;
    for (xmlNodePtr g = gradient; g != nullptr && chain.size() < kMaxReferenceDepth;) {
        if (std::find(chain.begin(), chain.end(), g) != chain.end())
            break;
        const std::string n = LocalName(g);
        if (n != "linearGradient" && n != "radialGradient")
            break;
        chain.push_back(g);
        const auto it = ids.find(FragmentOf(Href(g).value_or("")));
        g = it == ids.end() ? nullptr : it->second;
    }
    auto attr = [&](const char* name) -> std::optional<std::string> {
        for (xmlNodePtr g : chain)
            if (auto v = Attr(g, name))
                return v;
        return std::nullopt;
    };
    const bool radial = LocalName(gradient) == "radialGradient";
    const bool userSpace = attr("gradientUnits").value_or("") == "userSpaceOnUse";
    if (attr("spreadMethod").value_or("pad") != "pad")
        Warn("gradient spread methods reflect and repeat", at);

    std::vector<Stop> stops;
    for (xmlNodePtr g : chain) {
        const Style gStyle = ComputeStyle(g, style);
        for (xmlNodePtr s = g->children; s != nullptr; s = s->next) {
            if (LocalName(s) != "stop")
                continue;
            const Style stopStyle = ComputeStyle(s, gStyle);
            Stop stop;
            const std::string off = Attr(s, "offset").value_or("0");
            double v = 0;
            stop.offset = ParseLength(off, 1, 1, v) ? std::clamp(v, 0.0, 1.0) : 0;
            if (!stops.empty())
                stop.offset = std::max(stop.offset, stops.back().offset);
            stop.color = stopStyle.stopColor.kind == Paint::kCurrentColor ? stopStyle.color : stopStyle.stopColor.color;
            if (stopStyle.stopOpacity < 1)
                Warn("opacity", s);
            stops.push_back(stop);
        }
        if (!stops.empty())
            break;
    }
    // Stops at one offset make a hard edge, but the module writes linear
    // stops last to first and readers sort them by offset: equal offsets
    // would lose their order. A step of 0.001 percent keeps it and shows
    // nowhere.
    constexpr double kStep = 0.00001;
    for (std::size_t i = 1; i < stops.size(); ++i)
        stops[i].offset = std::max(stops[i].offset, stops[i - 1].offset + kStep);
    for (std::size_t i = stops.size(); i-- > 0;)
        stops[i].offset = std::min(stops[i].offset, i + 1 < stops.size() ? stops[i + 1].offset - kStep : 1.0);
    if (stops.empty()) {
        fill.type = 5;  // no stops paint nothing
        return true;
    }
    if (stops.size() == 1) {
        fill.type = 1;  // one stop paints its colour
        fill.color = stops[0].color;
        return true;
    }

    // Gradient space to page: the shape's box (bounding-box units), the
    // gradient's transform, then the shape's.
    Matrix toUser;
    double refW = view.width, refH = view.height, refD = view.Diagonal();
    if (!userSpace) {
        if (!userBox.valid || userBox.Width() <= 0 || userBox.Height() <= 0) {
            fill.type = 1;  // a box without area: the gradient cannot spread
            fill.color = stops.back().color;
            return true;
        }
        toUser = Matrix{userBox.Width(), 0, 0, userBox.Height(), userBox.minX, userBox.minY};
        refW = refH = refD = 1;
    }
    Matrix gt;
    for (xmlNodePtr g : chain)
        if (Attr(g, "gradientTransform")) {
            ElementTransform(g, gt);
            break;
        }
    const Matrix m = ctm * toUser * gt;
    auto coord = [&](const char* name, double ref, const char* fallback) {
        double v = 0;
        const std::string text = attr(name).value_or(fallback);
        if (!userSpace && Trim(text).find('%') == std::string_view::npos) {
            const auto n = ParseNumberList(text);
            return n.empty() ? 0.0 : n[0];
        }
        return ParseLength(text, ref, style.fontSize, v) ? v : 0.0;
    };
    const double det = m.Determinant();
    if (!m.IsFinite() || std::fabs(det) < 1e-18) {
        fill.type = 1;
        fill.color = stops.back().color;
        return true;
    }
    Point start, end;
    if (!radial) {
        const Point p1{coord("x1", refW, "0%"), coord("y1", refH, "0%")};
        const Point p2{coord("x2", refW, "100%"), coord("y2", refH, "0%")};
        const Point v{p2.x - p1.x, p2.y - p1.y};
        // Lines of equal colour stay parallel under the transform but not
        // perpendicular to the mapped vector: the page vector is M^-T v,
        // scaled so that it still spans one whole period.
        const Point w{(m.d * v.x - m.b * v.y) / det, (-m.c * v.x + m.a * v.y) / det};
        const double vv = v.x * v.x + v.y * v.y, ww = w.x * w.x + w.y * w.y;
        start = m.Apply(p1);
        end = ww > 0 ? Point{start.x + w.x * vv / ww, start.y + w.y * vv / ww} : start;
    } else {
        const Point c{coord("cx", refW, "50%"), coord("cy", refH, "50%")};
        const double r = coord("r", refD, "50%");
        const auto fx = attr("fx"), fy = attr("fy");
        if ((fx && std::fabs(coord("fx", refW, "50%") - c.x) > 1e-9) ||
            (fy && std::fabs(coord("fy", refH, "50%") - c.y) > 1e-9))
            Warn("focal points of radial gradients (drawn from the centre)", at);
        const double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
        if (std::fabs(sx - sy) > 1e-6 * std::max(sx, sy))
            Warn("elliptical radial gradients (drawn circular)", at);
        start = m.Apply(c);
        end = {start.x + r * std::sqrt(std::fabs(det)), start.y};
    }
    auto percent = [](double v, double lo, double hi) { return hi > lo ? (v - lo) / (hi - lo) * 100 : 0.0; };

    const std::string id = Attr(gradient, "id").value_or("");
    fill.type = 2;
    fill.name = GradientName(id);
    fill.tag = ++gradientCount;
    defs.Name("SetGradientDef").Int(fill.tag).String(fill.name, kNameLimit).End();
    defs.Name("SetGradient2")
        .Int(radial ? 1 : 0)
        .Real(percent(start.x, pageBox.minX, pageBox.maxX))
        .Real(percent(start.y, pageBox.minY, pageBox.maxY))
        .Real(percent(end.x, pageBox.minX, pageBox.maxX))
        .Real(percent(end.y, pageBox.minY, pageBox.maxY))
        .End();
    for (const Stop& stop : stops)
        defs.Name("SetGradientRGN").Real(stop.offset * 100).Real(50).Int(0).Int(stop.color.r).Int(stop.color.g).Int(stop.color.b).End();
    defs.Name("EndGradient").End();
    return true;
}

Reader::Fill Reader::ResolvePaint(const Paint& paint, const Style& style, double opacity, const Box& userBox,
                                  const Box& pageBox, const Matrix& ctm, const View& view, bool forStroke,
                                  xmlNodePtr at)
{
    Fill fill;
    if (opacity <= 0)
        return fill;
    if (opacity < 1)
        Warn("opacity", at);
    Paint p = paint;
    if (p.kind == Paint::kUrl) {
        const auto it = ids.find(p.url);
        const std::string kind = it == ids.end() ? "" : LocalName(it->second);
        if (kind == "linearGradient" || kind == "radialGradient") {
            if (forStroke) {
                Warn("gradient strokes (stroked in the gradient's last colour)", at);
                Fill inner;
                Gradient(it->second, style, Box(), Box(), ctm, view, inner, at);
                // Only the colours matter here: take the last stop's.
                if (inner.type == 2 || inner.type == 1) {
                    fill.type = 1;
                    fill.color = inner.color;
                }
                return fill;
            }
            Gradient(it->second, style, userBox, pageBox, ctm, view, fill, at);
            return fill;
        }
        Warn(kind == "pattern" ? "pattern fills (the fallback colour or none is used)"
                               : "paints that refer to missing elements",
             at);
        if (p.fallback == Paint::kUnset)
            return fill;
        p.kind = p.fallback;
    }
    if (p.kind == Paint::kColor || p.kind == Paint::kCurrentColor) {
        fill.type = 1;
        fill.color = p.kind == Paint::kColor ? p.color : style.color;
    }
    return fill;
}

void Reader::WritePaint(const Style& style, const Fill& fill, const Fill& stroke, const Matrix& ctm)
{
    if (fill.type == 2) {
        draw.Name("SetFillTypeName").Int(2).Int(fill.tag).String(fill.name, kNameLimit).End();
    } else if (fill.type == 1) {
        draw.Name("SetFillType").Int(1).End();
        draw.Name("SetFillColorByValue").Int(0).Int(fill.color.r).Int(fill.color.g).Int(fill.color.b).End();
    } else {
        draw.Name("SetFillType").Int(5).End();
    }
    const double width = style.strokeWidth * ctm.Scale();
    if (stroke.type != 1 || !(width > 0)) {
        draw.Name("SetStroke").Int(5).End();
        return;
    }
    draw.Name("SetStroke").Int(DashStyle(style.dashes)).Real(width).Int(style.cap).Int(style.join).Real(style.miterLimit).End();
    draw.Name("SetStrokeColorByValue").Int(0).Int(stroke.color.r).Int(stroke.color.g).Int(stroke.color.b).End();
}

void Reader::WritePath(const Path& pagePath)
{
    for (const Subpath& s : pagePath.subpaths) {
        if (s.segments.empty())
            continue;
        draw.Name("BeginPath").End();
        draw.Name("MoveTo").Real(s.start.x).Real(s.start.y).End();
        for (const Segment& g : s.segments) {
            if (g.cubic)
                draw.Name("CurveTo").Real(g.c1.x).Real(g.c1.y).Real(g.c2.x).Real(g.c2.y).Real(g.to.x).Real(g.to.y).End();
            else
                draw.Name("LineTo").Real(g.to.x).Real(g.to.y).End();
        }
        if (s.closed)
            draw.Name("ClosePath").End();
        draw.Name("EndPath").End();
    }
}

void Reader::Shape(xmlNodePtr node, const Style& style, const View& view, Path path)
{
    if (!style.visible || path.Empty())
        return;
    const Box userBox = BoundsOf(path);
    Path page = path;
    page.Transform(view.ctm);
    if (!page.IsFinite()) {
        Warn("shapes with coordinates out of range", node);
        return;
    }
    const Box pageBox = BoundsOf(page);
    const Fill fill = ResolvePaint(style.fill, style, style.fillOpacity, userBox, pageBox, view.ctm, view, false, node);
    const Fill stroke = ResolvePaint(style.stroke, style, style.strokeOpacity, userBox, pageBox, view.ctm, view, true, node);
    const bool clipped = !style.clipPath.empty() && OpenClip(style, view, userBox, node);
    WritePaint(style, fill, stroke, view.ctm);
    std::size_t members = 0;
    for (const Subpath& s : page.subpaths)
        members += s.segments.empty() ? 0 : 1;
    if (members > 1)
        draw.Name("BeginComposite").End();
    WritePath(page);
    if (members > 1)
        draw.Name("EndComposite").End();
    if (clipped)
        draw.Name("EndMask").End();
    ++objects;
}

void Reader::ClipMember(xmlNodePtr node, const Matrix& m, const View& view, const Style& parent,
                        std::vector<Path>& paths, std::vector<std::pair<xmlNodePtr, Matrix>>& texts, int level)
{
    const std::string name = LocalName(node);
    if (name.empty() || level > kMaxReferenceDepth)
        return;
    const Style style = ComputeStyle(node, parent);
    if (style.displayNone || !style.visible)
        return;
    Matrix own = m;
    ElementTransform(node, own);
    if (!style.clipPath.empty())
        Warn("clip paths on clip path members", node);
    if (name == "use") {
        const auto it = ids.find(FragmentOf(Href(node).value_or("")));
        if (it != ids.end())
            ClipMember(it->second,
                       own * Matrix::Translate(Length(node, "x", view.width, style, 0), Length(node, "y", view.height, style, 0)),
                       view, style, paths, texts, level + 1);
        return;
    }
    if (name == "text") {
        texts.emplace_back(node, own);
        return;
    }
    View inner = view;
    inner.ctm = own;
    Path path;
    if (ShapePath(node, name, style, inner, path)) {
        path.Transform(own);
        if (path.IsFinite() && !path.Empty())
            paths.push_back(std::move(path));
    } else {
        Warn("<" + name + "> elements in clip paths", node);
    }
}

bool Reader::OpenClip(const Style& style, const View& view, const Box& userBox, xmlNodePtr at)
{
    const auto it = ids.find(style.clipPath);
    if (it == ids.end() || LocalName(it->second) != "clipPath") {
        Warn("clip paths that refer to missing elements", at);
        return false;
    }
    xmlNodePtr clip = it->second;
    Matrix m = view.ctm;
    if (Attr(clip, "clipPathUnits").value_or("") == "objectBoundingBox") {
        if (!userBox.valid) {
            Warn("clip paths in bounding-box units on groups", at);
            return false;
        }
        m = m * Matrix{userBox.Width(), 0, 0, userBox.Height(), userBox.minX, userBox.minY};
    }
    ElementTransform(clip, m);
    const Style clipStyle = ComputeStyle(clip, Style());
    std::vector<Path> paths;
    std::vector<std::pair<xmlNodePtr, Matrix>> texts;
    for (xmlNodePtr n = clip->children; n != nullptr; n = n->next)
        if (n->type == XML_ELEMENT_NODE)
            ClipMember(n, m, view, clipStyle, paths, texts, 0);

    draw.Name("BeginMask").End();
    draw.Name("BeginClipRgn").End();
    std::size_t members = 0;
    for (const Path& p : paths)
        for (const Subpath& s : p.subpaths)
            members += s.segments.empty() ? 0 : 1;
    // Several members clip by their union: one compound path, not a
    // sequence of clips that would intersect.
    if (members > 1)
        draw.Name("BeginComposite").End();
    for (const Path& p : paths)
        WritePath(p);
    if (members > 1)
        draw.Name("EndComposite").End();
    for (const auto& [node, matrix] : texts) {
        View textView = view;
        textView.ctm = matrix;
        Text(node, ComputeStyle(node, clipStyle), textView);
    }
    if (members == 0 && texts.empty()) {
        // An empty clip path hides everything: an empty region does that.
        draw.Name("BeginPath").End();
        const Point p = view.ctm.Apply({0, 0});
        draw.Name("MoveTo").Real(p.x).Real(p.y).End();
        draw.Name("ClosePath").End();
        draw.Name("EndPath").End();
    }
    draw.Name("EndClipRgn").End();
    return true;
}

void Reader::CollectText(xmlNodePtr node, const Style& style, const View& view, std::vector<TextChunk>& chunks,
                         bool& lastSpace)
{
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next) {
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            std::string text;
            for (const char* c = reinterpret_cast<const char*>(n->content); c != nullptr && *c != '\0'; ++c) {
                char ch = *c;
                if (!style.preserveSpace) {
                    // Line breaks go, tabs become blanks, runs of blanks one.
                    if (ch == '\n' || ch == '\r')
                        continue;
                    if (ch == '\t')
                        ch = ' ';
                    if (ch == ' ' && lastSpace)
                        continue;
                } else if (ch == '\n' || ch == '\r' || ch == '\t') {
                    ch = ' ';
                }
                lastSpace = ch == ' ';
                text += ch;
            }
            if (text.empty())
                continue;
            if (chunks.empty())
                chunks.emplace_back();
            auto& runs = chunks.back().runs;
            if (!runs.empty() && SameRunStyle(runs.back().style, style))
                runs.back().text += text;
            else
                runs.push_back({style, text});
            continue;
        }
        const std::string name = LocalName(n);
        if (name == "tspan" || name == "a") {
            const Style span = ComputeStyle(n, style);
            if (span.displayNone)
                continue;
            const auto xs = ParseNumberList(Attr(n, "x").value_or(""));
            const auto ys = ParseNumberList(Attr(n, "y").value_or(""));
            if (xs.size() > 1 || ys.size() > 1 || Attr(n, "dx") || Attr(n, "dy") || Attr(n, "rotate"))
                Warn("per-character text positions and rotations", n);
            if (!xs.empty() || !ys.empty()) {
                TextChunk chunk;
                chunk.x = !xs.empty() ? xs[0] : chunks.empty() ? 0 : chunks.back().x;
                chunk.y = !ys.empty() ? ys[0] : chunks.empty() ? 0 : chunks.back().y;
                chunks.push_back(chunk);
            }
            CollectText(n, span, view, chunks, lastSpace);
        } else if (name == "textPath") {
            Warn("text on a path", n);
        } else if (name == "tref") {
            Warn("<tref> elements", n);
        }
    }
}

void Reader::Text(xmlNodePtr node, const Style& style, const View& view)
{
    if (!style.clipPath.empty())
        Warn("clip paths on text", node);
    std::vector<TextChunk> chunks(1);
    const auto xs = ParseNumberList(Attr(node, "x").value_or("0"));
    const auto ys = ParseNumberList(Attr(node, "y").value_or("0"));
    if (xs.size() > 1 || ys.size() > 1 || Attr(node, "dx") || Attr(node, "dy") || Attr(node, "rotate"))
        Warn("per-character text positions and rotations", node);
    chunks[0].x = xs.empty() ? 0 : xs[0];
    chunks[0].y = ys.empty() ? 0 : ys[0];
    bool lastSpace = true;  // leading blanks go
    CollectText(node, style, view, chunks, lastSpace);
    // Blanks at the end of a line of text show nothing: they go, and would
    // only shift text that is centred or aligned at its end.
    for (TextChunk& c : chunks) {
        bool done = style.preserveSpace;
        for (auto r = c.runs.rbegin(); r != c.runs.rend() && !done; ++r) {
            while (!r->text.empty() && r->text.back() == ' ')
                r->text.pop_back();
            done = !r->text.empty();
        }
    }

    const double s = view.ctm.Scale();
    if (!(s > 0) || !view.ctm.IsFinite())
        return;
    // Text space is points: the user space scaled by the font's conversion,
    // its y upwards like the page's.
    const double k = 1 / (72 * s);
    for (const TextChunk& chunk : chunks) {
        bool any = false;
        for (const TextRun& r : chunk.runs)
            any = any || (!r.text.empty() && r.style.visible);
        if (!any)
            continue;
        const Style& first = chunk.runs.front().style;
        const Box none;
        const Fill fill = ResolvePaint(first.fill, first, first.fillOpacity, none, none, view.ctm, view, true, node);
        const Fill stroke = ResolvePaint(first.stroke, first, first.strokeOpacity, none, none, view.ctm, view, true, node);
        WritePaint(first, fill, stroke, view.ctm);
        const Point origin = view.ctm.Apply({chunk.x, chunk.y});
        draw.Name("BeginText").End();
        draw.Name("SetTextType").Int(0).End();
        draw.Name("SetTextMatrix")
            .Real(view.ctm.a * k).Real(view.ctm.b * k).Real(-view.ctm.c * k).Real(-view.ctm.d * k)
            .Real(origin.x).Real(origin.y)
            .End();
        bool attributes = false;
        Rgb current = fill.color;
        for (const TextRun& r : chunk.runs) {
            if (r.text.empty() || !r.style.visible)
                continue;
            std::string face = r.style.fontFamily;
            if (face == "serif")
                face = "Times New Roman";
            else if (face == "sans-serif")
                face = "Arial";
            else if (face == "monospace")
                face = "Courier New";
            std::string faceLatin;
            ToLatin1(face, faceLatin);
            const char* weight = r.style.bold ? (r.style.italic ? "Bold Italic" : "Bold") : (r.style.italic ? "Italic" : "Regular");
            const double points = r.style.fontSize * s * 72;
            draw.Name("SetCharAttr").String(faceLatin, kNameLimit).String(weight).Int(0).Int(0).Int(1)
                .Real(points).Int(1).Real(1).Real(0).Real(0).Real(0).Real(1).End();
            if (!attributes) {
                draw.Name("SetTextAttr").Int(first.anchor).Int(0).Int(0).Int(0).Real(points * 1.2).Real(0).Int(0).End();
                draw.Name("SetTextTracking").Real(0).End();
                attributes = true;
            }
            const Fill runFill = ResolvePaint(r.style.fill, r.style, r.style.fillOpacity, none, none, view.ctm, view, true, node);
            if (runFill.type == 1 && fill.type == 1 &&
                (runFill.color.r != current.r || runFill.color.g != current.g || runFill.color.b != current.b)) {
                draw.Name("SetFillColorByValue").Int(0).Int(runFill.color.r).Int(runFill.color.g).Int(runFill.color.b).End();
                current = runFill.color;
            }
            std::string latin;
            if (!ToLatin1(r.text, latin))
                Warn("characters outside Latin-1 (written as '?')", node);
            draw.Name("Text").String(latin).End();
        }
        draw.Name("EndText").End();
        ++objects;
    }
}

void Reader::Bitmap(const RgbImage& image, const Matrix& a)
{
    // Pixel (u, v), v counting rows downwards, lands on page point
    // a(u, v); the module's matrix negates the row terms.
    draw.Name("SetMatrix").Real(a.a).Real(a.b).Real(-a.c).Real(-a.d).Real(a.e).Real(a.f).End();
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    draw.Name("BeginBitmap").Int(image.width).Int(image.height).Int(static_cast<long long>(rowBytes)).Int(8).Int(3).End();
    const std::size_t rowsPerRecord = std::max<std::size_t>(1, kBitmapRecordBytes / rowBytes);
    for (std::size_t row = 0; row < static_cast<std::size_t>(image.height); row += rowsPerRecord) {
        const std::size_t last = std::min<std::size_t>(row + rowsPerRecord, image.height) - 1;
        draw.Name("Bitmap").Int(static_cast<long long>(row)).Int(static_cast<long long>(last))
            .Bytes(image.pixels.data() + row * rowBytes, (last - row + 1) * rowBytes).End();
    }
    draw.Name("EndBitmap").End();
    ++objects;
}

void Reader::Image(xmlNodePtr node, const Style& style, const View& view)
{
    if (!style.visible)
        return;
    if (!style.clipPath.empty())
        Warn("clip paths on images", node);
    const std::string href = Href(node).value_or("");
    std::vector<std::uint8_t> bytes;
    std::string mediaType;
    std::string linked;  // a file path when the image is not embedded
    if (href.rfind("data:", 0) == 0) {
        if (!DecodeDataUri(href, bytes, mediaType)) {
            Warn("malformed data URIs of images", node);
            return;
        }
    } else if (href.find("://") != std::string::npos && href.rfind("file://", 0) != 0) {
        Warn("images on the network", node);
        return;
    } else {
        linked = href.rfind("file://", 0) == 0 ? href.substr(7) : href;
        if (linked.empty()) {
            Warn("images without a source", node);
            return;
        }
        if (linked[0] != '/') {
            const std::size_t slash = file.rfind('/');
            linked = (slash == std::string::npos ? std::string(".") : file.substr(0, slash)) + "/" + linked;
        }
        // A regular file of bounded size: a device or a pipe would never end.
        struct stat info {};
        std::ifstream in;
        if (::stat(linked.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<std::size_t>(info.st_size) <= kMaxImageFileBytes)
            in.open(linked, std::ios::binary);
        if (!in) {
            Warn("linked images that cannot be read", node);
            return;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    const bool tiff = bytes.size() >= 4 && ((bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0) ||
                                            (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42));
    int pixelWidth = 0, pixelHeight = 0;
    RgbImage image;
    if (!tiff) {
        std::string reason;
        if (!DecodeImage(bytes, image, reason, kMaxImagePixels)) {
            Warn("images that cannot be decoded (" + reason + ")", node);
            return;
        }
        pixelWidth = image.width;
        pixelHeight = image.height;
    } else if (linked.empty()) {
        Warn("embedded TIFF images", node);
        return;
    }

    const double x = Length(node, "x", view.width, style, 0), y = Length(node, "y", view.height, style, 0);
    double w = Length(node, "width", view.width, style, tiff ? 0 : pixelWidth);
    double h = Length(node, "height", view.height, style, tiff ? 0 : pixelHeight);
    if (!(w > 0) || !(h > 0))
        return;

    if (tiff) {
        // Linked as a file: placed by its box, which must stand upright.
        const Matrix& m = view.ctm;
        if (std::fabs(m.b) > 1e-12 || std::fabs(m.c) > 1e-12)
            Warn("rotated or skewed linked images (placed by their box)", node);
        Path box = RectPath(x, y, w, h, 0, 0);
        box.Transform(m);
        const Box b = BoundsOf(box);
        if (linked.size() > kFilePathLimit) {
            Warn("linked images with paths longer than 257 bytes", node);
            return;
        }
        draw.Name("PathBitmap").String(linked).Int(1).Real(b.minX).Real(b.maxY).Real(b.Width()).Real(b.Height()).Real(1).End();
        ++objects;
        return;
    }
    if (static_cast<long long>(image.width) * 3 > 32767 || image.height > 32767) {
        Warn("images wider than 10922 or taller than 32767 pixels", node);
        return;
    }
    if (image.hadTransparency)
        Warn("transparency of images (composited on white)", node);

    // preserveAspectRatio: the image's own proportions, aligned in its box.
    const std::string par = Attr(node, "preserveAspectRatio").value_or("xMidYMid meet");
    double sx = w / image.width, sy = h / image.height, tx = x, ty = y;
    if (par.find("none") == std::string::npos) {
        if (par.find("slice") != std::string::npos)
            Warn("images that preserveAspectRatio slices (shown whole)", node);
        const double sc = std::min(sx, sy);
        const double fx = par.find("xMin") != std::string::npos ? 0 : par.find("xMax") != std::string::npos ? 1 : 0.5;
        const double fy = par.find("YMin") != std::string::npos ? 0 : par.find("YMax") != std::string::npos ? 1 : 0.5;
        tx += (w - image.width * sc) * fx;
        ty += (h - image.height * sc) * fy;
        sx = sy = sc;
    }
    const Matrix placement = view.ctm * Matrix{sx, 0, 0, sy, tx, ty};
    if (!placement.IsFinite())
        return;
    Bitmap(image, placement);
}

}  // namespace

namespace {

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
struct ContextFree {
    void operator()(xmlParserCtxtPtr c) const { xmlFreeParserCtxt(c); }
};

void Quiet(void*, const char*, ...) {}

struct FirstError {
    bool seen = false;
    xmlError error{};
    std::string message;
};

void KeepFirstError(void* data, xmlErrorPtr error)
{
    auto* first = static_cast<FirstError*>(data);
    if (first->seen || error == nullptr || error->level < XML_ERR_ERROR)
        return;
    first->seen = true;
    first->error = *error;
    first->message = error->message != nullptr ? error->message : "";
    first->error.message = first->message.data();  // the parser frees its own copy
    first->error.file = nullptr;
    first->error.str1 = first->error.str2 = first->error.str3 = nullptr;
    first->error.ctxt = first->error.node = nullptr;
}

}  // namespace

bool ReadSvg(const std::string& path, const std::string& stdinText, Outcome& outcome)
{
    const std::string shown = path == "-" ? "<stdin>" : path;
    if (path != "-") {
        std::ifstream probe(path, std::ios::binary);
        if (!probe) {
            outcome.error = "aiexport: cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
    if (!context) {
        outcome.error = shown + ": out of memory";
        return false;
    }
    xmlSetGenericErrorFunc(nullptr, Quiet);
    // The first error names the cause; later ones are its consequences.
    FirstError first;
    xmlSetStructuredErrorFunc(&first, KeepFirstError);
    // No network, no entity expansion beyond the parser's own limits, no
    // messages of its own: the error is reported once, below.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    std::unique_ptr<xmlDoc, DocFree> doc(
        path == "-" ? xmlCtxtReadMemory(context.get(), stdinText.data(), static_cast<int>(stdinText.size()),
                                        nullptr, nullptr, options)
                    : xmlCtxtReadFile(context.get(), path.c_str(), nullptr, options));
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    const xmlError* error = first.seen ? &first.error : xmlCtxtGetLastError(context.get());
    if (!doc || (error != nullptr && error->level >= XML_ERR_ERROR)) {
        std::string message = error != nullptr && error->message != nullptr ? error->message : "cannot be read";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        outcome.error = shown;
        if (error != nullptr && error->line > 0)
            outcome.error += ":" + std::to_string(error->line);
        outcome.error += ": " + message;
        return false;
    }
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || LocalName(root) != "svg") {
        outcome.error = shown;
        if (root != nullptr && xmlGetLineNo(root) > 0)
            outcome.error += ":" + std::to_string(xmlGetLineNo(root));
        outcome.error += ": not an SVG document (its root element is <" +
                         (root != nullptr ? Str(root->name) : std::string()) + ">, not <svg>)";
        return false;
    }
    try {
        Reader reader(shown, outcome);
        reader.Run(doc.get());
    } catch (const std::bad_alloc&) {
        outcome.error = shown + ": out of memory while reading the drawing";
        return false;
    } catch (const TooLarge& refused) {
        outcome.script.clear();
        outcome.error = shown + ": too large to convert: " + refused.what;
        return false;
    }
    return true;
}

}  // namespace svgreader
