// Gradients the records cannot draw as SVG draws them (focal and elliptical
// radial gradients, reflect and repeat, any skew) drawn as bands of flat
// colour, each a path on the page, painted in order over the ones before.
#pragma once

#include <cstddef>
#include <vector>

#include "SvgGeometry.h"

namespace svgreader {

struct Stop {
    double offset = 0;
    Rgb color;
    double opacity = 1;
};

enum class Spread { kPad, kReflect, kRepeat };

// A gradient in its own space, with the map from there onto the page.
struct GradientShape {
    bool radial = false;
    Matrix toPage;
    Point p1, p2;         // linear: the vector, offset 0 to 1
    Point centre, focal;  // radial: offset 1 on the circle of `radius`
    double radius = 0;    // around `centre`, 0 at `focal`
    Spread spread = Spread::kPad;
    std::vector<Stop> stops;  // offsets non-decreasing in 0..1
};

struct Band {
    Path path;  // page
    Rgb color;
    double opacity = 1;
};

// The colour and opacity at offset `t` of the unrolled gradient (spread applied).
Stop GradientAt(const GradientShape& g, double t);

// Bands that paint `box` (page) as the gradient does, each over the ones
// before: neighbours differ by about two 8-bit steps of what is seen (colour
// times opacity, and opacity), none is narrower than `pixel` (page units)
// unless a stop makes it so, and there are at most `cap`. The first
// band covers the whole box. Empty when the gradient has no stops or the box
// no area.
std::vector<Band> GradientBands(const GradientShape& g, const Box& box, double pixel,
                                std::size_t cap);

}  // namespace svgreader
