// Blurred flat shapes as level sets: the source's coverage sampled on a grid
// finer than the blur, blurred there, and each level traced by marching
// squares and thinned to the tolerance.
#include "SvgBlur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "SvgStrokeOutline.h"

namespace svgreader {

namespace {

// The grid stays below this many samples: a blurred area is smooth, its
// level sets need few.
constexpr double kMaxCells = 250000;
constexpr int kSubsamples = 4;  // along each axis of a cell, for its coverage
constexpr int kMaxLevels = 255;
// Bounds on the blur itself: the taps of a kernel, and taps times samples.
constexpr double kMaxKernelTaps = 100000;
constexpr double kMaxBlurWork = 2e8;

struct Grid {
    int width = 0, height = 0;
    double x0 = 0, y0 = 0, pixel = 1;
    std::vector<double> values;  // rows of `width`

    double& At(int i, int j) { return values[static_cast<std::size_t>(j) * width + i]; }
    double At(int i, int j) const { return values[static_cast<std::size_t>(j) * width + i]; }
};

struct Edge {
    double x1, y1, x2, y2;
};

// The share of each cell the area covers, filled even-odd (the area is
// Clipper's, whose contours never cross).
std::vector<double> Coverage(const Path& area, const Grid& g)
{
    std::vector<Edge> edges;
    for (const Subpath& sub : area.subpaths) {
        Point from = sub.start;
        for (const Segment& s : sub.segments) {
            edges.push_back({from.x, from.y, s.to.x, s.to.y});
            from = s.to;
        }
        if (from.x != sub.start.x || from.y != sub.start.y)
            edges.push_back({from.x, from.y, sub.start.x, sub.start.y});
    }
    std::vector<double> cover(static_cast<std::size_t>(g.width) * g.height, 0.0);
    const double sub = g.pixel / kSubsamples;
    const double weight = 1.0 / (kSubsamples * kSubsamples);
    const int columns = g.width * kSubsamples;
    std::vector<double> crossings;
    for (int row = 0; row < g.height * kSubsamples; ++row) {
        const double y = g.y0 + (row + 0.5) * sub;
        crossings.clear();
        for (const Edge& e : edges)
            if ((e.y1 <= y && y < e.y2) || (e.y2 <= y && y < e.y1))
                crossings.push_back(e.x1 + (y - e.y1) * (e.x2 - e.x1) / (e.y2 - e.y1));
        std::sort(crossings.begin(), crossings.end());
        double* line = cover.data() + static_cast<std::size_t>(row / kSubsamples) * g.width;
        for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
            // Samples at x0 + (s + 0.5) sub within [a, b).
            const double a = (crossings[k] - g.x0) / sub - 0.5;
            const double b = (crossings[k + 1] - g.x0) / sub - 0.5;
            const int first = std::max(0, static_cast<int>(std::ceil(a)));
            const int last = std::min(columns - 1, static_cast<int>(std::ceil(b)) - 1);
            for (int s = first; s <= last; ++s)
                line[s / kSubsamples] += weight;
        }
    }
    return cover;
}

// A Gaussian of `deviation` samples, normalised; one tap when it is narrower
// than a sample can show.
std::vector<double> Kernel(double deviation)
{
    if (!(deviation > 0.05))
        return {1.0};
    const int radius = static_cast<int>(std::ceil(3 * deviation));
    std::vector<double> k(2 * static_cast<std::size_t>(radius) + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += k[static_cast<std::size_t>(i + radius)] =
            std::exp(-0.5 * (i * i) / (deviation * deviation));
    for (double& w : k)
        w /= sum;
    return k;
}

// Blurs along rows (`along` 0) or columns; nothing lies beyond the grid.
void Convolve(Grid& g, const std::vector<double>& kernel, int along)
{
    const int radius = static_cast<int>(kernel.size() / 2);
    if (radius == 0)
        return;
    const int n = along == 0 ? g.width : g.height;
    const int lines = along == 0 ? g.height : g.width;
    std::vector<double> in(static_cast<std::size_t>(n));
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < n; ++i)
            in[static_cast<std::size_t>(i)] = along == 0 ? g.At(i, line) : g.At(line, i);
        for (int i = 0; i < n; ++i) {
            double sum = 0;
            const int from = std::max(0, i - radius), to = std::min(n - 1, i + radius);
            for (int j = from; j <= to; ++j)
                sum += in[static_cast<std::size_t>(j)] *
                       kernel[static_cast<std::size_t>(j - i + radius)];
            (along == 0 ? g.At(i, line) : g.At(line, i)) = sum;
        }
    }
}

