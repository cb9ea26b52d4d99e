// Affine matrices, paths of lines and cubics, and their exact bounding boxes.
#include "SvgGeometry.h"

#include <algorithm>
#include <cmath>

namespace svgreader {

double Matrix::Scale() const { return std::sqrt(std::fabs(Determinant())); }

bool Matrix::IsFinite() const
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) &&
           std::isfinite(e) && std::isfinite(f);
}

Matrix Matrix::operator*(const Matrix& o) const
{
    return {a * o.a + c * o.b, b * o.a + d * o.b,     a * o.c + c * o.d,
            b * o.c + d * o.d, a * o.e + c * o.f + e, b * o.e + d * o.f + f};
}

void Path::MoveTo(double x, double y)
{
    // A moveto right after another replaces it: a lone point draws nothing.
    if (!subpaths.empty() && subpaths.back().segments.empty())
        subpaths.pop_back();
    Subpath s;
    s.start = {x, y};
    subpaths.push_back(s);
}

void Path::LineTo(double x, double y)
{
    if (subpaths.empty() || subpaths.back().closed)  // drawing on after a close starts anew there
        MoveTo(subpaths.empty() ? 0 : subpaths.back().start.x,
               subpaths.empty() ? 0 : subpaths.back().start.y);
    Segment s;
    s.to = {x, y};
    subpaths.back().segments.push_back(s);
}

void Path::CurveTo(double x1, double y1, double x2, double y2, double x, double y)
{
    if (subpaths.empty() || subpaths.back().closed)
        MoveTo(subpaths.empty() ? 0 : subpaths.back().start.x,
               subpaths.empty() ? 0 : subpaths.back().start.y);
    Segment s;
    s.cubic = true;
    s.c1 = {x1, y1};
    s.c2 = {x2, y2};
    s.to = {x, y};
    subpaths.back().segments.push_back(s);
}

void Path::Close()
{
    if (!subpaths.empty())
        subpaths.back().closed = true;
}

Point Path::Current() const
{
    if (subpaths.empty())
        return {};
    const Subpath& s = subpaths.back();
    return s.closed || s.segments.empty() ? s.start : s.segments.back().to;
}

bool Path::Empty() const
{
    for (const Subpath& s : subpaths)
        if (!s.segments.empty())
            return false;
    return true;
}

void Path::Transform(const Matrix& m)
{
    for (Subpath& s : subpaths) {
        s.start = m.Apply(s.start);
        for (Segment& g : s.segments) {
            g.c1 = m.Apply(g.c1);
            g.c2 = m.Apply(g.c2);
            g.to = m.Apply(g.to);
        }
    }
}

bool Path::IsFinite() const
{
    auto ok = [](Point p) { return std::isfinite(p.x) && std::isfinite(p.y); };
    for (const Subpath& s : subpaths) {
        if (!ok(s.start))
            return false;
        for (const Segment& g : s.segments)
            if (!ok(g.to) || (g.cubic && (!ok(g.c1) || !ok(g.c2))))
                return false;
    }
    return true;
}

void Box::Add(double x, double y)
{
    if (!valid) {
        minX = maxX = x;
        minY = maxY = y;
        valid = true;
        return;
    }
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
}

double CubicAt(double p0, double p1, double p2, double p3, double t)
{
    const double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

namespace {

// The parameters in (0, 1) where one coordinate of a cubic turns: the roots
// of its derivative, a quadratic a t^2 + b t + c.
int Extrema(double p0, double p1, double p2, double p3, double t[2])
{
    const double a = -p0 + 3 * p1 - 3 * p2 + p3;
    const double b = 2 * (p0 - 2 * p1 + p2);
    const double c = p1 - p0;
    int n = 0;
    auto keep = [&](double v) {
        if (v > 0 && v < 1)
            t[n++] = v;
    };
    if (std::fabs(a) < 1e-12) {
        if (std::fabs(b) > 1e-12)
            keep(-c / b);
        return n;
    }
    const double disc = b * b - 4 * a * c;
    if (disc < 0)
        return 0;
    const double root = std::sqrt(disc);
    keep((-b + root) / (2 * a));
    keep((-b - root) / (2 * a));
    return n;
}

}  // namespace

Box BoundsOf(const Path& path)
{
    Box box;
    for (const Subpath& s : path.subpaths) {
        if (s.segments.empty())
            continue;
        Point at = s.start;
        box.Add(at.x, at.y);
        for (const Segment& g : s.segments) {
            box.Add(g.to.x, g.to.y);
            if (g.cubic) {
                double t[2];
                for (int i = 0, n = Extrema(at.x, g.c1.x, g.c2.x, g.to.x, t); i < n; ++i)
                    box.Add(CubicAt(at.x, g.c1.x, g.c2.x, g.to.x, t[i]), at.y);
                for (int i = 0, n = Extrema(at.y, g.c1.y, g.c2.y, g.to.y, t); i < n; ++i)
                    box.Add(at.x, CubicAt(at.y, g.c1.y, g.c2.y, g.to.y, t[i]));
            }
            at = g.to;
        }
    }
    return box;
}

namespace {

// Control distance of a quarter ellipse drawn as one cubic, per unit radius.
constexpr double kKappa = 0.5522847498307936;

}  // namespace

Path RectPath(double x, double y, double w, double h, double rx, double ry)
{
    Path p;
    rx = std::min(rx, w / 2);
    ry = std::min(ry, h / 2);
    if (rx <= 0 || ry <= 0) {
        p.MoveTo(x, y);
        p.LineTo(x + w, y);
        p.LineTo(x + w, y + h);
        p.LineTo(x, y + h);
        p.Close();
        return p;
    }
    const double kx = rx * kKappa, ky = ry * kKappa;
    p.MoveTo(x + rx, y);
    p.LineTo(x + w - rx, y);
    p.CurveTo(x + w - rx + kx, y, x + w, y + ry - ky, x + w, y + ry);
    p.LineTo(x + w, y + h - ry);
    p.CurveTo(x + w, y + h - ry + ky, x + w - rx + kx, y + h, x + w - rx, y + h);
    p.LineTo(x + rx, y + h);
    p.CurveTo(x + rx - kx, y + h, x, y + h - ry + ky, x, y + h - ry);
    p.LineTo(x, y + ry);
    p.CurveTo(x, y + ry - ky, x + rx - kx, y, x + rx, y);
    p.Close();
    return p;
}

Path EllipsePath(double cx, double cy, double rx, double ry)
{
    // Starts at the rightmost point and runs clockwise on screen, as SVG's
    // own path equivalent of the shape does.
    Path p;
    const double kx = rx * kKappa, ky = ry * kKappa;
    p.MoveTo(cx + rx, cy);
    p.CurveTo(cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
    p.CurveTo(cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
    p.CurveTo(cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
    p.CurveTo(cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
    p.Close();
    return p;
}

}  // namespace svgreader
