// Attribute values of SVG: path data and paints parsed with SVG++, transform lists.
// The one file that includes SVG++, whose templates are slow to compile.
#include "SvgValues.h"

// SVG++ instantiates its arc conversion with members GCC cannot prove set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <svgpp/parser/paint.hpp>
#include <svgpp/parser/path_data.hpp>
#include <svgpp/utility/arc_endpoint_to_center.hpp>
#include <svgpp/utility/arc_to_bezier.hpp>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "SvgStyle.h"

namespace svgreader {

namespace {

namespace tag = svgpp::tag;

struct PathContext {
    Path& path;

    void path_move_to(double x, double y, tag::coordinate::absolute) { path.MoveTo(x, y); }
    void path_line_to(double x, double y, tag::coordinate::absolute) { path.LineTo(x, y); }
    void path_cubic_bezier_to(double x1, double y1, double x2, double y2, double x, double y,
                              tag::coordinate::absolute)
    {
        path.CurveTo(x1, y1, x2, y2, x, y);
    }
    void path_elliptical_arc_to(double rx, double ry, double rotation, bool large, bool sweep,
                                double x, double y, tag::coordinate::absolute);
    void path_close_subpath() { path.Close(); }
    void path_exit() {}
};

// Absolute coordinates, no shorthands, quadratics as cubics; arcs come
// through whole, for the path to apply SVG's rules for their parameters.
struct PathPolicy : svgpp::policy::path::minimal {
    static const bool arc_as_cubic_bezier = false;
};

// SVG's rules for arc parameters out of range: the same end point draws
// nothing, a zero radius draws a line, radii too small to reach the end grow
// until they do (the centre conversion does that). A sweep of at most a full
// turn gives at most five cubics.
void PathContext::path_elliptical_arc_to(double rx, double ry, double rotation, bool large,
                                         bool sweep, double x, double y, tag::coordinate::absolute)
{
    const Point from = path.Current();
    if (from.x == x && from.y == y)
        return;
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    const double phi = rotation * boost::math::constants::degree<double>();
    const double twoPi = boost::math::constants::two_pi<double>();
    double cx = 0, cy = 0, theta1 = 0, theta2 = 0;
    if (rx > 0 && ry > 0 && std::isfinite(rx) && std::isfinite(ry) && std::isfinite(phi))
        svgpp::arc_endpoint_to_center(from.x, from.y, x, y, rx, ry, phi, large, sweep, cx, cy,
                                      theta1, theta2);
    if (sweep && theta2 < theta1)
        theta2 += twoPi;
    else if (!sweep && theta2 > theta1)
        theta2 -= twoPi;
    const bool finite = std::isfinite(cx) && std::isfinite(cy) && std::isfinite(theta1) &&
                        std::isfinite(theta2) && std::isfinite(rx) && std::isfinite(ry);
    if (!(rx > 0) || !(ry > 0) || !finite || std::fabs(theta2 - theta1) > twoPi) {
        path.LineTo(x, y);
        return;
    }
    using ArcToBezier = svgpp::arc_to_bezier<double>;
    const ArcToBezier pieces(cx, cy, rx, ry, phi, ArcToBezier::circle_angle_tag(), theta1, theta2,
                             ArcToBezier::max_angle_tag(),
                             boost::math::constants::half_pi<double>());
    for (ArcToBezier::iterator it(pieces); !it.eof(); it.advance())
        path.CurveTo(it.p1x(), it.p1y(), it.p2x(), it.p2y(), it.p3x(), it.p3y());
}

using Iri = boost::iterator_range<std::string::const_iterator>;

struct PaintContext {
    Paint& paint;

    static Rgb ToRgb(int rgb)
    {
        Rgb c;
        c.r = static_cast<std::uint8_t>((rgb >> 16) & 0xFF);
        c.g = static_cast<std::uint8_t>((rgb >> 8) & 0xFF);
        c.b = static_cast<std::uint8_t>(rgb & 0xFF);
        return c;
    }
    void Url(const Iri& iri)
    {
        std::string text(iri.begin(), iri.end());
        paint.kind = Paint::kUrl;
        paint.url = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    }

    void set(tag::attribute::fill, tag::value::none) { paint.kind = Paint::kNone; }
    void set(tag::attribute::fill, tag::value::currentColor) { paint.kind = Paint::kCurrentColor; }
    void set(tag::attribute::fill, int rgb, tag::skip_icc_color = tag::skip_icc_color())
    {
        paint.kind = Paint::kColor;
        paint.color = ToRgb(rgb);
    }
    void set(tag::attribute::fill, const Iri& iri) { Url(iri); }
    void set(tag::attribute::fill, const Iri& iri, tag::value::none)
    {
        Url(iri);
        paint.fallback = Paint::kNone;
    }
    void set(tag::attribute::fill, const Iri& iri, tag::value::currentColor)
    {
        Url(iri);
        paint.fallback = Paint::kCurrentColor;
    }
    void set(tag::attribute::fill, const Iri& iri, int rgb,
             tag::skip_icc_color = tag::skip_icc_color())
    {
        Url(iri);
        paint.fallback = Paint::kColor;
        paint.color = ToRgb(rgb);
    }
};

}  // namespace

namespace {

// Path data in the form drawings mostly have, read without SVG++'s grammar,
// which costs more than the rest of a path's conversion: moves, lines and
// cubics, absolute or relative, closes, and numbers of at most 18 digits
// without an exponent. The numbers come out as SVG++ makes them (the digits
// as an integer over an exact power of ten) and the relative coordinates as
// its path adapter adds them, so the path is the same. False, with `path`
// changed, for anything else; SVG++ then reads the text from the start.
class QuickPathReader {
public:
    QuickPathReader(std::string_view text, Path& path) : text(text), path(path) {}