double DistanceToLine(Point p, Point a, Point b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    if (!(length > 0))
        return std::hypot(p.x - a.x, p.y - a.y);
    return std::fabs((p.x - a.x) * dy - (p.y - a.y) * dx) / length;
}

// The points of a closed loop that keep every dropped one within `tolerance`
// of the lines between them (Douglas and Peucker).
std::vector<Point> Thinned(const std::vector<Point>& loop, double tolerance)
{
    const std::size_t n = loop.size();
    if (n < 4)
        return loop;
    std::size_t far = 0;
    double farthest = -1;
    for (std::size_t i = 1; i < n; ++i) {
        const double d = std::hypot(loop[i].x - loop[0].x, loop[i].y - loop[0].y);
        if (d > farthest)
            farthest = d, far = i;
    }
    std::vector<char> keep(n + 1, 0);
    keep[0] = keep[far] = keep[n] = 1;
    auto at = [&](std::size_t i) { return loop[i % n]; };
    std::vector<std::pair<std::size_t, std::size_t>> spans{{0, far}, {far, n}};
    while (!spans.empty()) {
        const auto [a, b] = spans.back();
        spans.pop_back();
        double worst = tolerance;
        std::size_t pick = 0;
        for (std::size_t i = a + 1; i < b; ++i) {
            const double d = DistanceToLine(at(i), at(a), at(b));
            if (d > worst)
                worst = d, pick = i;
        }
        if (pick != 0) {
            keep[pick] = 1;
            spans.push_back({a, pick});
            spans.push_back({pick, b});
        }
    }
    std::vector<Point> out;
    for (std::size_t i = 0; i < n; ++i)
        if (keep[i])
            out.push_back(loop[i]);
    return out;
}

// The links between the crossings of one level, kept for the next: only
// the slots a level touched are cleared after it.
struct Links {
    std::vector<std::int64_t> next;  // two a crossing, -1 for none
    std::vector<char> seen;
    std::vector<std::int64_t> touched;
};

