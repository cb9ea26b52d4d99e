// The check of an SVG drawing: its tree as libxml2 reads it, each element's
// style, transform and geometry as the converter's own parsers give them.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Check.h"
#include "Findings.h"
#include "SvgGeometry.h"
#include "SvgStyle.h"
#include "SvgValues.h"
#include "SvgXml.h"

namespace aicheck {

namespace {

using svgreader::Attr;
using svgreader::LocalName;
using svgreader::Matrix;
using svgreader::Paint;
using svgreader::Path;
using svgreader::Style;

// The converter's own bound on a document, as read or inflated.
constexpr std::size_t kMaxDocumentBytes = std::size_t{64} << 20;
constexpr double kPointsPerUserUnit = 72.0 / 96.0;
// Objects this close to the page's edge are on it: the writer's rounding.
constexpr double kPageSlack = 0.01;
// Coordinates are compared to this fraction of a point for duplicates.
constexpr double kSameGeometry = 0.001;
// References followed: no deeper (a cycle ends here), and to no more
// elements in all, however the references multiply: far beyond a drawing
// made by hand, and a report in a few seconds.
constexpr int kMaxUseDepth = 32;
constexpr long kMaxWalked = 200'000;

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
struct ContextFree {
    void operator()(xmlParserCtxtPtr c) const { xmlFreeParserCtxt(c); }
};

// The file's bytes, inflated when gzip-compressed; "" or why not.
std::string ReadDrawing(const std::string& path, std::string& text)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f)
        return std::strerror(errno);
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
        text.append(buffer, got);
        if (text.size() > kMaxDocumentBytes)
            return "more than 64 MB of SVG";
    }
    if (std::ferror(f.get()))
        return std::strerror(EIO);
    if (text.size() < 2 || static_cast<unsigned char>(text[0]) != 0x1F ||
        static_cast<unsigned char>(text[1]) != 0x8B)
        return "";
    std::string inflated;
    z_stream z{};
    if (inflateInit2(&z, 15 + 32) != Z_OK)
        return "cannot be inflated";
    z.next_in = reinterpret_cast<Bytef*>(text.data());
    z.avail_in = static_cast<uInt>(text.size());
    std::string why;
    for (int status = Z_OK; status != Z_STREAM_END;) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        inflated.append(buffer, sizeof buffer - z.avail_out);
        if (inflated.size() > kMaxDocumentBytes)
            why = "more than 64 MB of SVG";
        else if (status == Z_STREAM_END)
            break;
        else if (status != Z_OK || (z.avail_in == 0 && z.avail_out != 0))
            why = "the compressed data is damaged or cut short";
        if (!why.empty())
            break;
    }
    inflateEnd(&z);
    text.swap(inflated);
    return why;
}

