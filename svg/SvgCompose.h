// Colour arithmetic of SVG compositing: a colour with an alpha painted over
// an opaque backdrop, source-over, through the separable blend modes. The
// module writes 8-bit RGB, so that is the space the arithmetic works in.
#pragma once

#include <string_view>

#include "SvgGeometry.h"

namespace svgreader {

// The separable blend modes of mix-blend-mode; the others (hue, saturation,
// color, luminosity) mix the channels and are not here.
enum class BlendMode {
    kNormal,
    kMultiply,
    kScreen,
    kOverlay,
    kDarken,
    kLighten,
    kColorDodge,
    kColorBurn,
    kHardLight,
    kSoftLight,
    kDifference,
    kExclusion,
};

// "normal", "multiply", ... as CSS spells them (case-insensitive, blanks
// around ignored); false for a mode that is not separable or not a mode.
bool ParseBlendMode(std::string_view text, BlendMode& mode);

// B(cb, cs) of the mode, components in 0..1.
double BlendChannel(BlendMode mode, double backdrop, double source);

// What is seen where `source` at `alpha` (0..1) is painted over the opaque
// `backdrop`: (1 - alpha) cb + alpha B(cb, cs) per channel, rounded to the
// nearest 8-bit step (halves up).
Rgb Compose(Rgb backdrop, Rgb source, double alpha, BlendMode mode);

// Over the paper, where nothing is drawn: a blend mode mixes with what is
// drawn, never with the paper, so this is normal compositing over white.
Rgb OverPaper(Rgb source, double alpha);

// Whether the mode's result is affine in the backdrop for a fixed source,
// so that blending a gradient stop by stop is exact between its stops too.
bool AffineInBackdrop(BlendMode mode);

}  // namespace svgreader
