// Lengths, style properties and their cascade: attributes, style sheets, style attributes.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SvgValues.h"

namespace svgreader {

// The inherited and per-element properties the reader maps; everything else
// it only checks for, to warn.
struct Style {
    // Inherited.
    Paint fill;    // black unless set
    Paint stroke;  // none unless set
    Rgb color;
    double strokeWidth = 1;
    int cap = 2;   // record codes: 0 projecting square, 1 round, 2 butt
    int join = 1;  // 0 bevel, 1 miter, 2 round
    double miterLimit = 4;
    std::vector<double> dashes;
    double fillOpacity = 1, strokeOpacity = 1;
    std::string fontFamily = "serif";
    double fontSize = 16;  // user units
    bool bold = false, italic = false;
    int fontWeight = 400;      // 1 to 1000, for finding the font
    double fontStretch = 100;  // percent of the normal width
    int anchor = 0;            // 0 start, 1 middle, 2 end
    bool visible = true;
    bool preserveSpace = false;
    bool evenOdd = false;                           // fill-rule
    std::string markerStart, markerMid, markerEnd;  // fragment ids
    double letterSpacing = 0, wordSpacing = 0;      // user units
    double dashOffset = 0;
    double lineHeight = 0;  // in font sizes; 0 for normal
    // Not inherited.
    double opacity = 1;
    bool displayNone = false;
    bool overflowVisible = false;
    std::string clipPath;  // fragment id
    std::string filter;    // fragment id of the filter named, if one is
    std::string mask;      // fragment id of the mask named, if one is
    Paint stopColor;
    double stopOpacity = 1;
    std::string blendMode;                 // mix-blend-mode as written; empty for normal
    std::vector<std::string> unsupported;  // kinds of property present but not mapped

    Style()
    {
        fill.kind = Paint::kColor;
        stroke.kind = Paint::kNone;
        stopColor.kind = Paint::kColor;
    }
    // The values a child starts from: inherited ones kept, the rest reset.
    Style Inherited() const;
};

// Lexical pieces of CSS and SVG values.
std::string Lower(std::string_view s);
bool IsSpace(char c);
// A number at the start of `text` as SVG writes it (no "inf", "nan" or
// hexadecimal); `used` is its length.
bool ParseNumberPrefix(std::string_view text, double& value, std::size_t& used);

// "1.5in", "3mm", "12", "50%": user units (1/96 inch). `percentOf` is the
// reference length for percentages; `fontSize` for em and ex.
bool ParseLength(std::string_view text, double percentOf, double fontSize, double& out);
// A list of numbers separated by blanks and/or commas.
std::vector<double> ParseNumberList(std::string_view text);
std::string_view Trim(std::string_view s);

// The rules of <style> elements, for the selectors the reader supports:
// type, .class, #id, type.class, and lists of them separated by commas.
class StyleSheet {
public:
    // Adds a sheet's rules; returns the number of rules whose selectors were
    // not understood (left out).
    int Add(std::string_view css);
    // The declarations that apply, in cascade order (lowest first).
    std::vector<std::pair<std::string, std::string>>
    Matching(std::string_view element, std::string_view id, std::string_view classes) const;
    bool Empty() const { return rules.empty(); }
    std::size_t Size() const { return rules.size(); }

private:
    struct Rule {
        std::string element, id, className;
        int specificity = 0;
        std::size_t order = 0;
        std::vector<std::pair<std::string, std::string>> declarations;
    };
    std::vector<Rule> rules;
};

// "a: b; c: d" into pairs, names lower-cased, !important dropped.
std::vector<std::pair<std::string, std::string>> ParseDeclarations(std::string_view text);

// Applies one property to `style`; `parent` is what "inherit" refers to.
// Returns false for a property the reader does not know at all.
bool ApplyProperty(Style& style, const Style& parent, const std::string& name,
                   std::string_view value, bool css);

}  // namespace svgreader
