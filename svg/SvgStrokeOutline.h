// Strokes as the areas they cover, and the outer outline of drawn areas:
// polygon offsetting and union with Clipper, on paths flattened to a
// stated tolerance.
#pragma once

#include <vector>

#include "SvgGeometry.h"
#include "SvgStyle.h"

namespace svgreader {

// Curves become lines no farther than this from them: 0.05 pt, in inches.
constexpr double kOutlineTolerance = 0.05 / 72;

// A stroke as SVG gives it, lengths in the path's units. Cap and join
// codes are the records': cap 0 projecting square, 1 round, 2 butt; join
// 0 bevel, 1 miter, 2 round.
struct StrokeShape {
    double width = 1;
    int cap = 2;
    int join = 1;
    double miterLimit = 4;
    std::vector<double> dashes;  // empty: solid
    double dashOffset = 0;
};

// The stroke `style` gives, `scale` page units to its user unit; its dashes
// only when asked for.
StrokeShape StrokeShapeOf(const Style& style, double scale, bool dashed);

// The area the stroke of `path` paints, as closed subpaths filled by the
// non-zero rule (holes turn the other way). Empty when the stroke paints
// nothing or its coordinates are beyond what can be offset.
Path StrokeOutline(const Path& path, const StrokeShape& stroke,
                   double tolerance = kOutlineTolerance);

// The union of `areas`, each filled by the non-zero rule with its open
// subpaths taken as closed: the outer contours only, holes and what lies in
// them dropped. Lines only.
Path OuterOutline(const std::vector<Path>& areas, double tolerance = kOutlineTolerance);

// An area filled by a rule, its open subpaths taken as closed.
struct FilledArea {
    const Path* path = nullptr;
    bool evenOdd = false;
};

// The area all of `areas` share, as polygons whose edges lie within
// `tolerance` of it: empty when they share none. False when it cannot be
// worked out (coordinates beyond range): then `common` is unchanged.
bool CommonArea(const std::vector<FilledArea>& areas, Path& common,
                double tolerance = kOutlineTolerance);

// Whether `outer` holds all of `inner` grown by `margin`: a yes is sure to
// within `tolerance` of the flattened curves (take a margin above it).
bool Holds(const FilledArea& outer, const FilledArea& inner, double margin,
           double tolerance = kOutlineTolerance);

}  // namespace svgreader
