// Affine matrices, paths of lines and cubics, and their exact bounding boxes.
#pragma once

#include <cstdint>
#include <vector>

namespace svgreader {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

struct Point {
    double x = 0, y = 0;
};

// x' = a x + c y + e, y' = b x + d y + f (the SVG and PostScript order).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    Point Apply(Point p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    Point ApplyLinear(Point p) const { return {a * p.x + c * p.y, b * p.x + d * p.y}; }
    double Determinant() const { return a * d - b * c; }
    // The inverse, for a determinant that is not zero.
    Matrix Inverted() const
    {
        const double det = Determinant();
        return {d / det, -b / det, -c / det, a / det, (c * f - d * e) / det, (b * e - a * f) / det};
    }
    // The mean scale, for widths and sizes under a transform.
    double Scale() const;
    bool IsFinite() const;
    // this x other: `other` is applied first.
    Matrix operator*(const Matrix& other) const;
    static Matrix Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static Matrix ScaleBy(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
};

// A segment ends at `to`; a cubic has two control points, a line none.
struct Segment {
    bool cubic = false;
    Point c1, c2, to;
};

struct Subpath {
    Point start;
    std::vector<Segment> segments;
    bool closed = false;
};

struct Path {
    std::vector<Subpath> subpaths;

    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void CurveTo(double x1, double y1, double x2, double y2, double x, double y);
    void Close();
    // Where the next segment starts.
    Point Current() const;
    bool Empty() const;
    void Transform(const Matrix& m);
    bool IsFinite() const;
};

struct Box {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool valid = false;

    void Add(double x, double y);
    double Width() const { return maxX - minX; }
    double Height() const { return maxY - minY; }
};

// One coordinate of a cubic at parameter t.
double CubicAt(double p0, double p1, double p2, double p3, double t);

// The exact box: curves by their extreme points, not their control points.
Box BoundsOf(const Path& path);

// The basic shapes as paths, closed where SVG closes them.
Path RectPath(double x, double y, double w, double h, double rx, double ry);
Path EllipsePath(double cx, double cy, double rx, double ry);

}  // namespace svgreader
