// Attribute values of SVG: path data and paints parsed with SVG++, transform lists.
#pragma once

#include <string>
#include <string_view>

#include "SvgGeometry.h"

namespace svgreader {

struct Paint {
    enum Kind { kUnset, kNone, kColor, kCurrentColor, kUrl } kind = kUnset;
    Rgb color;               // kColor, or the fallback of kUrl
    std::string url;         // kUrl: the fragment identifier without '#'
    Kind fallback = kUnset;  // kUrl: kNone, kColor, kCurrentColor or kUnset
};

// Appends the path's subpaths in absolute coordinates, with arcs and
// quadratic curves turned into cubics. Returns false for malformed data; the
// subpaths before the error are kept, as SVG renderers draw up to it.
bool ParsePathData(std::string_view text, Path& path);
// The same read by SVG++ alone, which ParsePathData leaves its rarer forms to.
bool ParsePathDataWithSvgpp(std::string_view text, Path& path);

// Multiplies `m` by the transform list (m = m x list). False when malformed.
bool ParseTransformList(std::string_view text, Matrix& m);

// A paint (fill, stroke) or a colour (stop-color, color) in any CSS syntax
// SVG++ knows; `css` selects the case-insensitive keywords of style sheets.
bool ParsePaint(std::string_view text, bool css, Paint& paint);

}  // namespace svgreader
