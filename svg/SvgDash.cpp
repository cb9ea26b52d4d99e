// Dash offsets. The module's dash patterns always start at the start of a
// subpath; an offset shifts where in its period a stroke begins. That place
// is kept in the module's pattern: each subpath's stroke up to the end of
// the first, partial period is drawn as its marks, solid, and the rest of the
// subpath with the dash pattern, which then starts where it should.
#include <algorithm>
#include <cmath>

#include "SvgDocument.h"

namespace svgreader {

namespace {

// Marks and gaps of the module's patterns, in points.
const std::vector<double>& ModulePattern(int style)
{
    static const std::vector<double> patterns[] = {
        {}, {12, 12}, {2, 12}, {12, 12, 2, 12}, {12, 12, 2, 12, 2, 12}};
    return patterns[style >= 0 && style <= 4 ? style : 0];
}

Point Lerp(Point a, Point b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

// The part of a segment (starting at `from`) between parameters t0 and t1.
Segment Part(Point from, const Segment& g, double t0, double t1, Point& start)
{
    Segment out = g;
    if (!g.cubic) {
        start = Lerp(from, g.to, t0);
        out.to = Lerp(from, g.to, t1);
        return out;
    }
    // Split at t1 and keep the first part, then split that at t0 / t1.
    auto split = [](Point p0, Point p1, Point p2, Point p3, double t, Point q[4]) {
        const Point a = Lerp(p0, p1, t), b = Lerp(p1, p2, t), c = Lerp(p2, p3, t);
        const Point d = Lerp(a, b, t), e = Lerp(b, c, t);
        q[0] = p0, q[1] = a, q[2] = d, q[3] = Lerp(d, e, t);
    };
    Point first[4];
    split(from, g.c1, g.c2, g.to, t1, first);
    const double u = t1 > 0 ? t0 / t1 : 0;
    // The second part of a split at u, by the mirror of the first.
    Point mirrored[4];
    split(first[3], first[2], first[1], first[0], 1 - u, mirrored);
    start = mirrored[3];
    out.c1 = mirrored[2];
    out.c2 = mirrored[1];
    out.to = mirrored[0];
    return out;
}

// A subpath, closed ones opened at their start, as pieces with their lengths
// (in the units of its coordinates); cubics measured along 32 chords.
struct Measured {
    struct Piece {
        Point from;
        Segment segment;
        std::vector<double> along;  // at parameters k / (size - 1)
    };
    std::vector<Piece> pieces;
    double length = 0;

    explicit Measured(const Subpath& s)
    {
        Point from = s.start;
        std::vector<Segment> segments = s.segments;
        if (s.closed) {
            Segment close;
            close.to = s.start;
            segments.push_back(close);
        }
        for (const Segment& g : segments) {
            Piece piece{from, g, {0}};
            const int steps = g.cubic ? 32 : 1;
            Point at = from;
            for (int k = 1; k <= steps; ++k) {
                const double t = static_cast<double>(k) / steps;
                Point start;
                const Point end = Part(from, g, 0, t, start).to;
                piece.along.push_back(piece.along.back() + std::hypot(end.x - at.x, end.y - at.y));
                at = end;
            }
            length += piece.along.back();
            pieces.push_back(piece);
            from = g.to;
        }
    }

    // The stretch between two distances along the subpath, as an open subpath.
    Subpath Slice(double a, double b) const
    {
        Subpath out;
        double base = 0;
        bool started = false;
        for (const Piece& p : pieces) {
            const double len = p.along.back();
            const double lo = std::max(a - base, 0.0), hi = std::min(b - base, len);
            if (hi > lo) {
                Point start;
                const Segment part = Part(p.from, p.segment, At(p, lo), At(p, hi), start);
                if (!started)
                    out.start = start;
                started = true;
                out.segments.push_back(part);
            }
            base += len;
            if (base >= b)
                break;
        }
        return out;
    }

    // The parameter at a distance into a piece.
    static double At(const Piece& p, double d)
    {
        const std::size_t n = p.along.size() - 1;
        if (!(p.along.back() > 0))
            return 0;
        for (std::size_t k = 1; k <= n; ++k)
            if (d <= p.along[k] || k == n) {
                const double span = p.along[k] - p.along[k - 1];
                const double f = span > 0 ? (d - p.along[k - 1]) / span : 0;
                return std::clamp((static_cast<double>(k - 1) + f) / n, 0.0, 1.0);
            }
        return 1;
    }
};

}  // namespace

bool Reader::DashedWithOffset(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                              const Path& page)
{
    const int dashStyle = DashStyle(style.dashes);
    if (style.dashOffset == 0 || dashStyle == 0 || paint.stroke.kind != FillKind::kColor)
        return false;
    std::vector<double> d = style.dashes;
    if (d.size() % 2 == 1)
        d.insert(d.end(), style.dashes.begin(), style.dashes.end());
    double period = 0;
    for (double v : d)
        period += v;
    const std::vector<double>& marks = ModulePattern(dashStyle);
    if (!(period > 0) || !std::isfinite(style.dashOffset))
        return false;
    // Where the offset falls, a mark or a gap and how far into it, is kept:
    // the same share of the module's mark or gap of that place.
    const double offset = style.dashOffset - std::floor(style.dashOffset / period) * period;
    std::size_t k = 0;
    double start = 0;
    while (k + 1 < d.size() && start + d[k] <= offset)
        start += d[k++];
    const double share = d[k] > 0 ? std::clamp((offset - start) / d[k], 0.0, 1.0) : 0;
    const std::size_t place = 2 * ((k / 2) % (marks.size() / 2)) + k % 2;
    double phase = share * marks[place], modulePeriod = 0;  // points
    for (std::size_t i = 0; i < marks.size(); ++i) {
        modulePeriod += marks[i];
        phase += i < place ? marks[i] : 0;
    }
    if (!(phase > 0) || phase >= modulePeriod)
        return false;

    // The fill first, then the strokes over it.
    if (paint.fill.kind != FillKind::kNone) {
        ElementPaint fillOnly = paint;
        fillOnly.stroke = Fill();
        WriteShape(style, fillOnly, ctm, page);
    }
    ElementPaint strokeOnly = paint;
    strokeOnly.fill = Fill();
    Path heads, tails;
    for (const Subpath& s : page.subpaths) {
        if (s.segments.empty())
            continue;
        const Measured measured(s);
        const double toPoints = 72, length = measured.length * toPoints;
        // The marks of the period's rest, from `phase` to its end.
        double at = 0;
        for (std::size_t k = 0; k < marks.size(); at += marks[k], ++k) {
            const double from = std::max(at, phase) - phase, to = at + marks[k] - phase;
            if (k % 2 == 0 && to > from && from < length)
                heads.subpaths.push_back(
                    measured.Slice(from / toPoints, std::min(to, length) / toPoints));
        }
        if (modulePeriod - phase < length)
            tails.subpaths.push_back(
                measured.Slice((modulePeriod - phase) / toPoints, measured.length));
    }
    Style solid = style;
    solid.dashes.clear();
    WritePaint(solid, strokeOnly, ctm);
    for (const Subpath& s : heads.subpaths) {
        Path one;
        one.subpaths.push_back(s);
        WritePath(one);
    }
    WritePaint(style, strokeOnly, ctm);
    for (const Subpath& s : tails.subpaths) {
        Path one;
        one.subpaths.push_back(s);
        WritePath(one);
    }
    return true;
}

}  // namespace svgreader
