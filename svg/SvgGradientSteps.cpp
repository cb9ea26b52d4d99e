// Gradients as bands of flat colour. A band is a stretch of the gradient's
// offset t painted in the colour at its middle: a strip across the box for a
// linear gradient, for a radial one the ellipse (the circle of t, mapped to
// the page) that ends it outwards. Bands are painted over the ones before, the
// first covering the box, so neighbours meet without a seam: a radial band is
// the whole ellipse, drawn from the outside in; a linear strip reaches a pixel
// into the next, which is drawn over it.
#include "SvgGradientSteps.h"

#include <algorithm>
#include <cmath>

namespace svgreader {

namespace {

// Bands narrower than a pixel are merged with their neighbours: the image
// of the area would not show them either.
constexpr double kMinBandPixels = 1;
// Focal points on or beyond the circle are moved onto it, as SVG 1.1 says;
// this far inside, so that every circle of the gradient lies within the next.
constexpr double kFocalInside = 0.999;

struct Interval {
    double a = 0, b = 0;  // offsets t along the unrolled gradient, a < b
    Stop colour;
};

double Dot(Point p, Point q) { return p.x * q.x + p.y * q.y; }
Point Sub(Point p, Point q) { return {p.x - q.x, p.y - q.y}; }

bool Invert(const Matrix& m, Matrix& inv)
{
    const double det = m.Determinant();
    if (!m.IsFinite() || !(std::fabs(det) > 1e-300))
        return false;
    inv = {m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
    const Point t = inv.ApplyLinear({m.e, m.f});
    inv.e = -t.x, inv.f = -t.y;
    return inv.IsFinite();
}

// The greatest stretch of the map: the larger singular value.
double MaxScale(const Matrix& m)
{
    const double s = m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d;
    const double det = m.Determinant();
    return std::sqrt((s + std::sqrt(std::max(0.0, s * s - 4 * det * det))) / 2);
}

// The offset within one period that `t` shows.
double Local(Spread spread, double t)
{
    if (spread == Spread::kPad)
        return std::clamp(t, 0.0, 1.0);
    const double k = std::floor(t);
    const double u = t - k;
    if (spread == Spread::kRepeat)
        return u;
    return std::fmod(std::fabs(k), 2.0) == 1.0 ? 1 - u : u;
}

// How many 8-bit steps of what is seen lie between two stops, over any
// backdrop: colour times opacity over black, and over white.
double StepsBetween(const Stop& s, const Stop& e)
{
    double most = 0;
    const double cs[3] = {double(s.color.r), double(s.color.g), double(s.color.b)};
    const double ce[3] = {double(e.color.r), double(e.color.g), double(e.color.b)};
    for (int i = 0; i < 3; ++i) {
        most = std::max(most, std::fabs(e.opacity * ce[i] - s.opacity * cs[i]));
        most = std::max(most, std::fabs(e.opacity * (255 - ce[i]) - s.opacity * (255 - cs[i])));
    }
    return most;
}

bool SameColour(const Stop& a, const Stop& b)
{
    return a.color.r == b.color.r && a.color.g == b.color.g && a.color.b == b.color.b &&
           std::fabs(a.opacity - b.opacity) < 1e-9;
}

std::vector<Interval> Stretches(const GradientShape& g, double lo, double hi, double pixel,
                                std::size_t cap);

// The stretches of [lo, hi] of one colour each, in order of t. `pixel` is a
// pixel in units of t. Past the cap, bands are made wider, so that they still
// end at the stops (hard edges stay where they are); only when the stops
// alone are too many are neighbours merged.
std::vector<Interval> Intervals(const GradientShape& g, double lo, double hi, double pixel,
                                std::size_t cap)
{
    std::vector<Interval> out = Stretches(g, lo, hi, pixel, cap);
    for (int tries = 0; out.size() > cap && tries < 16; ++tries) {
        pixel *= 1.25 * static_cast<double>(out.size()) / static_cast<double>(cap);
        out = Stretches(g, lo, hi, pixel, cap);
    }
    if (out.size() > cap) {
        // Neighbours merged in equal groups, coloured at their middle.
        const std::size_t group = (out.size() + cap - 1) / cap;
        std::vector<Interval> merged;
        for (std::size_t i = 0; i < out.size(); i += group) {
            const std::size_t j = std::min(out.size(), i + group) - 1;
            const double a = out[i].a, b = out[j].b;
            merged.push_back({a, b, GradientAt(g, (a + b) / 2)});
        }
        out.swap(merged);
    }
    return out;
}

std::vector<Interval> Stretches(const GradientShape& g, double lo, double hi, double pixel,
                                std::size_t cap)
{
    const std::vector<Stop>& stops = g.stops;
    // One period's breaks, in local offsets: the stops, and the steps between.
    std::vector<double> breaks{0.0};
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const double o = std::clamp(stops[i].offset, 0.0, 1.0);
        if (i > 0) {
            const double from = breaks.back(), width = o - from;
            if (width > 0) {
                // Two steps a band: its middle colour is within a step of
                // every point of it, and mixtures of bands cost a quarter.
                const double byColour = std::ceil(StepsBetween(stops[i - 1], stops[i]) / 2);
                const double byWidth = std::floor(width / (kMinBandPixels * pixel));
                const double n = std::clamp(std::min(byColour, byWidth), 1.0, 4096.0);
                for (int k = 1; k < static_cast<int>(n); ++k)
                    breaks.push_back(from + width * k / n);
            }
        }
        if (o > breaks.back())
            breaks.push_back(o);
    }
    if (breaks.back() < 1)
        breaks.push_back(1);

    std::vector<Interval> out;
    auto add = [&](double a, double b) {
        a = std::max(a, lo), b = std::min(b, hi);
        if (!(b > a))
            return;
        Interval iv{a, b, GradientAt(g, (a + b) / 2)};
        if (!out.empty() && SameColour(out.back().colour, iv.colour))
            out.back().b = b;
        else
            out.push_back(iv);
    };
    if (g.spread == Spread::kPad) {
        add(lo, 0);
        for (std::size_t i = 1; i < breaks.size(); ++i)
            add(breaks[i - 1], breaks[i]);
        add(1, hi);
    } else {
        const double first = std::floor(lo), last = std::ceil(hi);
        // Periods beyond the cap would each be narrower than a band.
        if (last - first > static_cast<double>(cap)) {
            add(lo, hi);
            return out;
        }
        for (double k = first; k < last; ++k) {
            const bool reversed =
                g.spread == Spread::kReflect && std::fmod(std::fabs(k), 2.0) == 1.0;
            for (std::size_t i = 1; i < breaks.size(); ++i) {
                const std::size_t j = reversed ? breaks.size() - i : i;
                const double a = reversed ? 1 - breaks[j] : breaks[j - 1];
                const double b = reversed ? 1 - breaks[j - 1] : breaks[j];
                add(k + a, k + b);
            }
        }
    }
    return out;
}

Band BandOf(Path path, const Stop& colour)
{
    Band band;
    band.path = std::move(path);
    band.color = colour.color;
    band.opacity = colour.opacity;
    return band;
}

Path BoxPath(const Box& box)
{
    return RectPath(box.minX, box.minY, box.Width(), box.Height(), 0, 0);
}

}  // namespace

Stop GradientAt(const GradientShape& g, double t)
{
    if (g.stops.empty())
        return {};
    const double u = Local(g.spread, t);
    if (u <= g.stops.front().offset)
        return g.stops.front();
    for (std::size_t i = 1; i < g.stops.size(); ++i) {
        const Stop& a = g.stops[i - 1];
        const Stop& b = g.stops[i];
        if (u > b.offset)
            continue;
        const double f = b.offset > a.offset ? (u - a.offset) / (b.offset - a.offset) : 1;
        auto mix = [f](std::uint8_t x, std::uint8_t y) {
            return static_cast<std::uint8_t>(std::floor(x + (y - x) * f + 0.5));
        };
        Stop s;
        s.offset = u;
        s.color = {mix(a.color.r, b.color.r), mix(a.color.g, b.color.g), mix(a.color.b, b.color.b)};
        s.opacity = a.opacity + (b.opacity - a.opacity) * f;
        return s;
    }
    return g.stops.back();
}

std::vector<Band> GradientBands(const GradientShape& g, const Box& box, double pixel,
                                std::size_t cap)
{
    std::vector<Band> bands;
    if (g.stops.empty() || !box.valid || !(box.Width() > 0) || !(box.Height() > 0))
        return bands;
    cap = std::max<std::size_t>(cap, 1);
    pixel = pixel > 0 ? pixel : box.Width() + box.Height();
    Matrix inv;
    const Point corners[4] = {
        {box.minX, box.minY}, {box.maxX, box.minY}, {box.maxX, box.maxY}, {box.minX, box.maxY}};
    const bool invertible = Invert(g.toPage, inv);
    const double scale = MaxScale(g.toPage);

    if (!g.radial) {
        const Point v = Sub(g.p2, g.p1);
        const double vv = Dot(v, v);
        if (!invertible || !(vv > 0) || !(scale > 0)) {
            bands.push_back(BandOf(BoxPath(box), g.stops.back()));
            return bands;
        }
        // t along v, s across it (in lengths of v), in the gradient's space.
        const Point n{-v.y, v.x};
        double tlo = HUGE_VAL, thi = -HUGE_VAL, slo = HUGE_VAL, shi = -HUGE_VAL;
        for (const Point& c : corners) {
            const Point q = Sub(inv.Apply(c), g.p1);
            const double t = Dot(q, v) / vv, s = Dot(q, n) / vv;
            tlo = std::min(tlo, t), thi = std::max(thi, t);
            slo = std::min(slo, s), shi = std::max(shi, s);
        }
        // A pixel in units of t: t changes by |inv^T v| / vv per page unit.
        const Point grad{inv.a * v.x + inv.b * v.y, inv.c * v.x + inv.d * v.y};
        const double perPage = std::sqrt(Dot(grad, grad)) / vv;
        const double tPixel = pixel * perPage;
        const std::vector<Interval> parts = Intervals(g, tlo, thi, tPixel, cap);
        auto at = [&](double t, double s) {
            return g.toPage.Apply({g.p1.x + t * v.x + s * n.x, g.p1.y + t * v.y + s * n.y});
        };
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i == 0) {
                bands.push_back(BandOf(BoxPath(box), parts[i].colour));
                continue;
            }
            const double a = parts[i].a;
            const double b = i + 1 == parts.size() ? thi : std::min(thi, parts[i].b + tPixel);
            Path strip;
            const Point p0 = at(a, slo), p1 = at(b, slo), p2 = at(b, shi), p3 = at(a, shi);
            strip.MoveTo(p0.x, p0.y);
            strip.LineTo(p1.x, p1.y);
            strip.LineTo(p2.x, p2.y);
            strip.LineTo(p3.x, p3.y);
            strip.Close();
            bands.push_back(BandOf(std::move(strip), parts[i].colour));
        }
        return bands;
    }

    if (!invertible || !(g.radius > 0) || !(scale > 0)) {
        bands.push_back(BandOf(BoxPath(box), g.stops.back()));
        return bands;
    }
    // Circle t: centre focal + t (centre - focal), radius t r.
    Point f = g.focal;
    Point d = Sub(g.centre, f);
    const double off = std::sqrt(Dot(d, d));
    if (off > kFocalInside * g.radius) {
        const double k = kFocalInside * g.radius / off;
        f = {g.centre.x - d.x * k, g.centre.y - d.y * k};
        d = Sub(g.centre, f);
    }
    const double a = Dot(d, d) - g.radius * g.radius;  // < 0: the focus is inside
    double tmax = 0;
    for (const Point& c : corners) {
        const Point w = Sub(inv.Apply(c), f);
        const double b = Dot(w, d), ww = Dot(w, w);
        tmax = std::max(tmax, (b - std::sqrt(std::max(0.0, b * b - a * ww))) / a);
    }
    // The rings are widest on the side away from the focus.
    const double tPixel = pixel / ((g.radius + std::sqrt(Dot(d, d))) * scale);
    const std::vector<Interval> parts = Intervals(g, 0, tmax, tPixel, cap);
    for (std::size_t i = parts.size(); i-- > 0;) {
        if (i + 1 == parts.size()) {
            bands.push_back(BandOf(BoxPath(box), parts[i].colour));
            continue;
        }
        const double t = parts[i].b;
        Path ellipse = EllipsePath(f.x + t * d.x, f.y + t * d.y, t * g.radius, t * g.radius);
        ellipse.Transform(g.toPage);
        const Box e = BoundsOf(ellipse);
        // An ellipse the box does not meet paints nothing there, nor do those within it.
        if (!e.valid || e.maxX < box.minX || e.minX > box.maxX || e.maxY < box.minY ||
            e.minY > box.maxY)
            break;
        bands.push_back(BandOf(std::move(ellipse), parts[i].colour));
    }
    return bands;
}

}  // namespace svgreader
