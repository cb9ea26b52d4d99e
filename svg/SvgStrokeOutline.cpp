// Strokes expanded into filled outlines and the outer outline of what is
// drawn, with Clipper's offsetting and union on flattened paths.
#include "SvgStrokeOutline.h"

#include <clipper.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace svgreader {

namespace {

// Clipper works on integers: a unit is a 64th of the tolerance, so rounding
// adds nothing one could see. Coordinates stay far inside its 62-bit range.
constexpr double kUnitsPerTolerance = 64;
constexpr double kMaxScaled = 1e15;
// No curve is cut into more lines than this, however large it is.
constexpr int kMaxCurveLines = 1000;

using Polyline = std::vector<Point>;

double Distance(Point a, Point b) { return std::hypot(b.x - a.x, b.y - a.y); }

// Lines through a cubic, none farther than `tolerance` from it: a curve of
// degree 3 with second differences up to M needs sqrt(3 M / (4 tol)) lines.
void AddCubic(Polyline& line, Point p0, const Segment& s, double tolerance)
{
    const double ax = p0.x - 2 * s.c1.x + s.c2.x, ay = p0.y - 2 * s.c1.y + s.c2.y;
    const double bx = s.c1.x - 2 * s.c2.x + s.to.x, by = s.c1.y - 2 * s.c2.y + s.to.y;
    const double m = std::max(std::hypot(ax, ay), std::hypot(bx, by));
    const double wanted = std::ceil(std::sqrt(0.75 * m / tolerance));
    const int n = std::isfinite(wanted)
                      ? std::clamp(static_cast<int>(std::min(wanted, 1e6)), 1, kMaxCurveLines)
                      : 1;
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n;
        line.push_back(
            {CubicAt(p0.x, s.c1.x, s.c2.x, s.to.x, t), CubicAt(p0.y, s.c1.y, s.c2.y, s.to.y, t)});
    }
}

// A subpath as lines; a closed one ends where it started.
Polyline Flatten(const Subpath& sub, double tolerance)
{
    Polyline line{sub.start};
    for (const Segment& s : sub.segments) {
        if (s.cubic)
            AddCubic(line, line.back(), s, tolerance);
        else
            line.push_back(s.to);
    }
    if (sub.closed)
        line.push_back(sub.start);
    return line;
}

// The dash array as SVG uses it: repeated once when its count is odd;
// empty (solid) when a value is negative or all are zero.
std::vector<double> DashPattern(const std::vector<double>& dashes)
{
    double total = 0;
    for (double d : dashes) {
        if (!(d >= 0) || !std::isfinite(d))
            return {};
        total += d;
    }
    if (!(total > 0))
        return {};
    std::vector<double> pattern = dashes;
    if (pattern.size() % 2 == 1)
        pattern.insert(pattern.end(), dashes.begin(), dashes.end());
    return pattern;
}

