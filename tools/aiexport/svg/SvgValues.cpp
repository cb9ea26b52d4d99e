// Attribute values of SVG parsed with SVG++: path data, transform lists and paints.
// The one file that includes SVG++, whose templates are slow to compile.
#include "SvgValues.h"

// SVG++ instantiates its arc conversion with members GCC cannot prove set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <svgpp/parser/paint.hpp>
#include <svgpp/parser/path_data.hpp>
#include <svgpp/parser/transform_list.hpp>
#include <svgpp/utility/arc_endpoint_to_center.hpp>
#include <svgpp/utility/arc_to_bezier.hpp>

#include <cctype>
#include <cmath>
#include <string>

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

struct TransformContext {
    Matrix& m;

    void transform_matrix(const boost::array<double, 6>& v)
    {
        m = m * Matrix{v[0], v[1], v[2], v[3], v[4], v[5]};
    }
};

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

// SVG++ reports a value it cannot parse by throwing; to the reader that is
// only a value to leave out.
bool ParsePathData(std::string_view text, Path& path)
{
    try {
        const std::string value(text);
        PathContext context{path};
        return svgpp::value_parser<tag::type::path_data, svgpp::path_policy<PathPolicy>>::parse(
            tag::attribute::d(), context, value, tag::source::attribute());
    } catch (...) {
        return false;
    }
}

bool ParseTransformList(std::string_view text, Matrix& m)
{
    try {
        const std::string value(text);
        Matrix product = m;
        TransformContext context{product};
        if (!svgpp::value_parser<tag::type::transform_list>::parse(
                tag::attribute::transform(), context, value, tag::source::attribute()))
            return false;
        m = product;
        return true;
    } catch (...) {
        return false;
    }
}

bool ParsePaint(std::string_view text, bool css, Paint& paint)
{
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