// The loops where `field` (with a clear border) crosses `threshold`, by
// marching squares; saddles are settled by the mean of their corners.
Path LevelSet(const Grid& field, double threshold, double tolerance, Links& work)
{
    const int w = field.width, h = field.height;
    auto value = [&](int i, int j) { return field.At(i, j); };
    // Edge ids: 2 (j w + i) runs from sample (i, j) to (i + 1, j), one more
    // from (i, j) to (i, j + 1).
    auto horizontal = [&](int i, int j) { return 2 * (static_cast<std::int64_t>(j) * w + i); };
    auto vertical = [&](int i, int j) { return 2 * (static_cast<std::int64_t>(j) * w + i) + 1; };
    std::vector<std::int64_t>& links = work.next;
    std::vector<std::int64_t>& touched = work.touched;
    std::vector<char>& seen = work.seen;
    if (links.empty()) {
        links.assign(2 * static_cast<std::size_t>(w) * h * 2, -1);
        seen.assign(links.size() / 2, 0);
    }
    auto link = [&](std::int64_t a, std::int64_t b) {
        for (const auto& [from, to] : {std::pair{a, b}, std::pair{b, a}}) {
            std::int64_t* slot = &links[static_cast<std::size_t>(from) * 2];
            if (slot[0] < 0) {
                slot[0] = to;
                touched.push_back(from);
            } else {
                slot[1] = to;
            }
        }
    };
    for (int j = 0; j + 1 < h; ++j)
        for (int i = 0; i + 1 < w; ++i) {
            const bool c0 = value(i, j) >= threshold, c1 = value(i + 1, j) >= threshold;
            const bool c2 = value(i + 1, j + 1) >= threshold, c3 = value(i, j + 1) >= threshold;
            if (c0 == c1 && c1 == c2 && c2 == c3)
                continue;
            const std::int64_t e0 = horizontal(i, j), e1 = vertical(i + 1, j);
            const std::int64_t e2 = horizontal(i, j + 1), e3 = vertical(i, j);
            std::vector<std::int64_t> crossed;
            if (c0 != c1)
                crossed.push_back(e0);
            if (c1 != c2)
                crossed.push_back(e1);
            if (c2 != c3)
                crossed.push_back(e2);
            if (c3 != c0)
                crossed.push_back(e3);
            if (crossed.size() == 2) {
                link(crossed[0], crossed[1]);
                continue;
            }
            const double mean =
                (value(i, j) + value(i + 1, j) + value(i + 1, j + 1) + value(i, j + 1)) / 4;
            // Cut off the corners that are apart from the centre.
            if ((mean >= threshold) == c0) {
                link(e0, e1);
                link(e2, e3);
            } else {
                link(e3, e0);
                link(e1, e2);
            }
        }
    auto point = [&](std::int64_t id) {
        const std::int64_t cell = id / 2;
        const int i = static_cast<int>(cell % w), j = static_cast<int>(cell / w);
        const int i2 = id % 2 == 0 ? i + 1 : i, j2 = id % 2 == 0 ? j : j + 1;
        const double a = value(i, j), b = value(i2, j2);
        const double t = std::clamp((threshold - a) / (b - a), 0.0, 1.0);
        const double gx = i + t * (i2 - i), gy = j + t * (j2 - j);
        return Point{field.x0 + (gx + 0.5) * field.pixel, field.y0 + (gy + 0.5) * field.pixel};
    };
    Path out;
    for (const std::int64_t start : touched) {
        if (seen[static_cast<std::size_t>(start)])
            continue;
        std::vector<Point> loop;
        std::int64_t previous = -1, current = start;
        while (current >= 0 && !seen[static_cast<std::size_t>(current)]) {
            seen[static_cast<std::size_t>(current)] = 1;
            loop.push_back(point(current));
            const std::int64_t* slot = &links[static_cast<std::size_t>(current) * 2];
            const std::int64_t next = slot[0] != previous ? slot[0] : slot[1];
            previous = current;
            current = next;
        }
        const std::vector<Point> kept = Thinned(loop, tolerance);
        if (kept.size() < 3)
            continue;
        out.MoveTo(kept[0].x, kept[0].y);
        for (std::size_t k = 1; k < kept.size(); ++k)
            out.LineTo(kept[k].x, kept[k].y);
        out.Close();
    }
    for (const std::int64_t id : touched) {
        links[static_cast<std::size_t>(id) * 2] = links[static_cast<std::size_t>(id) * 2 + 1] = -1;
        seen[static_cast<std::size_t>(id)] = 0;
    }
    touched.clear();
    return out;
}

}  // namespace