bool StartsWithNoCase(const std::string& s, const char* prefix)
{
    const std::size_t n = std::strlen(prefix);
    if (s.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// What an editor calls the element: its label, else its id.
std::string LabelOf(xmlNodePtr node)
{
    return Attr(node, "label", svgreader::kInkscapeNs).value_or(Attr(node, "id").value_or(""));
}

bool IsLayer(xmlNodePtr node)
{
    return LocalName(node) == "g" &&
           Attr(node, "groupmode", svgreader::kInkscapeNs).value_or("") == "layer";
}

bool IsMarksName(const std::string& name)
{
    return StartsWithNoCase(name, kRegistrationLayerName) || StartsWithNoCase(name, "regmark");
}

bool IsCutName(const std::string& name) { return StartsWithNoCase(name, kCutContourName); }

// A CSS colour keyword ("red", "cornflowerblue"): letters only, and a colour.
bool IsNamedColor(const std::string& raw)
{
    const std::string value = svgreader::Lower(svgreader::Trim(raw));
    if (value.empty() ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        return false;
    if (value == "none" || value == "currentcolor" || value == "inherit" || value == "initial" ||
        value == "unset" || value == "transparent" || value == "auto")
        return false;
    Paint paint;
    return svgreader::ParsePaint(value, true, paint) && paint.kind == Paint::kColor;
}

std::string Points(double v)
{
    if (!std::isfinite(v))
        return "more than 1e308";  // never "inf", which no reader takes for a number
    char text[64];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

struct Context {
    Style style;
    Matrix ctm;  // user units to points, y down, the page from (0, 0)
    std::string layer;
    bool inCut = false;    // inside a group named for the cut line
    bool inMarks = false;  // inside a group named for registration marks
};

class SvgChecker {
public:
    SvgChecker(Profile profile, Findings& out) : profile(profile), rules(RulesOf(profile)), out(out)
    {
    }
    void Run(xmlNodePtr root);

private:
    Severity Forbidden(bool forbidden) const
    {
        return forbidden ? Severity::kError : Severity::kWarning;
    }
    std::string ByProfile(bool forbidden) const
    {
        return forbidden ? std::string(", which the ") + ProfileName(profile) + " profile forbids"
                         : std::string();
    }
    void CollectSheets(xmlNodePtr node);
    // Where a finding about `node` points: the use that draws it, if any.
    long LineOf(xmlNodePtr node) const { return useLine != 0 ? useLine : xmlGetLineNo(node); }
    void Use(xmlNodePtr node, const Context& c);
    Style ComputeStyle(xmlNodePtr node, const Style& parent);
    void Walk(xmlNodePtr node, const Context& parent);
    bool ShapePath(xmlNodePtr node, const std::string& name, const Style& style, Path& path);
    void Shape(xmlNodePtr node, const std::string& name, const Context& c, Path path);
    void Effects(xmlNodePtr node, const Style& style, const Style& parent);
    void Stops(xmlNodePtr node);
    void Finish();

    Profile profile;
    const Rules& rules;
    Findings& out;
    svgreader::StyleSheet sheet;
    double pageWidth = 612, pageHeight = 792;   // points
    double viewWidth = 816, viewHeight = 1056;  // user units, for percentages
    // Of the paths drawn so far, by a hash of their geometry and paint: a
    // drawing of a million paths keeps a few bytes of each, not its text.
    std::unordered_map<std::size_t, long> geometries;
    bool sawCut = false;
    long artLayers = 0;
    std::map<std::string, xmlNodePtr> ids;
    long useLine = 0;
    int useDepth = 0;
    long walked = 0;
    bool tooMany = false;
};

void SvgChecker::CollectSheets(xmlNodePtr node)
{
    for (xmlNodePtr n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (const auto id = Attr(n, "id"))
            ids.emplace(*id, n);
        if (LocalName(n) == "style") {
            xmlChar* css = xmlNodeGetContent(n);
            sheet.Add(svgreader::Str(css));
            xmlFree(css);
        }
        CollectSheets(n->children);
    }
}

// The converter's cascade: presentation attributes, style sheet rules, the
// style attribute; colour values given by name are reported on the way.
Style SvgChecker::ComputeStyle(xmlNodePtr node, const Style& parent)
{
    Style s = parent.Inherited();
    std::vector<std::pair<std::string, std::string>> declarations;
    for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
        const std::string name = svgreader::Str(a->name);
        if (a->ns != nullptr || name == "style" || name == "class" || name == "id" ||
            name == "transform")
            continue;
        xmlChar* v = xmlNodeListGetString(node->doc, a->children, 1);
        declarations.emplace_back(name, svgreader::Str(v));
        xmlFree(v);
    }
    const std::size_t attributes = declarations.size();
    if (!sheet.Empty())
        for (auto& d : sheet.Matching(LocalName(node), Attr(node, "id").value_or(""),
                                      Attr(node, "class").value_or("")))
            declarations.push_back(std::move(d));
    if (const auto style = Attr(node, "style"))
        for (auto& d : svgreader::ParseDeclarations(*style))
            declarations.push_back(std::move(d));
    for (std::size_t i = 0; i < declarations.size(); ++i) {
        const auto& [name, value] = declarations[i];
        svgreader::ApplyProperty(s, parent, name, value, i >= attributes);
        if ((name == "fill" || name == "stroke" || name == "stop-color" || name == "color" ||
             name == "flood-color") &&
            IsNamedColor(value))
            out.Add(LineOf(node), Forbidden(rules.namedColors), "named-colour",
                    "<" + LocalName(node) + "> gives its " + name + " by the colour name '" +
                        std::string(svgreader::Trim(value)) + "'" + ByProfile(rules.namedColors) +
                        ": screen printers separate by values or spot colour names; give it "
                        "as #rrggbb or name a spot colour");
    }
    return s;
}

void SvgChecker::Run(xmlNodePtr root)
{
    CollectSheets(root);
    const auto box = Attr(root, "viewBox");
    std::vector<double> vb = box ? svgreader::ParseNumberList(*box) : std::vector<double>();
    if (vb.size() != 4 || !(vb[2] > 0) || !(vb[3] > 0))
        vb.clear();
    const auto side = [&](const char* name, double fromBox) {
        const auto text = Attr(root, name);
        double v = 0;
        if (text && svgreader::Trim(*text).find('%') == std::string_view::npos &&
            svgreader::ParseLength(*text, 0, 16, v) && v > 0)
            return v;
        return fromBox;
    };
    double width = side("width", vb.empty() ? 0 : vb[2]);
    double height = side("height", vb.empty() ? 0 : vb[3]);
    if (!(width > 0) || !(height > 0)) {
        out.Add(xmlGetLineNo(root), Severity::kWarning, "page",
                "the drawing gives no page size (width and height or a viewBox): the export "
                "uses letter size; give the page's size");
        width = 816, height = 1056;
    }
    pageWidth = width * kPointsPerUserUnit;
    pageHeight = height * kPointsPerUserUnit;
    Context top;
    top.ctm = Matrix::ScaleBy(kPointsPerUserUnit, kPointsPerUserUnit);
    viewWidth = width, viewHeight = height;
    if (!vb.empty()) {
        const std::string par = Attr(root, "preserveAspectRatio").value_or("xMidYMid meet");
        double sx = width / vb[2], sy = height / vb[3], tx = 0, ty = 0;
        if (par.find("none") == std::string::npos) {
            const double s =
                par.find("slice") != std::string::npos ? std::max(sx, sy) : std::min(sx, sy);
            const auto fraction = [&](char axis) {
                const std::string min = std::string(1, axis) + "Min";
                const std::string max = std::string(1, axis) + "Max";
                return par.find(min) != std::string::npos   ? 0.0
                       : par.find(max) != std::string::npos ? 1.0
                                                            : 0.5;
            };
            tx = (width - vb[2] * s) * fraction('x');
            ty = (height - vb[3] * s) * fraction('Y');
            sx = sy = s;
        }
        top.ctm = top.ctm * Matrix{sx, 0, 0, sy, tx - vb[0] * sx, ty - vb[1] * sy};
        viewWidth = vb[2], viewHeight = vb[3];
    }
    if (const auto t = Attr(root, "transform"))
        svgreader::ParseTransformList(*t, top.ctm);
    top.style = ComputeStyle(root, Style());
    Effects(root, top.style, Style());

    bool layered = false;
    for (xmlNodePtr n = root->children; n != nullptr; n = n->next)
        layered = layered || IsLayer(n);
    bool loose = false;  // content beside the layers, which the export puts in a layer
    for (xmlNodePtr n = root->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        const std::string name = LocalName(n);
        const bool drawn = name != "defs" && name != "style" && name != "metadata" &&
                           name != "title" && name != "desc" && name != "namedview" &&
                           !name.empty();
        Context c = top;
        if (layered && IsLayer(n)) {
            c.layer = LabelOf(n);
            const bool special = IsMarksName(c.layer) || IsCutName(c.layer);
            if (!special && ++artLayers == 2 && rules.oneArtLayer)
                out.Add(xmlGetLineNo(n), Severity::kError, "layers",
                        "a second art layer (" + c.layer +
                            "): cutters take one art layer, besides the registration marks' "
                            "and the cut line's; merge the art into one layer");
        } else if (drawn && !loose) {
            loose = true;
            if (++artLayers == 2 && rules.oneArtLayer)
                out.Add(xmlGetLineNo(n), Severity::kError, "layers",
                        "<" + name +
                            "> lies outside every layer, which makes a second art "
                            "layer: cutters take one; move it into the art layer");
        }
        Walk(n, c);
    }
    Stops(root);
    Finish();
}

void SvgChecker::Walk(xmlNodePtr node, const Context& parent)
{
    if (node->type != XML_ELEMENT_NODE)
        return;
    const std::string name = LocalName(node);
    // Definitions are drawn where they are used; their stops are checked apart.
    if (name.empty() || name == "defs" || name == "clipPath" || name == "mask" ||
        name == "marker" || name == "pattern" || name == "symbol" || name == "linearGradient" ||
        name == "radialGradient" || name == "filter" || name == "style" || name == "metadata" ||
        name == "title" || name == "desc")
        return;
    Context c = parent;
    c.style = ComputeStyle(node, parent.style);
    if (c.style.displayNone)
        return;
    if (const auto t = Attr(node, "transform")) {
        Matrix m = c.ctm;
        if (svgreader::ParseTransformList(*t, m) && m.IsFinite())
            c.ctm = m;
    }
    const std::string label = LabelOf(node);
    if (name == "g" && !label.empty()) {
        if (label == kCutContourName)
            c.inCut = sawCut = true;
        else if (IsCutName(label) && rules.cutContour)
            out.Add(LineOf(node), Severity::kError, "cutcontour",
                    "the group '" + label + "' is not named exactly " + kCutContourName +
                        ": RIPs match the name, case included; rename it");
        c.inMarks = c.inMarks || IsMarksName(label);
    }
    const long line = LineOf(node);
    if (IsMarksName(label) && name != "g" && rules.marksOwnLayer && !IsMarksName(c.layer))
        out.Add(line, Severity::kError, "marks",
                "the registration mark <" + name + "> '" + label + "' lies outside a layer named " +
                    kRegistrationLayerName +
                    ": cutters find the marks on a layer of their own; move it there");
    Effects(node, c.style, parent.style);
    ++walked;
    if (name == "use") {
        Use(node, c);
        return;
    }

    if (name == "text" || name == "flowRoot") {
        out.Add(line, Forbidden(rules.noText), "text",
                "live text (<" + name + ">)" + ByProfile(rules.noText) +
                    ": readers without its fonts set it in others; convert it to outlines "
                    "(--text-outlines)");
        return;
    }
    if (name == "image") {
        const std::string href = svgreader::Href(node).value_or("");
        const bool embedded = href.rfind("data:", 0) == 0;
        out.Add(line, Forbidden(rules.noRasters), "image",
                std::string(embedded ? "an embedded" : "a linked") + " image (<image>)" +
                    ByProfile(rules.noRasters) +
                    (embedded ? ": it goes into the file as pixels; trace it into paths or "
                                "leave it out"
                              : ": the file needs it beside itself; embed it, trace it into "
                                "paths or leave it out"));
        return;
    }
    Path path;
    if (ShapePath(node, name, c.style, path)) {
        Shape(node, name, c, std::move(path));
        return;
    }
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next)
        Walk(n, c);
}

// What a use draws, judged where the use puts it and reported at the use.
void SvgChecker::Use(xmlNodePtr node, const Context& c)
{
    const auto target = ids.find(svgreader::FragmentOf(svgreader::Href(node).value_or("")));
    if (target == ids.end() || useDepth >= kMaxUseDepth)
        return;
    if (walked > kMaxWalked) {
        if (std::exchange(tooMany, true))
            return;
        out.Add(0, Severity::kWarning, "uses",
                "the drawing's references draw more than " + std::to_string(kMaxWalked) +
                    " elements: what lies beyond was not checked");
        return;
    }
    double x = 0, y = 0;
    const auto at = [&](const char* name, double percentOf) {
        double v = 0;
        const auto text = Attr(node, name);
        return text && svgreader::ParseLength(*text, percentOf, c.style.fontSize, v) ? v : 0.0;
    };
    x = at("x", viewWidth), y = at("y", viewHeight);
    Context inner = c;
    inner.ctm = c.ctm * Matrix::Translate(x, y);
    const long outerLine = useLine;
    if (useLine == 0)
        useLine = xmlGetLineNo(node);
    ++useDepth;
    xmlNodePtr drawn = target->second;
    if (LocalName(drawn) == "symbol") {
        inner.style = ComputeStyle(drawn, c.style);
        for (xmlNodePtr n = drawn->children; n != nullptr; n = n->next)
            Walk(n, inner);
    } else {
        Walk(drawn, inner);
    }
    --useDepth;
    useLine = outerLine;
}

bool SvgChecker::ShapePath(xmlNodePtr node, const std::string& name, const Style& style, Path& path)
{
    const double diag = std::sqrt((viewWidth * viewWidth + viewHeight * viewHeight) / 2);
    const auto length = [&](const char* attribute, double percentOf, double fallback) {
        double v = 0;
        const auto text = Attr(node, attribute);
        return text && svgreader::ParseLength(*text, percentOf, style.fontSize, v) ? v : fallback;
    };
    if (name == "path") {
        svgreader::ParsePathData(Attr(node, "d").value_or(""), path);
    } else if (name == "rect") {
        const double w = length("width", viewWidth, 0), h = length("height", viewHeight, 0);
        double rx = length("rx", viewWidth, -1), ry = length("ry", viewHeight, -1);
        rx = rx < 0 ? ry : rx;
        ry = ry < 0 ? rx : ry;
        if (w > 0 && h > 0)
            path = svgreader::RectPath(length("x", viewWidth, 0), length("y", viewHeight, 0), w, h,
                                       std::max(rx, 0.0), std::max(ry, 0.0));
    } else if (name == "circle" || name == "ellipse") {
        double rx = name == "circle" ? length("r", diag, 0) : length("rx", viewWidth, -1);
        double ry = name == "circle" ? rx : length("ry", viewHeight, -1);
        rx = rx < 0 ? ry : rx;
        ry = ry < 0 ? rx : ry;
        if (rx > 0 && ry > 0)
            path = svgreader::EllipsePath(length("cx", viewWidth, 0), length("cy", viewHeight, 0),
                                          rx, ry);
    } else if (name == "line") {
        path.MoveTo(length("x1", viewWidth, 0), length("y1", viewHeight, 0));
        path.LineTo(length("x2", viewWidth, 0), length("y2", viewHeight, 0));
    } else if (name == "polyline" || name == "polygon") {
        const auto v = svgreader::ParseNumberList(Attr(node, "points").value_or(""));
        for (std::size_t i = 0; i + 1 < v.size(); i += 2)
            i == 0 ? path.MoveTo(v[i], v[i + 1]) : path.LineTo(v[i], v[i + 1]);
        if (name == "polygon")
            path.Close();
    } else {
        return false;
    }
    return true;
}

void SvgChecker::Shape(xmlNodePtr node, const std::string& name, const Context& c, Path path)
{
    const Style& s = c.style;
    const long line = LineOf(node);
    const bool filled = s.fill.kind != Paint::kNone && s.fill.kind != Paint::kUnset;
    const bool stroked =
        s.stroke.kind != Paint::kNone && s.stroke.kind != Paint::kUnset && s.strokeWidth > 0;
    if (!s.visible || path.Empty() || (!filled && !stroked))
        return;
    path.Transform(c.ctm);
    if (!path.IsFinite())
        return;
    const std::string what = "<" + name + ">";

    const bool cutLine =
        c.inCut || (s.stroke.kind == Paint::kUrl && s.stroke.url == kCutContourName);
    sawCut = sawCut || (stroked && cutLine);
    if (stroked) {
        const double width = s.strokeWidth * c.ctm.Scale();
        const bool hairlineJudged = rules.hairlineStrokes && (profile != Profile::kCut || cutLine);
        if (hairlineJudged && width > kHairlineWidth)
            out.Add(line, Severity::kError, "hairline",
                    what + " has a stroke " + Points(width) +
                        " pt wide: " + (profile == Profile::kCut ? "cutters" : "lasers") +
                        " take strokes of at most " + Points(kHairlineWidth) +
                        " pt as lines to follow; make it a hairline");
        else if (!hairlineJudged)
            out.Add(line, Forbidden(rules.noStrokes), "stroke",
                    what + " has a stroke " + Points(width) + " pt wide" +
                        ByProfile(rules.noStrokes) +
                        ": shops that want plain fills need it expanded to an outline "
                        "(Stroke to Path)");
    }

    long open = 0;
    for (const svgreader::Subpath& sub : path.subpaths) {
        if (sub.closed || sub.segments.empty())
            continue;
        const svgreader::Point end = sub.segments.back().to;
        if (std::fabs(end.x - sub.start.x) < 1e-8 && std::fabs(end.y - sub.start.y) < 1e-8)
            continue;
        ++open;
    }
    if (open > 0)
        out.Add(line, Forbidden(rules.noOpenPaths), "open",
                what + " has " + std::to_string(open) + " open subpath" + (open > 1 ? "s" : "") +
                    (filled ? " (filled: the fill closes it, the outline does not)" : "") +
                    ByProfile(rules.noOpenPaths) + ": close it (z) where it should be closed");

    long tiny = 0;
    for (const svgreader::Subpath& sub : path.subpaths) {
        svgreader::Point from = sub.start;
        for (const svgreader::Segment& seg : sub.segments) {
            double reach = std::hypot(seg.to.x - from.x, seg.to.y - from.y);
            if (seg.cubic)
                reach = std::max({reach, std::hypot(seg.c1.x - from.x, seg.c1.y - from.y),
                                  std::hypot(seg.c2.x - from.x, seg.c2.y - from.y)});
            tiny += reach < kTinySegment ? 1 : 0;
            from = seg.to;
        }
    }
    if (tiny > 0)
        out.Add(line, Severity::kWarning, "tiny",
                what + " has " + std::to_string(tiny) + " segment" + (tiny > 1 ? "s" : "") +
                    " shorter than " + Points(kTinySegment) +
                    " pt: cutters stutter and lasers burn a dot there; simplify the path");

    const svgreader::Box box = svgreader::BoundsOf(path);
    if (box.valid) {
        const bool outside = box.maxX < -kPageSlack || box.maxY < -kPageSlack ||
                             box.minX > pageWidth + kPageSlack ||
                             box.minY > pageHeight + kPageSlack;
        const bool partly = box.minX < -kPageSlack || box.minY < -kPageSlack ||
                            box.maxX > pageWidth + kPageSlack || box.maxY > pageHeight + kPageSlack;
        if (outside || partly)
            out.Add(line, Severity::kWarning, "page",
                    what + " lies " + (outside ? "wholly" : "partly") +
                        " beyond the page: what is off the page is cut or lost; move it onto "
                        "the page or enlarge the page");
    }

    // Same geometry after every transform, to a thousandth of a point, and
    // the same paint: a cut line over the art it cuts is no duplicate.
    const auto paintKey = [](const Paint& p) {
        return std::to_string(p.kind) + ":" + std::to_string(p.color.r) + "." +
               std::to_string(p.color.g) + "." + std::to_string(p.color.b) + ":" + p.url + ";";
    };
    std::string key =
        paintKey(s.fill) + (stroked ? paintKey(s.stroke) + Points(s.strokeWidth) : "");
    const auto put = [&](svgreader::Point p) {
        key += std::to_string(std::llround(p.x / kSameGeometry)) + "," +
               std::to_string(std::llround(p.y / kSameGeometry)) + " ";
    };
    for (const svgreader::Subpath& sub : path.subpaths) {
        key += sub.closed ? "M" : "m";
        put(sub.start);
        for (const svgreader::Segment& seg : sub.segments) {
            if (seg.cubic)
                put(seg.c1), put(seg.c2);
            put(seg.to);
        }
    }
    const auto [first, isNew] = geometries.emplace(std::hash<std::string>()(key), line);
    if (!isNew) {
        const bool twice = rules.hairlineStrokes;  // a cutter cuts it twice, a laser burns it twice
        out.Add(line, twice ? Severity::kError : Severity::kWarning, "duplicate",
                what + " repeats the path of line " + std::to_string(first->second) + " exactly" +
                    (twice ? ": the machine goes over it twice" : ": it is drawn twice") +
                    "; delete one");
    }
}

void SvgChecker::Effects(xmlNodePtr node, const Style& s, const Style& parent)
{
    std::vector<std::string> kinds;
    if (s.opacity < 1)
        kinds.push_back("opacity " + Points(s.opacity));
    // Inherited values are reported where they are set, not on every child.
    if (s.fillOpacity < 1 && s.fillOpacity != parent.fillOpacity)
        kinds.push_back("fill-opacity " + Points(s.fillOpacity));
    if (s.strokeOpacity < 1 && s.strokeOpacity != parent.strokeOpacity)
        kinds.push_back("stroke-opacity " + Points(s.strokeOpacity));
    for (const std::string& kind : s.unsupported)
        if (kind == "filters")
            kinds.push_back("a filter (blur or other effect)");
        else if (kind == "masks")
            kinds.push_back("a mask");
        else if (kind == "blend modes")
            kinds.push_back("a blend mode");
    if (kinds.empty())
        return;
    std::string list;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        list += (i == 0 ? "" : i + 1 == kinds.size() ? " and " : ", ") + kinds[i];
    out.Add(LineOf(node), Forbidden(rules.noTransparency), "transparency",
            "<" + LocalName(node) + "> has " + list + ByProfile(rules.noTransparency) +
                ": the format has no transparency, so the export flattens it into an image; "
                "make it opaque");
}

// Gradient stops, wherever their gradients are defined.
void SvgChecker::Stops(xmlNodePtr node)
{
    for (xmlNodePtr n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (LocalName(n) == "stop") {
            const Style s = ComputeStyle(n, Style());
            if (s.stopOpacity < 1)
                out.Add(xmlGetLineNo(n), Forbidden(rules.noTransparency), "transparency",
                        "<stop> has stop-opacity " + Points(s.stopOpacity) +
                            ByProfile(rules.noTransparency) +
                            ": the format has no transparency, so the export flattens what "
                            "the gradient fills into an image; make the stop opaque");
            continue;
        }
        Stops(n->children);
    }
}

void SvgChecker::Finish()
{
    if (rules.cutContour && !sawCut)
        out.Add(0, Severity::kError, "cutcontour",
                std::string("no cut line: nothing is stroked in a ") + kCutContourName +
                    " swatch or lies in a group or layer named " + kCutContourName +
                    "; put the cut outline there (or export with --profile cut)");
}

}  // namespace

Report CheckSvg(const std::string& path, Profile profile)
{
    Report report;
    report.status = Status::kUnreadable;
    std::string text;
    const std::string why = ReadDrawing(path, text);
    if (!why.empty()) {
        report.error = "aiexport: cannot read " + path + ": " + why;
        return report;
    }
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        report.error = path + ": more than 64 MB of SVG";
        return report;
    }
    std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
    if (!context) {
        report.error = path + ": out of memory";
        return report;
    }
    // No entities substituted, no DTD or network loaded: the check reads
    // the file it is given and nothing else.
    const int options =
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(
        context.get(), text.data(), static_cast<int>(text.size()), nullptr, nullptr, options));
    const xmlError* error = xmlCtxtGetLastError(context.get());
    if (!doc || (error != nullptr && error->level >= XML_ERR_ERROR)) {
        std::string message =
            error != nullptr && error->message != nullptr ? error->message : "cannot be read";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        report.error = path;
        if (error != nullptr && error->line > 0)
            report.error += ":" + std::to_string(error->line);
        report.error += ": " + message;
        return report;
    }
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || LocalName(root) != "svg") {
        report.error = path + ": not an SVG document (its root element is not <svg>)";
        return report;
    }
    Findings findings(path);
    try {
        SvgChecker(profile, findings).Run(root);
    } catch (const std::bad_alloc&) {
        report.error = path + ": out of memory while checking the drawing";
        return report;
    }
    report.findings = findings.Take();
    report.status = report.findings.empty() ? Status::kClean : Status::kFindings;
    return report;
}

}  // namespace aicheck