// The dashes of one polyline, each an open polyline. The pattern starts
// afresh at every subpath, `offset` into it.
void Dash(const Polyline& line, const std::vector<double>& pattern, double offset,
          std::vector<Polyline>& out)
{
    double total = 0;
    for (double d : pattern)
        total += d;
    double at = std::fmod(offset, total);
    if (at < 0)
        at += total;
    std::size_t index = 0;
    while (at >= pattern[index]) {
        at -= pattern[index];
        index = (index + 1) % pattern.size();
    }
    double left = pattern[index] - at;  // of the current dash or gap
    bool on = index % 2 == 0;
    Polyline piece;
    if (on)
        piece.push_back(line.front());
    // A polyline far longer than its dashes would give without end: the
    // pieces are bounded as the curve's lines are.
    std::size_t budget = static_cast<std::size_t>(kMaxCurveLines) * 100 + line.size();
    for (std::size_t i = 1; i < line.size() && budget > 0; ++i) {
        Point a = line[i - 1];
        const Point b = line[i];
        double length = Distance(a, b);
        while (length > left && budget-- > 0) {
            const double t = left / length;
            const Point cut{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            if (on) {
                piece.push_back(cut);
                out.push_back(std::move(piece));
                piece.clear();
            } else {
                piece.push_back(cut);
            }
            on = !on;
            length -= left;
            a = cut;
            index = (index + 1) % pattern.size();
            left = pattern[index];
        }
        left -= length;
        if (on)
            piece.push_back(b);
    }
    if (on && piece.size() > 1)
        out.push_back(std::move(piece));
}

struct Scaled {
    double scale;
    bool inRange = true;

    ClipperLib::Path Of(const Polyline& line)
    {
        ClipperLib::Path p;
        p.reserve(line.size());
        for (const Point& q : line) {
            const double x = std::round(q.x * scale), y = std::round(q.y * scale);
            if (!(std::fabs(x) < kMaxScaled) || !(std::fabs(y) < kMaxScaled)) {
                inRange = false;
                return {};
            }
            const ClipperLib::IntPoint ip(static_cast<ClipperLib::cInt>(x),
                                          static_cast<ClipperLib::cInt>(y));
            if (p.empty() || !(p.back() == ip))
                p.push_back(ip);
        }
        return p;
    }
};

Path FromPaths(const ClipperLib::Paths& paths, double scale)
{
    Path out;
    for (const ClipperLib::Path& p : paths) {
        if (p.size() < 3)
            continue;
        out.MoveTo(static_cast<double>(p[0].X) / scale, static_cast<double>(p[0].Y) / scale);
        for (std::size_t i = 1; i < p.size(); ++i)
            out.LineTo(static_cast<double>(p[i].X) / scale, static_cast<double>(p[i].Y) / scale);
        out.Close();
    }
    return out;
}

ClipperLib::JoinType JoinOf(int join)
{
    // Clipper has no bevel: its square join cuts the corner at the stroke's
    // half width from the vertex, a little beyond the bevel's chord.
    return join == 2 ? ClipperLib::jtRound : join == 1 ? ClipperLib::jtMiter : ClipperLib::jtSquare;
}

ClipperLib::EndType EndOf(int cap)
{
    return cap == 1   ? ClipperLib::etOpenRound
           : cap == 0 ? ClipperLib::etOpenSquare
                      : ClipperLib::etOpenButt;
}

}  // namespace

Path StrokeOutline(const Path& path, const StrokeShape& stroke, double tolerance)
{
    if (!(stroke.width > 0) || !std::isfinite(stroke.width) || !(tolerance > 0))
        return {};
    Scaled scaled{kUnitsPerTolerance / tolerance};
    const std::vector<double> pattern = DashPattern(stroke.dashes);
    // Clipper takes the miter limit in half widths, as SVG's is in widths
    // of the miter over the stroke: the same number; it allows no less than 2.
    ClipperLib::ClipperOffset offset(std::max(stroke.miterLimit, 1.0), tolerance * scaled.scale);
    const ClipperLib::JoinType join = JoinOf(stroke.join);
    bool any = false;
    const auto addOpen = [&](const Polyline& line) {
        ClipperLib::Path p = scaled.Of(line);
        if (p.empty())
            return;
        if (p.size() == 1) {
            // A stroke of no length shows its caps only: a dot or a square.
            if (stroke.cap == 2)
                return;
            offset.AddPath(p, stroke.cap == 1 ? ClipperLib::jtRound : ClipperLib::jtSquare,
                           ClipperLib::etOpenSquare);
        } else {
            offset.AddPath(p, join, EndOf(stroke.cap));
        }
        any = true;
    };
    for (const Subpath& sub : path.subpaths) {
        if (sub.segments.empty())
            continue;
        const Polyline line = Flatten(sub, tolerance);
        if (!pattern.empty()) {
            std::vector<Polyline> dashes;
            Dash(line, pattern, stroke.dashOffset, dashes);
            for (const Polyline& d : dashes)
                addOpen(d);
        } else if (sub.closed) {
            ClipperLib::Path p = scaled.Of(line);
            if (p.size() > 1 && p.front() == p.back())
                p.pop_back();
            if (p.size() >= 2) {
                offset.AddPath(p, join, ClipperLib::etClosedLine);
                any = true;
            } else {
                addOpen(line);
            }
        } else {
            addOpen(line);
        }
        if (!scaled.inRange)
            return {};
    }
    if (!any)
        return {};
    ClipperLib::Paths solution;
    try {
        offset.Execute(solution, stroke.width / 2 * scaled.scale);
    } catch (const ClipperLib::clipperException&) {
        return {};
    }
    return FromPaths(solution, scaled.scale);
}

