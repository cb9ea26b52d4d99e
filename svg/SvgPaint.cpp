// Paint: fills and strokes of colour, gradients defined for each filled
// shape, and the records that set them.
#include <algorithm>
#include <cmath>

#include "SvgDocument.h"
#include "SvgXml.h"

namespace svgreader {

// The module's dash patterns, in points: 1 dashes, 2 dots, 3 dash-dot,
// 4 dash-dot-dot. The SVG pattern picks the nearest by its rhythm: how many
// short marks come with the long ones in one period.
int DashStyle(const std::vector<double>& svgDashes)
{
    std::vector<double> d = svgDashes;
    if (d.size() % 2 == 1)
        d.insert(d.end(), svgDashes.begin(), svgDashes.end());
    double total = 0;
    for (double v : d)
        total += v;
    if (d.empty() || !(total > 0))
        return 0;
    double longest = 0, shortest = HUGE_VAL, gaps = 0;
    for (std::size_t i = 0; i < d.size(); i += 2) {
        longest = std::max(longest, d[i]);
        shortest = std::min(shortest, d[i]);
        gaps += d[i + 1];
    }
    if (longest <= 0)
        return 0;  // nothing is drawn but gaps: keep the line rather than lose it
    if (longest < 2 * std::max(shortest, 1e-9)) {
        // Marks of one length: dots when they are short against their gaps.
        const double meanGap = gaps / static_cast<double>(d.size() / 2);
        return longest * 2 <= meanGap ? 2 : 1;
    }
    int shorts = 0;
    for (std::size_t i = 0; i < d.size(); i += 2)
        shorts += d[i] * 2 < longest ? 1 : 0;
    const int longs = static_cast<int>(d.size() / 2) - shorts;
    return shorts >= 2 * std::max(longs, 1) ? 4 : 3;
}

namespace {

double Percent(double v, double lo, double hi)
{
    return hi > lo ? (v - lo) / (hi - lo) * 100 : 0.0;
}

}  // namespace

std::optional<std::string> GradientChain::Find(const char* attribute) const
{
    for (xmlNodePtr g : elements)
        if (auto v = Attr(g, attribute))
            return v;
    return std::nullopt;
}

ElementPaint Reader::ResolveElementPaint(const Style& style, const Box& userBox, const Box& pageBox,
                                         const View& view, bool textFill, xmlNodePtr at)
{
    ElementPaint paint;
    paint.fill =
        ResolvePaint(style.fill, style, style.fillOpacity, userBox, pageBox, view, textFill, at);
    paint.stroke =
        ResolvePaint(style.stroke, style, style.strokeOpacity, userBox, pageBox, view, true, at);
    return paint;
}

Fill Reader::ResolvePaint(const Paint& paint, const Style& style, double opacity,
                          const Box& userBox, const Box& pageBox, const View& view, bool forStroke,
                          xmlNodePtr at)
{
    Fill fill;
    if (opacity <= 0)
        return fill;
    if (opacity < 1)
        Warn("opacity", at);
    Paint p = paint;
    if (p.kind == Paint::kUrl) {
        const auto it = ids.find(p.url);
        const std::string kind = it == ids.end() ? "" : LocalName(it->second);
        if (kind == "linearGradient" || kind == "radialGradient") {
            if (options.spotColors && Swatch(ChainOf(it->second), style, fill))
                return fill;
            if (!forStroke) {
                Gradient(it->second, style, userBox, pageBox, view, fill, at);
                return fill;
            }
            // Only the colours matter here, and no definition is made.
            if (!strokeAreas)
                Warn("gradient strokes (stroked in the gradient's last colour)", at);
            const std::vector<Stop> stops = GradientStops(ChainOf(it->second), style);
            if (!stops.empty()) {
                fill.kind = FillKind::kColor;
                fill.color = stops.back().color;
                fill.opacity = stops.back().opacity;
                // Not as SVG draws it: where it is flattened, a picture.
                fill.flatten = true;
            }
            return fill;
        }
        if (kind == "pattern" && !forStroke && Pattern(it->second, userBox, view, fill))
            return fill;
        fill.flatten = kind == "pattern";
        // A shape draws such a pattern as copies of its tile, and warns
        // itself should it not.
        if (kind != "pattern" || !patternCopies)
            Warn(kind != "pattern" ? "paints that refer to missing elements"
                 : forStroke       ? "pattern strokes (the fallback colour or none is used)"
                                   : "pattern fills that are rotated, skewed or overflow their "
                                     "tile (the fallback colour or none is used)",
                 at);
        if (p.fallback == Paint::kUnset)
            return fill;
        p.kind = p.fallback;
    }
    if (p.kind == Paint::kColor || p.kind == Paint::kCurrentColor) {
        fill.kind = FillKind::kColor;
        fill.color = p.kind == Paint::kColor ? p.color : style.color;
    }
    return fill;
}

void Reader::WritePaint(const Style& style, const ElementPaint& paint, const Matrix& ctm)
{
    const Fill& fill = paint.fill;
    if (fill.kind == FillKind::kGradient || fill.kind == FillKind::kPattern) {
        SetFillTypeNameData p{};
        p.fillType = static_cast<std::uint16_t>(fill.kind);
        p.tag = static_cast<std::uint16_t>(fill.tag);
        PutChars(p.name, kNameLimit, fill.name);
        draw.SetFillTypeName(p);
    } else if (fill.kind == FillKind::kColor) {
        draw.SetFillType(1);
        if (!fill.spot.empty()) {
            NAME_TAG named{};
            named.tag = static_cast<std::uint16_t>(fill.tag);
            PutChars(named.name, kNameLimit, fill.spot);
            draw.SetFillColorByName(named);
        } else {
            draw.SetFillColorByValue(ColorValue(fill.color));
        }
    } else {
        draw.SetFillType(5);
    }
    const double width = style.strokeWidth * ctm.Scale();
    if (paint.stroke.kind != FillKind::kColor || !(width > 0)) {
        draw.SetStroke(NoStroke());
        return;
    }
    const bool hairline = options.strokes == Options::Strokes::kHairlines;
    SetStrokeData stroke{};
    stroke.style = static_cast<std::int16_t>(hairline ? 0 : DashStyle(style.dashes));
    stroke.width = hairline ? kHairlineWidth : AsPrinted(width);
    stroke.cap = static_cast<std::int16_t>(style.cap);
    stroke.join = static_cast<std::int16_t>(style.join);
    stroke.miterLimit = AsPrinted(style.miterLimit);
    draw.SetStroke(stroke);
    if (!paint.stroke.spot.empty()) {
        NAME_TAG named{};
        named.tag = static_cast<std::uint16_t>(paint.stroke.tag);
        PutChars(named.name, kNameLimit, paint.stroke.spot);
        draw.SetStrokeColorByName(named);
    } else {
        draw.SetStrokeColorByValue(ColorValue(paint.stroke.color));
    }
}

SetColorByValueData Reader::ColorValue(const Rgb& c) const
{
    SetColorByValueData v = Rgb16(c);
    if (!options.cmyk)
        return v;
    // Naive separation with full black generation: black takes what the
    // three inks share, the inks the rest. No profile: a shop's RIP that
    // wants one converts again.
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    const double k = 1 - std::max({r, g, b});
    v.model = 1;
    v.black = AsPrinted(k);
    if (k < 1) {
        v.cyan = AsPrinted((1 - r - k) / (1 - k));
        v.magenta = AsPrinted((1 - g - k) / (1 - k));
        v.yellow = AsPrinted((1 - b - k) / (1 - k));
    }
    return v;
}

int Reader::DefineSpot(const std::string& name, const SetColorByValueData& c)
{
    const auto found = spotTags.find(name);
    if (found != spotTags.end())
        return found->second;
    const int tag = static_cast<int>(spotTags.size()) + 1;
    SetColorDefData def{};
    def.tag = static_cast<std::uint16_t>(tag);
    PutChars(def.name, kNameLimit, name);
    def.color = c;
    def.spot = 1;
    defs.SetColorDef(def);
    spotTags.emplace(name, tag);
    return tag;
}

bool Reader::Swatch(const GradientChain& chain, const Style& style, Fill& fill)
{
    // The swatch is the gradient that holds the stops: editors refer to it
    // through a gradient of their own that only places it.
    for (xmlNodePtr g : chain.elements) {
        int stops = 0;
        for (xmlNodePtr s = g->children; s != nullptr; s = s->next)
            stops += LocalName(s) == "stop" ? 1 : 0;
        if (stops == 0)
            continue;
        if (stops != 1)
            return false;
        std::string name = Attr(g, "label", kInkscapeNs).value_or(Attr(g, "id").value_or(""));
        name = SafeName(name, kNameLimit);
        if (Trim(name).empty())
            return false;
        const std::vector<Stop> colors = GradientStops(chain, style);
        if (colors.empty())
            return false;
        fill.kind = FillKind::kColor;
        fill.color = colors.back().color;
        fill.spot = name;
        fill.tag = DefineSpot(name, ColorValue(fill.color));
        return true;
    }
    return false;
}

std::string Reader::GradientName(const std::string& id)
{
    // The module writes a gradient's name without a tail of an underscore,
    // digits and blanks, so such a tail could make two names one: a hyphen
    // in place of its underscore keeps it. A cut cannot split a balanced
    // name's parentheses, and the numbers added below never form a tail.
    std::string base = SafeName(id.empty() ? "Gradient" : id, kNameLimit - 6);
    const std::size_t underscore = base.find_last_of('_');
    if (underscore != std::string::npos) {
        const std::size_t digitsEnd = base.find_first_not_of("0123456789", underscore + 1);
        if (digitsEnd == std::string::npos ||
            base.find_first_not_of(' ', digitsEnd) == std::string::npos)
            base[underscore] = '-';
    }
    std::string name = base;
    // Counting on from the last number given keeps many uses of one id linear.
    int& next = gradientSuffixes.emplace(base, 2).first->second;
    while (!gradientNames.insert(name).second)
        name = base + " " + std::to_string(next++);
    return name;
}

GradientChain Reader::ChainOf(xmlNodePtr gradient)
{
    GradientChain chain;
    std::vector<xmlNodePtr>& list = chain.elements;
    for (xmlNodePtr g = gradient; g != nullptr && list.size() < kMaxReferenceDepth;) {
        if (std::find(list.begin(), list.end(), g) != list.end())
            break;
        const std::string n = LocalName(g);
        if (n != "linearGradient" && n != "radialGradient")
            break;
        list.push_back(g);
        const auto it = ids.find(FragmentOf(Href(g).value_or("")));
        g = it == ids.end() ? nullptr : it->second;
    }
    return chain;
}

std::vector<Stop> Reader::GradientStops(const GradientChain& chain, const Style& style)
{
    std::vector<Stop> stops;
    for (xmlNodePtr g : chain.elements) {
        const Style gStyle = ComputeStyle(g, style);
        for (xmlNodePtr s = g->children; s != nullptr; s = s->next) {
            if (LocalName(s) != "stop")
                continue;
            const Style stopStyle = ComputeStyle(s, gStyle);
            Stop stop;
            double v = 0;
            stop.offset =
                ParseLength(Attr(s, "offset").value_or("0"), 1, 1, v) ? std::clamp(v, 0.0, 1.0) : 0;
            if (!stops.empty())
                stop.offset = std::max(stop.offset, stops.back().offset);
            stop.color = stopStyle.stopColor.kind == Paint::kCurrentColor
                             ? stopStyle.color
                             : stopStyle.stopColor.color;
            stop.opacity = stopStyle.stopOpacity;
            if (stopStyle.stopOpacity < 1)
                Warn("opacity", s);
            stops.push_back(stop);
        }
        if (!stops.empty())
            break;
    }
    // Stops at one offset make a hard edge, but the module writes linear
    // stops last to first and readers sort them by offset: equal offsets
    // would lose their order. A step of 0.001 percent keeps it and shows
    // nowhere.
    constexpr double kStep = 0.00001;
    for (std::size_t i = 1; i < stops.size(); ++i)
        stops[i].offset = std::max(stops[i].offset, stops[i - 1].offset + kStep);
    for (std::size_t i = stops.size(); i-- > 0;) {
        const double next = i + 1 < stops.size() ? stops[i + 1].offset - kStep : 1.0;
        stops[i].offset = std::min(stops[i].offset, next);
    }
    return stops;
}

void Reader::Gradient(xmlNodePtr gradient, const Style& style, const Box& userBox,
                      const Box& pageBox, const View& view, Fill& fill, xmlNodePtr)
{
    const GradientChain chain = ChainOf(gradient);
    GradientShape shape;
    const std::string spread(Trim(chain.Find("spreadMethod").value_or("pad")));
    shape.spread = spread == "reflect" ? Spread::kReflect
                   : spread == "repeat" ? Spread::kRepeat
                                        : Spread::kPad;
    // The records spread gradients by padding only: the others are drawn in bands.
    gradientExact = shape.spread == Spread::kPad;
    const std::vector<Stop> stops = GradientStops(chain, style);
    if (stops.empty()) {
        fill.kind = FillKind::kNone;  // no stops paint nothing
        return;
    }
    Point start, end;
    if (stops.size() == 1 || !GradientVector(chain, style, userBox, view, start, end, shape)) {
        // One stop paints its colour; a gradient that cannot spread, its last.
        fill.kind = FillKind::kColor;
        fill.color = stops.back().color;
        fill.opacity = stops.back().opacity;
        return;
    }
    shape.stops = stops;
    DefineGradient(gradient, start, end, pageBox, shape, fill);
}

// The gradient's start and end on the page: through the shape's box
// (bounding-box units), the gradient's transform, then the shape's. False
// when the gradient cannot spread: a box or transform without area.
bool Reader::GradientVector(const GradientChain& chain, const Style& style, const Box& userBox,
                            const View& view, Point& start, Point& end, GradientShape& shape)
{
    const bool userSpace = chain.Find("gradientUnits").value_or("") == "userSpaceOnUse";
    Matrix toUser;
    double refW = view.width, refH = view.height, refD = view.Diagonal();
    if (!userSpace) {
        if (!userBox.valid || userBox.Width() <= 0 || userBox.Height() <= 0)
            return false;
        toUser = Matrix{userBox.Width(), 0, 0, userBox.Height(), userBox.minX, userBox.minY};
        refW = refH = refD = 1;
    }
    Matrix gt;
    for (xmlNodePtr g : chain.elements)
        if (Attr(g, "gradientTransform")) {
            ElementTransform(g, gt);
            break;
        }
    const Matrix m = view.ctm * toUser * gt;
    auto coord = [&](const char* name, double ref, const char* fallback) {
        double v = 0;
        const std::string text = chain.Find(name).value_or(fallback);
        if (!userSpace && Trim(text).find('%') == std::string_view::npos) {
            const auto n = ParseNumberList(text);
            return n.empty() ? 0.0 : n[0];
        }
        return ParseLength(text, ref, style.fontSize, v) ? v : 0.0;
    };
    const double det = m.Determinant();
    if (!m.IsFinite() || std::fabs(det) < 1e-18)
        return false;
    shape.toPage = m;
    if (LocalName(chain.elements.front()) != "radialGradient") {
        const Point p1{coord("x1", refW, "0%"), coord("y1", refH, "0%")};
        const Point p2{coord("x2", refW, "100%"), coord("y2", refH, "0%")};
        shape.p1 = p1, shape.p2 = p2;
        const Point v{p2.x - p1.x, p2.y - p1.y};
        // Lines of equal colour stay parallel under the transform but not
        // perpendicular to the mapped vector: the page vector is M^-T v,
        // scaled so that it still spans one whole period.
        const Point w{(m.d * v.x - m.b * v.y) / det, (-m.c * v.x + m.a * v.y) / det};
        const double vv = v.x * v.x + v.y * v.y, ww = w.x * w.x + w.y * w.y;
        start = m.Apply(p1);
        end = ww > 0 ? Point{start.x + w.x * vv / ww, start.y + w.y * vv / ww} : start;
        return true;
    }
    const Point c{coord("cx", refW, "50%"), coord("cy", refH, "50%")};
    const double r = coord("r", refD, "50%");
    // The focal point defaults to the centre, each coordinate apart.
    const Point f{chain.Find("fx") ? coord("fx", refW, "50%") : c.x,
                  chain.Find("fy") ? coord("fy", refH, "50%") : c.y};
    shape.radial = true;
    shape.centre = c, shape.focal = f, shape.radius = r;
    // The records' radial gradients are circles from their centre: a focal
    // point, or a map that makes circles ellipses (unequal or skewed axes),
    // is drawn in bands.
    const double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
    const double skew = std::fabs(m.a * m.c + m.b * m.d);
    if (std::fabs(f.x - c.x) > 1e-9 || std::fabs(f.y - c.y) > 1e-9 ||
        std::fabs(sx - sy) > 1e-6 * std::max(sx, sy) || skew > 1e-6 * sx * sy)
        gradientExact = false;
    start = m.Apply(c);
    end = {start.x + r * std::sqrt(std::fabs(det)), start.y};
    return true;
}

// The definition, with its points in percent of the filled shape's page box.
void Reader::DefineGradient(xmlNodePtr gradient, const Point& start, const Point& end,
                            const Box& pageBox, const GradientShape& shape, Fill& fill)
{
    fill.kind = FillKind::kGradient;
    fill.tag = ++gradientCount;
    const std::vector<Stop>& stops = shape.stops;
    if (!gradientExact) {
        // Drawn in bands where it is used: no definition.
        gradientDefs[fill.tag] = {Attr(gradient, "id").value_or(""), {}, stops, false, shape, start, end};
        return;
    }
    fill.name = GradientName(Attr(gradient, "id").value_or(""));
    GradientDef g{Attr(gradient, "id").value_or(""), {}, stops, true, shape, start, end};
    g.placed = PlacedIn(g, pageBox);
    WriteGradientDef(fill.name, fill.tag, g.placed, stops);
    gradientDefs[fill.tag] = std::move(g);
}

SetGradient2Data Reader::PlacedIn(const GradientDef& g, const Box& box)
{
    SetGradient2Data placed{};
    placed.type = g.shape.radial ? 1 : 0;
    placed.startX = AsPrinted(Percent(g.start.x, box.minX, box.maxX));
    placed.startY = AsPrinted(Percent(g.start.y, box.minY, box.maxY));
    placed.endX = AsPrinted(Percent(g.end.x, box.minX, box.maxX));
    placed.endY = AsPrinted(Percent(g.end.y, box.minY, box.maxY));
    return placed;
}

void Reader::WriteGradientDef(const std::string& name, int tag, const SetGradient2Data& placed,
                              const std::vector<Stop>& stops)
{
    ++gradientsWritten;
    SetGradientDefData def{};
    def.tag = static_cast<std::uint16_t>(tag);
    PutChars(def.name, kNameLimit, name);
    defs.SetGradientDef(def);
    defs.SetGradient2(placed);
    for (const Stop& stop : stops) {
        SetGradientRGNData rgn{};
        rgn.location = AsPrinted(stop.offset * 100);
        rgn.midpoint = 50;
        rgn.stopColor.color = ColorValue(stop.color);
        defs.SetGradientRGN(rgn);
    }
    defs.EndGradient();
}

}  // namespace svgreader