    bool Read()
    {
        SkipSpace();
        if (at >= text.size() || (text[at] != 'M' && text[at] != 'm'))
            return false;
        while (SkipSpace(), at < text.size()) {
            const char command = text[at++];
            const bool relative = command >= 'a';
            switch (command) {
            case 'Z':
            case 'z':
                path.Close();
                x = startX;
                y = startY;
                break;
            case 'M':
            case 'm':
                if (!Move(relative) || !Arguments([&] { return Line(relative); }))
                    return false;
                break;
            case 'L':
            case 'l':
                if (!Line(relative) || !Arguments([&] { return Line(relative); }))
                    return false;
                break;
            case 'C':
            case 'c':
                if (!Curve(relative) || !Arguments([&] { return Curve(relative); }))
                    return false;
                break;
            default: return false;
            }
        }
        return true;
    }

private:
    static constexpr int kMaxDigits = 18;  // their integer fits 64 bits
    static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                       1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

    bool IsSpaceAt(std::size_t i) const
    {
        return i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r');
    }
    void SkipSpace()
    {
        while (IsSpaceAt(at))
            ++at;
    }
    bool IsDigitAt(std::size_t i) const
    {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    }
    bool NumberStartsAt(std::size_t i) const
    {
        return IsDigitAt(i) ||
               (i < text.size() && (text[i] == '-' || text[i] == '+' || text[i] == '.'));
    }

    // A number, after blanks and, when `comma`, one comma among them.
    bool Number(double& value, bool comma = true)
    {
        SkipSpace();
        if (comma && at < text.size() && text[at] == ',') {
            ++at;
            SkipSpace();
        }
        bool negative = false;
        if (at < text.size() && (text[at] == '-' || text[at] == '+'))
            negative = text[at++] == '-';
        std::uint64_t digits = 0;
        int count = 0;
        int decimals = 0;
        for (; IsDigitAt(at); ++at, ++count)
            digits = digits * 10 + static_cast<std::uint64_t>(text[at] - '0');
        if (at < text.size() && text[at] == '.') {
            ++at;
            if (!IsDigitAt(at))
                return false;
            for (; IsDigitAt(at); ++at, ++count, ++decimals)
                digits = digits * 10 + static_cast<std::uint64_t>(text[at] - '0');
        }
        if (count == 0 || count > kMaxDigits ||
            (at < text.size() && (text[at] == 'e' || text[at] == 'E')))
            return false;
        value = decimals == 0 ? static_cast<double>(digits)
                              : static_cast<double>(digits) / kTens[decimals];
        if (negative)
            value = -value;
        return true;
    }
    bool Pair(double& px, double& py) { return Number(px, false) && Number(py); }

    // More argument groups of the same command, each after an optional comma.
    template <typename Group>
    bool Arguments(Group group)
    {
        for (;;) {
            std::size_t next = at;
            while (IsSpaceAt(next))
                ++next;
            if (next < text.size() && text[next] == ',') {
                ++next;
                while (IsSpaceAt(next))
                    ++next;
                if (!NumberStartsAt(next))
                    return false;
            } else if (!NumberStartsAt(next)) {
                return true;
            }
            at = next;
            if (!group())
                return false;
        }
    }

    // One point, made absolute from the current point when relative.
    bool Point(bool relative, double& px, double& py)
    {
        if (!Pair(px, py))
            return false;
        if (relative) {
            px = x + px;
            py = y + py;
        }
        return true;
    }
    bool Move(bool relative)
    {
        double px = 0, py = 0;
        if (!Point(relative, px, py))
            return false;
        path.MoveTo(px, py);
        x = startX = px;
        y = startY = py;
        return true;
    }
    bool Line(bool relative)
    {
        double px = 0, py = 0;
        if (!Point(relative, px, py))
            return false;
        path.LineTo(px, py);
        x = px;
        y = py;
        return true;
    }
    bool Curve(bool relative)
    {
        double v[6];
        if (!Pair(v[0], v[1]) || !Number(v[2]) || !Number(v[3]) || !Number(v[4]) || !Number(v[5]))
            return false;
        if (relative)
            for (int i = 0; i < 6; i += 2) {
                v[i] = x + v[i];
                v[i + 1] = y + v[i + 1];
            }
        path.CurveTo(v[0], v[1], v[2], v[3], v[4], v[5]);
        x = v[4];
        y = v[5];
        return true;
    }