Path OuterOutline(const std::vector<Path>& areas, double tolerance)
{
    if (!(tolerance > 0))
        return {};
    Scaled scaled{kUnitsPerTolerance / tolerance};
    ClipperLib::Clipper clipper;
    bool any = false;
    try {
        for (const Path& area : areas)
            for (const Subpath& sub : area.subpaths) {
                if (sub.segments.empty())
                    continue;
                Subpath closed = sub;
                closed.closed = true;
                ClipperLib::Path p = scaled.Of(Flatten(closed, tolerance));
                if (!scaled.inRange)
                    return {};
                if (p.size() >= 3)
                    any = clipper.AddPath(p, ClipperLib::ptSubject, true) || any;
            }
        if (!any)
            return {};
        ClipperLib::PolyTree tree;
        clipper.Execute(ClipperLib::ctUnion, tree, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
        ClipperLib::Paths outers;
        for (const ClipperLib::PolyNode* node : tree.Childs)
            outers.push_back(node->Contour);
        return FromPaths(outers, scaled.scale);
    } catch (const ClipperLib::clipperException&) {
        return {};
    }
}

namespace {

ClipperLib::Paths Polygons(Scaled& scaled, const Path& path, double tolerance)
{
    ClipperLib::Paths out;
    for (const Subpath& sub : path.subpaths) {
        Subpath closed = sub;
        closed.closed = true;
        ClipperLib::Path p = scaled.Of(Flatten(closed, tolerance));
        if (p.size() >= 3)
            out.push_back(std::move(p));
    }
    return out;
}

ClipperLib::PolyFillType RuleOf(bool evenOdd)
{
    return evenOdd ? ClipperLib::pftEvenOdd : ClipperLib::pftNonZero;
}

}  // namespace

bool Holds(const FilledArea& outer, const FilledArea& inner, double margin, double tolerance)
{
    if (!(tolerance > 0) || !(margin >= 0) || outer.path == nullptr || inner.path == nullptr)
        return false;
    Scaled scaled{kUnitsPerTolerance / tolerance};
    try {
        ClipperLib::Paths in = Polygons(scaled, *inner.path, tolerance);
        const ClipperLib::Paths out = Polygons(scaled, *outer.path, tolerance);
        if (!scaled.inRange || in.empty())
            return false;
        // The inner area as one, by its rule, then grown.
        ClipperLib::SimplifyPolygons(in, RuleOf(inner.evenOdd));
        ClipperLib::ClipperOffset offset;
        offset.AddPaths(in, ClipperLib::jtRound, ClipperLib::etClosedPolygon);
        ClipperLib::Paths grown;
        offset.Execute(grown, margin * scaled.scale);
        ClipperLib::Clipper clipper;
        clipper.AddPaths(grown, ClipperLib::ptSubject, true);
        clipper.AddPaths(out, ClipperLib::ptClip, true);
        ClipperLib::Paths left;
        clipper.Execute(ClipperLib::ctDifference, left, ClipperLib::pftNonZero,
                        RuleOf(outer.evenOdd));
        return left.empty();
    } catch (const ClipperLib::clipperException&) {
        return false;
    }
}

bool CommonArea(const std::vector<FilledArea>& areas, Path& common, double tolerance)
{
    if (!(tolerance > 0) || areas.empty())
        return false;
    Scaled scaled{kUnitsPerTolerance / tolerance};
    auto polygons = [&](const Path& path) { return Polygons(scaled, path, tolerance); };
    auto fill = RuleOf;
    try {
        ClipperLib::Paths result = polygons(*areas[0].path);
        ClipperLib::PolyFillType rule = fill(areas[0].evenOdd);
        for (std::size_t i = 1; i < areas.size() && !result.empty() && scaled.inRange; ++i) {
            const ClipperLib::Paths other = polygons(*areas[i].path);
            ClipperLib::Clipper clipper;
            clipper.AddPaths(result, ClipperLib::ptSubject, true);
            clipper.AddPaths(other, ClipperLib::ptClip, true);
            ClipperLib::Paths next;
            clipper.Execute(ClipperLib::ctIntersection, next, rule, fill(areas[i].evenOdd));
            result = std::move(next);
            rule = ClipperLib::pftNonZero;
        }
        if (!scaled.inRange)
            return false;
        common = FromPaths(result, scaled.scale);
        return true;
    } catch (const ClipperLib::clipperException&) {
        return false;
    }
}

StrokeShape StrokeShapeOf(const Style& style, double scale, bool dashed)
{
    StrokeShape shape;
    shape.width = style.strokeWidth * scale;
    shape.cap = style.cap;
    shape.join = style.join;
    shape.miterLimit = style.miterLimit;
    if (dashed) {
        for (double d : style.dashes)
            shape.dashes.push_back(d * scale);
        shape.dashOffset = style.dashOffset * scale;
    }
    return shape;
}

}  // namespace svgreader