bool BlurLevels(const std::vector<BlurSource>& sources, const BlurSettings& settings,
                std::vector<BlurLevel>& levels)
{
    levels.clear();
    const double sx = settings.deviationX, sy = settings.deviationY;
    if (!std::isfinite(sx) || !std::isfinite(sy) || sx < 0 || sy < 0 || !(sx + sy > 0) ||
        !settings.region.valid || !(settings.tolerance > 0) || !(settings.maxPixel > 0) ||
        !(settings.step > 0) || settings.step > 1)
        return false;
    // The sources flattened; the grid spans them and the blur's reach,
    // within the region.
    std::vector<Path> areas;
    Box extent;
    for (const BlurSource& s : sources) {
        Path flat;
        if (!CommonArea({{&s.path, s.evenOdd}}, flat, settings.tolerance / 4))
            return false;
        const Box b = BoundsOf(flat);
        if (b.valid)
            extent.Add(b.minX, b.minY), extent.Add(b.maxX, b.maxY);
        areas.push_back(std::move(flat));
    }
    if (!extent.valid)
        return true;
    const Box& r = settings.region;
    const double minX = std::max(r.minX, extent.minX - 3 * sx);
    const double maxX = std::min(r.maxX, extent.maxX + 3 * sx);
    const double minY = std::max(r.minY, extent.minY - 3 * sy);
    const double maxY = std::min(r.maxY, extent.maxY + 3 * sy);
    if (!(maxX > minX) || !(maxY > minY))
        return true;
    const double finest = std::min(sx > 0 ? sx : sy, sy > 0 ? sy : sx) / 2;
    double pixel = std::min(finest, settings.maxPixel);
    if ((maxX - minX) * (maxY - minY) / (pixel * pixel) > kMaxCells)
        pixel = std::sqrt((maxX - minX) * (maxY - minY) / kMaxCells);
    if (!(pixel <= settings.maxPixel))
        return false;

    // A blur far wider along one axis than the other is sampled by the
    // narrower: its kernel along the wider may be too long to run.
    if (!(3 * std::max(sx, sy) / pixel < kMaxKernelTaps))
        return false;
    const std::vector<double> kernelX = Kernel(sx / pixel), kernelY = Kernel(sy / pixel);
    if ((kernelX.size() + kernelY.size()) * ((maxX - minX) / pixel + 2) *
            ((maxY - minY) / pixel + 2) >
        kMaxBlurWork)
        return false;

    // One sample of clear border all round: the level sets close.
    Grid g;
    g.pixel = pixel;
    g.x0 = minX - pixel;
    g.y0 = minY - pixel;
    g.width = static_cast<int>(std::ceil((maxX - minX) / pixel)) + 2;
    g.height = static_cast<int>(std::ceil((maxY - minY) / pixel)) + 2;
    // Alpha over alpha: what lets through is the product of what each lets through.
    g.values.assign(static_cast<std::size_t>(g.width) * g.height, 1.0);
    for (std::size_t k = 0; k < sources.size(); ++k) {
        const std::vector<double> cover = Coverage(areas[k], g);
        const double alpha = std::clamp(sources[k].alpha, 0.0, 1.0);
        for (std::size_t i = 0; i < cover.size(); ++i)
            g.values[i] *= 1 - alpha * std::min(cover[i], 1.0);
    }
    for (int j = 0; j < g.height; ++j)
        for (int i = 0; i < g.width; ++i) {
            double& v = g.At(i, j);
            // Beyond the region and on the border: clear.
            const double x = g.x0 + (i + 0.5) * pixel, y = g.y0 + (j + 0.5) * pixel;
            const bool inside =
                i > 0 && j > 0 && i + 1 < g.width && j + 1 < g.height && x <= maxX && y <= maxY;
            v = inside ? 1 - v : 0;
        }
    Convolve(g, kernelX, 0);
    Convolve(g, kernelY, 1);
    double peak = 0;
    for (int j = 0; j < g.height; ++j)
        for (int i = 0; i < g.width; ++i) {
            double& v = g.At(i, j);
            const double x = g.x0 + (i + 0.5) * pixel, y = g.y0 + (j + 0.5) * pixel;
            // The blur reaches no further than the region either.
            if (i == 0 || j == 0 || i + 1 == g.width || j + 1 == g.height || x > maxX || y > maxY)
                v = 0;
            peak = std::max(peak, v);
        }
    if (!(peak >= settings.step / 2))
        return true;
    const int count = std::clamp(static_cast<int>(std::ceil(peak / settings.step - 1e-9)), 1,
                                 std::clamp(settings.maxLevels, 1, kMaxLevels));
    const double delta = peak / count;
    Links work;
    for (int k = 1; k <= count; ++k) {
        BlurLevel level;
        level.area = LevelSet(g, (k - 0.5) * delta, settings.tolerance, work);
        level.alpha = k * delta;
        if (!level.area.subpaths.empty())
            levels.push_back(std::move(level));
    }
    return true;
}

}  // namespace svgreader
