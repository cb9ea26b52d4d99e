// Even-odd inside test of a converter path, its curves followed closely:
// what a point of a drawn area is painted with, worked out apart.
#pragma once

#include <vector>

#include "SvgGeometry.h"

inline bool InsidePath(const svgreader::Path& path, svgreader::Point p)
{
    using svgreader::Point;
    bool in = false;
    for (const auto& s : path.subpaths) {
        std::vector<Point> poly{s.start};
        Point from = s.start;
        for (const auto& g : s.segments) {
            const int n = g.cubic ? 16 : 1;
            for (int k = 1; k <= n; ++k) {
                const double t = static_cast<double>(k) / n;
                poly.push_back(g.cubic
                                   ? Point{svgreader::CubicAt(from.x, g.c1.x, g.c2.x, g.to.x, t),
                                           svgreader::CubicAt(from.y, g.c1.y, g.c2.y, g.to.y, t)}
                                   : g.to);
            }
            from = g.to;
        }
        for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++)
            if ((poly[i].y > p.y) != (poly[j].y > p.y) &&
                p.x < poly[j].x +
                          (poly[i].x - poly[j].x) * (p.y - poly[j].y) / (poly[i].y - poly[j].y))
                in = !in;
    }
    return in;
}
