// The properties the reader maps, one handler each, and those it only
// checks for, to warn.
#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <map>
#include <utility>

#include "SvgStyle.h"

namespace svgreader {

namespace {

bool ParseOpacity(std::string_view value, double& out)
{
    value = Trim(value);
    double v = 0;
    std::size_t used = 0;
    if (!ParseNumberPrefix(value, v, used))
        return false;
    if (Trim(value.substr(used)) == "%")
        v /= 100;
    out = std::clamp(v, 0.0, 1.0);
    return true;
}

// The fragment of "url(#id)", or empty for "none" and anything else.
std::string UrlFragment(std::string_view value)
{
    value = Trim(value);
    if (value.substr(0, 4) != "url(")
        return {};
    const std::size_t close = value.find(')');
    std::string_view inside =
        Trim(value.substr(4, close == std::string_view::npos ? value.npos : close - 4));
    if (!inside.empty() && (inside.front() == '"' || inside.front() == '\'') && inside.size() >= 2)
        inside = inside.substr(1, inside.size() - 2);
    if (inside.empty() || inside.front() != '#')
        return {};
    return std::string(inside.substr(1));
}

bool IsNoneOrNormal(std::string_view v)
{
    const std::string l = Lower(Trim(v));
    return l.empty() || l == "none" || l == "normal" || l == "auto" || l == "0" || l == "inherit";
}

// One declaration as the handlers see it.
struct Declaration {
    const std::string& name;
    std::string_view value;  // trimmed
    std::string lower;       // lower-cased, for keywords
    bool inherit;
    bool css;
    const char* kind;  // what is left out, for properties the reader only checks
};

using Handler = void (*)(Style& s, const Style& parent, const Declaration& d);

void SetPaint(Style& s, const Style& parent, const Declaration& d)
{
    const bool fill = d.name == "fill";
    Paint& target = fill ? s.fill : s.stroke;
    if (d.inherit)
        target = fill ? parent.fill : parent.stroke;
    else
        ParsePaint(d.value, d.css, target);  // an unknown value keeps the inherited paint
}

void SetColor(Style& s, const Style& parent, const Declaration& d)
{
    Paint p;
    if (d.inherit)
        s.color = parent.color;
    else if (ParsePaint(d.value, d.css, p) && p.kind == Paint::kColor)
        s.color = p.color;
}

void SetStopColor(Style& s, const Style&, const Declaration& d)
{
    Paint p;
    if (ParsePaint(d.value, d.css, p) &&
        (p.kind == Paint::kColor || p.kind == Paint::kCurrentColor))
        s.stopColor = p;
}

void SetStrokeWidth(Style& s, const Style& parent, const Declaration& d)
{
    double w = 0;
    if (d.inherit)
        s.strokeWidth = parent.strokeWidth;
    else if (ParseLength(d.value, 0, s.fontSize, w) && w >= 0)
        s.strokeWidth = w;
}

// A property of keywords: the keyword's value, the parent's for inherit, else
// the value unchanged.
template <class T>
void SetKeyword(T& target, const Declaration& d,
                std::initializer_list<std::pair<const char*, T>> keywords, T inherited)
{
    for (const auto& [keyword, value] : keywords)
        if (d.lower == keyword) {
            target = value;
            return;
        }
    if (d.inherit)
        target = inherited;
}

void SetCap(Style& s, const Style& parent, const Declaration& d)
{
    SetKeyword(s.cap, d, {{"round", 1}, {"square", 0}, {"butt", 2}}, parent.cap);
}

void SetJoin(Style& s, const Style& parent, const Declaration& d)
{
    const std::string& v = d.lower;
    s.join = v == "round"               ? 2
             : v == "bevel"             ? 0
             : v.rfind("miter", 0) == 0 ? 1
             : d.inherit                ? parent.join
                                        : s.join;
}

void SetMiterLimit(Style& s, const Style& parent, const Declaration& d)
{
    const auto v = ParseNumberList(d.value);
    if (d.inherit)
        s.miterLimit = parent.miterLimit;
    else if (v.size() == 1 && v[0] >= 1)
        s.miterLimit = v[0];
}

void SetDashes(Style& s, const Style& parent, const Declaration& d)
{
    if (d.inherit) {
        s.dashes = parent.dashes;
        return;
    }
    if (d.lower == "none") {
        s.dashes.clear();
        return;
    }
    // Lengths end where their number and unit end: "5.5.5" is 5.5 and .5.
    std::vector<double> dashes;
    std::string_view rest = d.value;
    while (!rest.empty()) {
        if (rest[0] == ',' || IsSpace(rest[0])) {
            rest.remove_prefix(1);
            continue;
        }
        double number = 0, length = 0;
        std::size_t k = 0;
        if (!ParseNumberPrefix(rest, number, k))
            return;  // invalid: the property is ignored
        while (k < rest.size() &&
               (std::isalpha(static_cast<unsigned char>(rest[k])) || rest[k] == '%'))
            ++k;
        if (!ParseLength(rest.substr(0, k), 0, s.fontSize, length) || length < 0)
            return;
        dashes.push_back(length);
        rest.remove_prefix(k);
    }
    s.dashes = dashes;
}

void SetOpacity(Style& s, const Style& parent, const Declaration& d)
{
    double v = 1;
    if (d.inherit)
        v = d.name == "fill-opacity"     ? parent.fillOpacity
            : d.name == "stroke-opacity" ? parent.strokeOpacity
                                         : 1;
    else if (!ParseOpacity(d.value, v))
        return;
    (d.name == "fill-opacity"     ? s.fillOpacity
     : d.name == "stroke-opacity" ? s.strokeOpacity
     : d.name == "opacity"        ? s.opacity
                                  : s.stopOpacity) = v;
}

void SetFontFamily(Style& s, const Style& parent, const Declaration& d)
{
    if (d.inherit) {
        s.fontFamily = parent.fontFamily;
        return;
    }
    std::string_view first = Trim(d.value.substr(0, d.value.find(',')));
    if (first.size() >= 2 && (first.front() == '"' || first.front() == '\''))
        first = first.substr(1, first.size() - 2);
    if (!first.empty())
        s.fontFamily = std::string(first);
}

void SetFontSize(Style& s, const Style& parent, const Declaration& d)
{
    static const std::map<std::string, double> named = {
        {"xx-small", 9}, {"x-small", 10}, {"small", 13},   {"medium", 16},
        {"large", 18},   {"x-large", 24}, {"xx-large", 32}};
    const auto it = named.find(d.lower);
    double v = 0;
    if (d.inherit)
        s.fontSize = parent.fontSize;
    else if (it != named.end())
        s.fontSize = it->second;
    else if (d.lower == "larger" || d.lower == "smaller")
        s.fontSize = parent.fontSize * (d.lower == "larger" ? 1.2 : 1 / 1.2);
    else if (ParseLength(d.value, parent.fontSize, parent.fontSize, v) && v > 0)
        s.fontSize = v;
}

void SetFontWeight(Style& s, const Style& parent, const Declaration& d)
{
    const auto n = ParseNumberList(d.value);
    const std::string& v = d.lower;
    s.bold = d.inherit                         ? parent.bold
             : v == "bold" || v == "bolder"    ? true
             : v == "normal" || v == "lighter" ? false
             : n.size() == 1                   ? n[0] >= 600
                                               : s.bold;
    // The weight as CSS computes it, relative ones from the parent's.
    const int p = parent.fontWeight;
    s.fontWeight = d.inherit                                    ? p
                   : v == "bold"                                ? 700
                   : v == "normal"                              ? 400
                   : v == "bolder"                              ? (p < 350   ? 400
                                                                   : p < 550 ? 700
                                                                             : 900)
                   : v == "lighter"                             ? (p < 550   ? 100
                                                                   : p < 750 ? 400
                                                                             : 700)
                   : n.size() == 1 && n[0] >= 1 && n[0] <= 1000 ? static_cast<int>(n[0])
                                                                : s.fontWeight;
}

void SetFontStretch(Style& s, const Style& parent, const Declaration& d)
{
    static const std::map<std::string, double> named = {
        {"ultra-condensed", 50},  {"extra-condensed", 62.5}, {"condensed", 75},
        {"semi-condensed", 87.5}, {"normal", 100},           {"semi-expanded", 112.5},
        {"expanded", 125},        {"extra-expanded", 150},   {"ultra-expanded", 200}};
    const auto it = named.find(d.lower);
    double v = 0;
    std::size_t used = 0;
    if (d.inherit)
        s.fontStretch = parent.fontStretch;
    else if (it != named.end())
        s.fontStretch = it->second;
    else if (ParseNumberPrefix(d.value, v, used) && d.value.substr(used) == "%" && v > 0)
        s.fontStretch = v;
}

void SetFontStyle(Style& s, const Style& parent, const Declaration& d)
{
    SetKeyword(s.italic, d, {{"italic", true}, {"oblique", true}, {"normal", false}},
               parent.italic);
}

void SetAnchor(Style& s, const Style& parent, const Declaration& d)
{
    SetKeyword(s.anchor, d, {{"middle", 1}, {"end", 2}, {"start", 0}}, parent.anchor);
}

void SetVisibility(Style& s, const Style& parent, const Declaration& d)
{
    SetKeyword(s.visible, d, {{"hidden", false}, {"collapse", false}, {"visible", true}},
               parent.visible);
}

void SetDisplay(Style& s, const Style&, const Declaration& d) { s.displayNone = d.lower == "none"; }

void SetOverflow(Style& s, const Style& parent, const Declaration& d)
{
    s.overflowVisible =
        d.inherit ? parent.overflowVisible : d.lower == "visible" || d.lower == "auto";
}

void SetClipPath(Style& s, const Style&, const Declaration& d)
{
    s.clipPath = UrlFragment(d.value);
}

void SetWhiteSpace(Style& s, const Style&, const Declaration& d)
{
    s.preserveSpace = d.lower == "pre" || d.lower == "pre-wrap" || d.lower == "break-spaces";
}

void SetFillRule(Style& s, const Style& parent, const Declaration& d)
{
    SetKeyword(s.evenOdd, d, {{"evenodd", true}, {"nonzero", false}}, parent.evenOdd);
}

// marker-start, -mid, -end, and the shorthand that sets all three.
void SetMarker(Style& s, const Style& parent, const Declaration& d)
{
    const bool all = d.name == "marker";
    auto set = [&](std::string Style::*which) {
        s.*which = d.inherit ? parent.*which : UrlFragment(d.value);
    };
    if (all || d.name == "marker-start")
        set(&Style::markerStart);
    if (all || d.name == "marker-mid")
        set(&Style::markerMid);
    if (all || d.name == "marker-end")
        set(&Style::markerEnd);
}

// letter-spacing, word-spacing and stroke-dashoffset: lengths, normal 0.
void SetSpacing(Style& s, const Style& parent, const Declaration& d)
{
    double Style::*which = d.name == "letter-spacing" ? &Style::letterSpacing
                           : d.name == "word-spacing" ? &Style::wordSpacing
                                                      : &Style::dashOffset;
    double v = 0;
    if (d.inherit)
        s.*which = parent.*which;
    else if (d.lower == "normal")
        s.*which = 0;
    else if (ParseLength(d.value, 0, s.fontSize, v))
        s.*which = v;
}

// In font sizes: a number, a percentage, or a length at this font size.
void SetLineHeight(Style& s, const Style& parent, const Declaration& d)
{
    double v = 0;
    if (d.inherit)
        s.lineHeight = parent.lineHeight;
    else if (d.lower == "normal")
        s.lineHeight = 0;
    else if (ParseLength(d.value, 100, s.fontSize, v) && v > 0 && s.fontSize > 0)
        s.lineHeight =
            d.value.find_first_of("%") != std::string_view::npos ? v / 100
            : Trim(d.value).find_first_not_of("+-.0123456789eE") == std::string_view::npos
                ? v
                : v / s.fontSize;
}

// A property the reader does not map: warned whenever it is present.
void LeaveOut(Style& s, const Style&, const Declaration& d) { s.unsupported.push_back(d.kind); }

// A property the reader does not map: warned unless it does nothing.
void LeaveOutUnlessNone(Style& s, const Style&, const Declaration& d)
{
    if (!IsNoneOrNormal(d.value))
        s.unsupported.push_back(d.kind);
}

void SetMask(Style& s, const Style& parent, const Declaration& d)
{
    LeaveOutUnlessNone(s, parent, d);
    s.mask = UrlFragment(d.value);
}

void SetFilter(Style& s, const Style& parent, const Declaration& d)
{
    LeaveOutUnlessNone(s, parent, d);
    s.filter = UrlFragment(d.value);
}

void SetBlendMode(Style& s, const Style&, const Declaration& d)
{
    if (IsNoneOrNormal(d.value)) {
        s.blendMode.clear();
        return;
    }
    s.blendMode = std::string(d.value);
    s.unsupported.push_back(d.kind);
}

struct PropertyEntry {
    Handler handler;
    const char* kind;
};

const std::map<std::string, PropertyEntry, std::less<>>& Properties()
{
    static const std::map<std::string, PropertyEntry, std::less<>> table = {
        {"fill", {SetPaint, nullptr}},
        {"stroke", {SetPaint, nullptr}},
        {"color", {SetColor, nullptr}},
        {"stop-color", {SetStopColor, nullptr}},
        {"stroke-width", {SetStrokeWidth, nullptr}},
        {"stroke-linecap", {SetCap, nullptr}},
        {"stroke-linejoin", {SetJoin, nullptr}},
        {"stroke-miterlimit", {SetMiterLimit, nullptr}},
        {"stroke-dasharray", {SetDashes, nullptr}},
        {"fill-opacity", {SetOpacity, nullptr}},
        {"stroke-opacity", {SetOpacity, nullptr}},
        {"opacity", {SetOpacity, nullptr}},
        {"stop-opacity", {SetOpacity, nullptr}},
        {"font-family", {SetFontFamily, nullptr}},
        {"font-size", {SetFontSize, nullptr}},
        {"font-weight", {SetFontWeight, nullptr}},
        {"font-style", {SetFontStyle, nullptr}},
        {"font-stretch", {SetFontStretch, nullptr}},
        {"font", {LeaveOut, "the 'font' shorthand property"}},
        {"text-anchor", {SetAnchor, nullptr}},
        {"visibility", {SetVisibility, nullptr}},
        {"display", {SetDisplay, nullptr}},
        {"clip-path", {SetClipPath, nullptr}},
        {"overflow", {SetOverflow, nullptr}},
        {"mask", {SetMask, "masks"}},
        {"filter", {SetFilter, "filters"}},
        {"marker", {SetMarker, nullptr}},
        {"marker-start", {SetMarker, nullptr}},
        {"marker-mid", {SetMarker, nullptr}},
        {"marker-end", {SetMarker, nullptr}},
        {"fill-rule", {SetFillRule, nullptr}},
        {"mix-blend-mode", {SetBlendMode, "blend modes"}},
        {"letter-spacing", {SetSpacing, nullptr}},
        {"word-spacing", {SetSpacing, nullptr}},
        {"stroke-dashoffset", {SetSpacing, nullptr}},
        {"white-space", {SetWhiteSpace, nullptr}},
        {"line-height", {SetLineHeight, nullptr}},
    };
    return table;
}

}  // namespace

bool ApplyProperty(Style& s, const Style& parent, const std::string& name, std::string_view value,
                   bool css)
{
    const auto entry = Properties().find(name);
    if (entry == Properties().end())
        return false;
    value = Trim(value);
    const std::string lower = Lower(value);
    const Declaration d{name, value, lower, lower == "inherit", css, entry->second.kind};
    entry->second.handler(s, parent, d);
    return true;
}

}  // namespace svgreader
