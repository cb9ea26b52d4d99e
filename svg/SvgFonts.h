// Fonts for laying out text: the installed font fontconfig picks for a style,
// its glyphs shaped by HarfBuzz and its outlines from FreeType.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "SvgGeometry.h"
#include "SvgStyle.h"

namespace svgreader {

// Whether this build lays text out with installed fonts (it was built with
// fontconfig, FreeType and HarfBuzz). Without them text is measured at half
// an em a character and cannot be written as outlines.
bool HaveFonts();

// One glyph of shaped text: where its origin lies from the start of the
// text (user units, x to the right, y downwards as SVG's), how far it
// advances the pen, and the bytes of the UTF-8 text it stands for (a
// cluster: several characters for a ligature; empty for the further glyphs
// of a cluster).
struct Glyph {
    unsigned id = 0;
    const void* face = nullptr;  // the font it comes from
    double x = 0, y = 0;
    double advance = 0;
    double kern = 0;  // of the advance, what the font adds to the glyph's own (kerning)
    std::size_t begin = 0, end = 0;  // of its cluster in the text
    bool first = true;               // the first glyph of its cluster
};

struct ShapedText {
    std::vector<Glyph> glyphs;  // left to right as drawn
    double width = 0;           // letter and word spacing included
    // Of the font, user units, both positive and together the font size, as
    // editors share the em between them.
    double ascent = 0, descent = 0;
    std::string family;  // of the font used
};

// The text shaped in the font the style resolves to: kerning, ligatures and
// right-to-left scripts as the font has them, letter spacing after each
// character and word spacing after each blank.
ShapedText ShapeText(const Style& style, const std::string& utf8);

// The kerning after each character of the text (user units), for text
// whose reader sets each character with its own advance.
std::vector<double> KerningOf(const Style& style, const std::string& utf8);

// The width of the text in user units, as ShapeText gives it.
double TextWidth(const Style& style, const std::string& utf8);

// The outline of one glyph at the style's size, placed by `m` from its
// origin (user units, y downwards). False when it has none.
bool GlyphOutline(const Glyph& glyph, double size, const Matrix& m, Path& out);

// Whether any installed font answers for the style (its glyphs can be outlined).
bool HasFont(const Style& style);

// When the style's family is not installed: the family drawn instead
// ("" when it is installed, or is a generic family).
std::string SubstituteFor(const Style& style);

// Whether the UTF-8 text holds a character beyond Latin-1, which the
// module's 8-bit text cannot carry.
bool BeyondLatin1(const std::string& utf8);

}  // namespace svgreader
