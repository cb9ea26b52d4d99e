// Axis-aligned box of written geometry, in points, with exact cubic extents.
#pragma once

class PathBounds {
public:
    void Start(double x, double y);
    void ExtendLine(double x, double y);
    void ExtendCurve(double x0, double y0, double x1, double y1, double x2, double y2, double x3,
                     double y3);
    // The exact box of one cubic segment, and the union with such a box
    // (ExtendCurve is the two together).
    static PathBounds OfCurve(double x0, double y0, double x1, double y1, double x2, double y2,
                              double x3, double y3);
    void ExtendBox(const PathBounds& box);
    void Invalidate() { valid = false; }
    int PointAt(double& px, double& py) const;

    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    bool valid = false;
};
