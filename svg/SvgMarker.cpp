// Markers: the marker's content drawn at the vertices of a path, line,
// polyline or polygon, turned and scaled as the marker says.
#include <cmath>

#include "SvgDocument.h"
#include "SvgXml.h"

namespace svgreader {

namespace {

struct Vertex {
    Point at;
    double angle = 0;  // degrees, in user space
};

Point Minus(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
bool Zero(Point v) { return v.x == 0 && v.y == 0; }

// The directions in which a segment leaves its start and reaches its end;
// a cubic whose control point sits on its end takes the next one.
Point StartDirection(Point from, const Segment& g)
{
    if (!g.cubic)
        return Minus(g.to, from);
    for (Point p : {g.c1, g.c2, g.to})
        if (!Zero(Minus(p, from)))
            return Minus(p, from);
    return {};
}

Point EndDirection(Point from, const Segment& g)
{
    if (!g.cubic)
        return Minus(g.to, from);
    for (Point p : {g.c2, g.c1, from})
        if (!Zero(Minus(g.to, p)))
            return Minus(g.to, p);
    return {};
}

// The angle of a vertex: of its one direction, or halfway between the two.
double AngleOf(const Point* in, const Point* out)
{
    constexpr double kDegrees = 180 / 3.14159265358979323846;
    if (in == nullptr && out == nullptr)
        return 0;
    if (in == nullptr || out == nullptr) {
        const Point d = in != nullptr ? *in : *out;
        return std::atan2(d.y, d.x) * kDegrees;
    }
    const double a = std::atan2(in->y, in->x) * kDegrees;
    double b = std::atan2(out->y, out->x) * kDegrees;
    if (b - a > 180)
        b -= 360;
    else if (a - b > 180)
        b += 360;
    return (a + b) / 2;
}

// Every vertex of the path in order, a closed subpath's closing segment
// included (its end is a vertex, back at the start).
std::vector<Vertex> VerticesOf(const Path& path)
{
    std::vector<Vertex> out;
    for (const Subpath& s : path.subpaths) {
        if (s.segments.empty())
            continue;
        std::vector<Segment> segments = s.segments;
        if (s.closed) {
            Segment close;
            close.to = s.start;
            segments.push_back(close);
        }
        std::vector<Point> starts, ends;
        Point from = s.start;
        for (const Segment& g : segments) {
            starts.push_back(StartDirection(from, g));
            ends.push_back(EndDirection(from, g));
            from = g.to;
        }
        const std::size_t n = segments.size();
        out.push_back({s.start, AngleOf(s.closed ? &ends[n - 1] : nullptr, &starts[0])});
        for (std::size_t k = 0; k < n; ++k) {
            const Point* next = k + 1 < n ? &starts[k + 1] : s.closed ? &starts[0] : nullptr;
            out.push_back({segments[k].to, AngleOf(&ends[k], next)});
        }
    }
    return out;
}

}  // namespace

Style Reader::DefinitionStyle(xmlNodePtr node)
{
    if (node->parent == nullptr || node->parent->type != XML_ELEMENT_NODE)
        return ComputeStyle(node, Style());
    return ComputeStyle(node, DefinitionStyle(node->parent));
}

void Reader::Markers(xmlNodePtr node, const Style& style, const View& view, const Path& path)
{
    const std::string name = LocalName(node);
    if (name != "path" && name != "line" && name != "polyline" && name != "polygon")
        return;
    if (style.markerStart.empty() && style.markerMid.empty() && style.markerEnd.empty())
        return;
    const std::vector<Vertex> vertices = VerticesOf(path);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const std::string& id = i == 0                     ? style.markerStart
                                : i + 1 == vertices.size() ? style.markerEnd
                                                           : style.markerMid;
        if (!id.empty())
            Marker(id, style, view, vertices[i].at, vertices[i].angle, i == 0, node);
    }
}

void Reader::Marker(const std::string& id, const Style& style, const View& view, Point at,
                    double angle, bool first, xmlNodePtr node)
{
    const auto it = ids.find(id);
    if (it == ids.end() || LocalName(it->second) != "marker") {
        Warn("markers that refer to missing elements", node);
        return;
    }
    xmlNodePtr marker = it->second;
    if (depth >= kMaxReferenceDepth || active.count(marker) != 0) {
        Warn("circular marker references", node);
        return;
    }
    const Style markerStyle = DefinitionStyle(marker);
    const double w = Length(marker, "markerWidth", view.width, markerStyle, 3);
    const double h = Length(marker, "markerHeight", view.height, markerStyle, 3);
    if (!(w > 0) || !(h > 0))
        return;
    // The viewBox onto the marker's viewport, as preserveAspectRatio says.
    Matrix box;
    const auto vb = ParseNumberList(Attr(marker, "viewBox").value_or(""));
    if (vb.size() == 4 && vb[2] > 0 && vb[3] > 0)
        box = ViewBoxTransform(vb, w, h, Attr(marker, "preserveAspectRatio").value_or(""));
    const std::string orient = Attr(marker, "orient").value_or("0");
    double turn = angle;
    if (orient == "auto-start-reverse")
        turn = first ? angle + 180 : angle;
    else if (orient != "auto")
        turn = ParseNumberList(orient).empty() ? 0 : ParseNumberList(orient)[0];
    const double scale =
        Attr(marker, "markerUnits").value_or("") == "userSpaceOnUse" ? 1 : style.strokeWidth;
    const Point ref = box.Apply(
        {Length(marker, "refX", w, markerStyle, 0), Length(marker, "refY", h, markerStyle, 0)});
    const double rad = turn * 3.14159265358979323846 / 180;
    const double c = std::cos(rad), s = std::sin(rad);
    View inner = view;
    inner.ctm = view.ctm * Matrix::Translate(at.x, at.y) * Matrix{c, s, -s, c, 0, 0} *
                Matrix::ScaleBy(scale, scale) * Matrix::Translate(-ref.x, -ref.y);
    const Matrix viewport = inner.ctm;
    inner.ctm = inner.ctm * box;
    inner.width = vb.size() == 4 ? vb[2] : w;
    inner.height = vb.size() == 4 ? vb[3] : h;
    if (!inner.ctm.IsFinite() || !(inner.ctm.Scale() > 0))
        return;

    ++depth;
    active.insert(marker);
    const std::size_t mark = draw.Mark();
    const long before = objects;
    draw.BeginGroup();
    // Content beyond the viewport is cut off unless the marker lets it overflow.
    const bool clipped = !markerStyle.overflowVisible;
    if (clipped) {
        Path frame = RectPath(0, 0, w, h, 0, 0);
        frame.Transform(viewport);
        draw.BeginMask();
        draw.BeginClipRgn();
        WritePath(frame);
        draw.EndClipRgn();
        PushClip(frame, false, true);
    }
    WalkChildren(marker, markerStyle, inner);
    if (clipped)
        CloseClip();
    draw.EndGroup();
    if (objects == before)
        draw.Truncate(mark);
    active.erase(marker);
    --depth;
}

}  // namespace svgreader
