// A Gaussian blur of flat shapes as nested areas of one colour: the level
// sets of the blurred alpha, each a step more opaque than the one around it.
#pragma once

#include <vector>

#include "SvgGeometry.h"

namespace svgreader {

// An area of the source, in the space the blur is given in.
struct BlurSource {
    Path path;
    bool evenOdd = false;
    double alpha = 1;  // sources over each other composite as one colour does
};

// Where the blurred alpha is at least half a step short of `alpha`, up to
// the next level: the areas nest, outermost first, each filled even-odd.
struct BlurLevel {
    Path area;
    double alpha = 0;
};

struct BlurSettings {
    double deviationX = 0, deviationY = 0;  // of the Gaussian, along the axes
    Box region;                             // nothing is blurred in or out beyond it
    double step = 2.0 / 255;                // the alpha between levels
    double tolerance = 0;                   // edges lie this near the level sets
    double maxPixel = 0;                    // the coarsest sampling that keeps them so
    int maxLevels = 255;                    // steps widen to stay within
};

// The levels of `sources` blurred. False when the blur cannot be sampled
// finely enough within a bounded grid, or the values are unusable; an
// empty result is a blur that shows nothing.
bool BlurLevels(const std::vector<BlurSource>& sources, const BlurSettings& settings,
                std::vector<BlurLevel>& levels);

}  // namespace svgreader