    std::string_view text;
    Path& path;
    std::size_t at = 0;
    double x = 0, y = 0, startX = 0, startY = 0;
};

}  // namespace

bool ParsePathDataWithSvgpp(std::string_view text, Path& path)
{
    // SVG++ reports a value it cannot parse by throwing; to the reader that
    // is only a value to leave out.
    try {
        const std::string value(text);
        PathContext context{path};
        return svgpp::value_parser<tag::type::path_data, svgpp::path_policy<PathPolicy>>::parse(
            tag::attribute::d(), context, value, tag::source::attribute());
    } catch (...) {
        return false;
    }
}

bool ParsePathData(std::string_view text, Path& path)
{
    if (path.subpaths.empty()) {
        try {
            if (QuickPathReader(text, path).Read())
                return true;
        } catch (...) {
        }
        path.subpaths.clear();
    }
    return ParsePathDataWithSvgpp(text, path);
}

// Read by hand: numbers in SVG's syntax need no separator where a sign or a
// second point starts the next one ("translate(-384.57-499.8)", "1.5.5"),
// which SVG++'s grammar refuses.
bool ParseTransformList(std::string_view text, Matrix& m)
{
    Matrix product = m;
    std::size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && (IsSpace(text[i]) || text[i] == ','))
            ++i;
    };
    for (skip(); i < text.size(); skip()) {
        const std::size_t nameStart = i;
        while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
            ++i;
        const std::string_view name = text.substr(nameStart, i - nameStart);
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        if (name.empty() || i >= text.size() || text[i] != '(')
            return false;
        ++i;
        std::vector<double> v;
        for (;;) {
            skip();
            if (i >= text.size())
                return false;
            if (text[i] == ')')
                break;
            double value = 0;
            std::size_t used = 0;
            if (v.size() == 6 || !ParseNumberPrefix(text.substr(i), value, used))
                return false;
            v.push_back(value);
            i += used;
        }
        ++i;
        const std::size_t n = v.size();
        const double toRad = std::acos(-1.0) / 180;
        if (name == "matrix" && n == 6) {
            product = product * Matrix{v[0], v[1], v[2], v[3], v[4], v[5]};
        } else if (name == "translate" && (n == 1 || n == 2)) {
            product = product * Matrix::Translate(v[0], n == 2 ? v[1] : 0);
        } else if (name == "scale" && (n == 1 || n == 2)) {
            product = product * Matrix::ScaleBy(v[0], n == 2 ? v[1] : v[0]);
        } else if (name == "rotate" && (n == 1 || n == 3)) {
            const double c = std::cos(v[0] * toRad), s = std::sin(v[0] * toRad);
            const Matrix r{c, s, -s, c, 0, 0};
            product = n == 3 ? product * Matrix::Translate(v[1], v[2]) * r *
                                   Matrix::Translate(-v[1], -v[2])
                             : product * r;
        } else if (name == "skewX" && n == 1) {
            product = product * Matrix{1, 0, std::tan(v[0] * toRad), 1, 0, 0};
        } else if (name == "skewY" && n == 1) {
            product = product * Matrix{1, std::tan(v[0] * toRad), 0, 1, 0, 0};
        } else {
            return false;
        }
    }
    m = product;
    return true;
}

namespace {

int HexDigit(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// "#rrggbb" and "#rgb" alone, what editors write for nearly every paint,
// read directly: the general parser costs far more than the colour.
bool HexColor(std::string_view text, Rgb& color)
{
    if ((text.size() != 7 && text.size() != 4) || text[0] != '#')
        return false;
    int digits[6];
    for (std::size_t i = 1; i < text.size(); ++i)
        if ((digits[i - 1] = HexDigit(text[i])) < 0)
            return false;
    const bool shortForm = text.size() == 4;
    const auto component = [&](int k) {
        return static_cast<std::uint8_t>(shortForm ? digits[k] * 17
                                                   : digits[2 * k] * 16 + digits[2 * k + 1]);
    };
    color.r = component(0);
    color.g = component(1);
    color.b = component(2);
    return true;
}

}  // namespace

bool ParsePaint(std::string_view text, bool css, Paint& paint)
{
    Rgb hex;
    if (HexColor(text, hex)) {
        paint = Paint();
        paint.kind = Paint::kColor;
        paint.color = hex;
        return true;
    }
    // CSS's "transparent" paints nothing, like none.
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "transparent") {
        paint = Paint();
        paint.kind = Paint::kNone;
        return true;
    }
    const std::string value(text);
    Paint parsed;
    PaintContext context{parsed};
    bool ok = false;
    try {
        using Parser =
            svgpp::value_parser<tag::type::paint, svgpp::iri_policy<svgpp::policy::iri::raw>>;
        ok = css ? Parser::parse(tag::attribute::fill(), context, value, tag::source::css())
                 : Parser::parse(tag::attribute::fill(), context, value, tag::source::attribute());
    } catch (...) {
        return false;
    }
    if (!ok || parsed.kind == Paint::kUnset)
        return false;
    paint = parsed;
    return true;
}

}  // namespace svgreader
