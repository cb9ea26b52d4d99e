// Transparency flattened as vectors. An object with transparency is walked
// apart first, to learn the paths it paints; then it is drawn in the colour
// it gives over the paper and, clipped to each opaque piece already drawn
// beneath it, in the colour it gives over that piece. Later pieces overwrite
// earlier ones exactly as the backdrop does, so what is seen is what SVG
// composites. What cannot be exact goes into an image (SvgFlatten.cpp).
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>

#include "SvgBlur.h"
#include "SvgCompose.h"
#include "SvgDocument.h"
#include "SvgStrokeOutline.h"
#include "SvgXml.h"

namespace svgreader {

namespace {

// Fewer bands, tried in turn by an object whose mixtures in bands take more
// definitions or bytes than there is room for: a band of a translucent
// gradient then spans a few 8-bit steps of what is seen, which still shows
// less than the image's edge and resolution would.
constexpr std::size_t kFewerBands[] = {48, 16};
// Likewise the levels of a blur: a level then spans a few 8-bit steps.
constexpr int kFewerBlurLevels[] = {48, 24};
// Pieces kept for one drawing; what is drawn beyond them counts as unknown.
constexpr std::size_t kMaxPieces = 200'000;
// Tests of boxes against boxes in one drawing; beyond them, images.
constexpr std::size_t kMaxOverlapTests = 20'000'000;
// Images of overlaps may cover this share of an object's box at most.
constexpr double kMaxPatchedShare = 0.5;

bool Meets(const Box& a, const Box& b)
{
    return a.valid && b.valid && a.minX <= b.maxX && b.minX <= a.maxX && a.minY <= b.maxY &&
           b.minY <= a.maxY;
}

Box Intersect(Box a, const Box& b)
{
    if (!a.valid || !b.valid)
        return {};
    a.minX = std::max(a.minX, b.minX), a.minY = std::max(a.minY, b.minY);
    a.maxX = std::min(a.maxX, b.maxX), a.maxY = std::min(a.maxY, b.maxY);
    a.valid = a.minX <= a.maxX && a.minY <= a.maxY;
    return a;
}

Box Union(Box a, const Box& b)
{
    if (!b.valid)
        return a;
    if (!a.valid)
        return b;
    a.minX = std::min(a.minX, b.minX), a.minY = std::min(a.minY, b.minY);
    a.maxX = std::max(a.maxX, b.maxX), a.maxY = std::max(a.maxY, b.maxY);
    return a;
}

bool IsStroke(const Piece& p) { return p.paint.stroke.kind != FillKind::kNone; }

bool Contains(const ClipChain& chain, const std::shared_ptr<const ClipRegion>& r)
{
    return std::find(chain.begin(), chain.end(), r) != chain.end();
}

std::shared_ptr<const ClipRegion> RegionOf(const Piece& p)
{
    auto r = std::make_shared<ClipRegion>();
    r->path = p.path;
    r->evenOdd = p.style.evenOdd;
    r->box = BoundsOf(p.path);
    return r;
}

// A gradient's stops seen over an opaque backdrop: each stop composited at its
// own opacity times `alpha`. Colour and opacity both changing along a span
// make its composite a curve, not a line: the span gets stops in between.
std::vector<Stop> CompositeStops(const std::vector<Stop>& stops, Rgb backdrop, double alpha,
                                 BlendMode mode)
{
    constexpr int kSteps = 8;
    std::vector<Stop> dense;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        dense.push_back(stops[i]);
        if (i + 1 == stops.size())
            break;
        const Stop& a = stops[i];
        const Stop& b = stops[i + 1];
        const bool colours =
            a.color.r != b.color.r || a.color.g != b.color.g || a.color.b != b.color.b;
        if (!colours || a.opacity == b.opacity || b.offset - a.offset < 1e-3)
            continue;
        for (int k = 1; k < kSteps; ++k) {
            const double t = static_cast<double>(k) / kSteps;
            auto mix = [t](std::uint8_t x, std::uint8_t y) {
                return static_cast<std::uint8_t>(std::floor(x + (y - x) * t + 0.5));
            };
            Stop m;
            m.offset = a.offset + (b.offset - a.offset) * t;
            m.color = {mix(a.color.r, b.color.r), mix(a.color.g, b.color.g),
                       mix(a.color.b, b.color.b)};
            m.opacity = a.opacity + (b.opacity - a.opacity) * t;
            dense.push_back(m);
        }
    }
    for (Stop& stop : dense) {
        stop.color = Compose(backdrop, stop.color, alpha * stop.opacity, mode);
        stop.opacity = 1;
    }
    return dense;
}

// A gradient beneath seen through a flat colour over it: each stop mixed.
GradientDef Beneath(GradientDef g, Rgb source, double alpha, BlendMode mode)
{
    for (Stop& stop : g.stops)
        stop.color = Compose(stop.color, source, alpha, mode);
    g.shape.stops = g.stops;
    return g;
}

// Stops a line between their neighbours gives within an 8-bit step are
// dropped: a mixture's stops, made dense where it curves, stay where it does.
// A stop on a hard edge (its neighbour at about its offset) is kept.
std::vector<Stop> ThinStops(const std::vector<Stop>& stops)
{
    if (stops.size() < 3)
        return stops;
    auto near = [](const Stop& a, const Stop& b) { return b.offset - a.offset < 1e-3; };
    // Whether the stops strictly between `from` and `to` lie on their line.
    auto onLine = [&](std::size_t from, std::size_t to) {
        const Stop& a = stops[from];
        const Stop& b = stops[to];
        const double span = b.offset - a.offset;
        for (std::size_t i = from + 1; i < to; ++i) {
            const double t = span > 0 ? (stops[i].offset - a.offset) / span : 0;
            auto off = [t](std::uint8_t x, std::uint8_t y, std::uint8_t v) {
                return std::fabs(x + (y - x) * t - v) > 1;
            };
            if (near(stops[i - 1], stops[i]) || near(stops[i], stops[i + 1]) ||
                off(a.color.r, b.color.r, stops[i].color.r) ||
                off(a.color.g, b.color.g, stops[i].color.g) ||
                off(a.color.b, b.color.b, stops[i].color.b))
                return false;
        }
        return true;
    };
    std::vector<Stop> kept{stops.front()};
    std::size_t from = 0;
    for (std::size_t i = 1; i + 1 < stops.size(); ++i)
        if (!onLine(from, i + 1)) {
            kept.push_back(stops[i]);
            from = i;
        }
    kept.push_back(stops.back());
    return kept;
}

// The area a part paints, as a clip, made once: its path, or its stroke's
// outline (none for a dashed stroke, whose dashes the module draws its own way).
const std::shared_ptr<const ClipRegion>& RegionOfPart(const Piece& part,
                                                      std::shared_ptr<const ClipRegion>& made)
{
    if (made != nullptr)
        return made;
    if (!IsStroke(part)) {
        made = RegionOf(part);
        return made;
    }
    if (!part.style.dashes.empty())
        return made;
    auto r = std::make_shared<ClipRegion>();
    r->path = StrokeOutline(part.path, StrokeShapeOf(part.style, part.ctm.Scale(), false));
    r->box = BoundsOf(r->path);
    if (!r->path.Empty())
        made = std::move(r);
    return made;
}

// Whether `points` lie inside the path: a single convex subpath holding
// them, each at least `margin` within. The curves are followed by their
// chords, which lie inside a convex curve, so a yes is sure.
bool Covers(const Path& path, const std::vector<Point>& points, double margin = 0)
{
    if (path.subpaths.size() != 1 || points.empty())
        return false;
    const Subpath& s = path.subpaths.front();
    std::vector<Point> poly{s.start};
    Point from = s.start;
    for (const Segment& g : s.segments) {
        const int n = g.cubic ? 8 : 1;
        for (int k = 1; k <= n; ++k) {
            const double t = static_cast<double>(k) / n;
            const Point p = g.cubic ? Point{CubicAt(from.x, g.c1.x, g.c2.x, g.to.x, t),
                                            CubicAt(from.y, g.c1.y, g.c2.y, g.to.y, t)}
                                    : g.to;
            // Points a hair apart (a closing segment of no length) are one.
            if (std::hypot(p.x - poly.back().x, p.y - poly.back().y) > 1e-7)
                poly.push_back(p);
        }
        from = g.to;
    }
    while (poly.size() > 1 &&
           std::hypot(poly.back().x - poly.front().x, poly.back().y - poly.front().y) <= 1e-7)
        poly.pop_back();
    if (poly.size() < 3)
        return false;
    // Convex: every turn one way (straight runs allowed); then a corner is
    // inside when it lies on that side of every edge.
    double sign = 0;
    const std::size_t n = poly.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Point a = poly[i], b = poly[(i + 1) % n], c = poly[(i + 2) % n];
        const double turn = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
        if (std::fabs(turn) < 1e-15)
            continue;
        if (sign == 0)
            sign = turn;
        else if ((turn > 0) != (sign > 0))
            return false;
    }
    if (sign == 0)
        return false;
    for (const Point& p : points)
        for (std::size_t i = 0; i < n; ++i) {
            const Point a = poly[i], b = poly[(i + 1) % n];
            const double side = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
            const double inward = sign > 0 ? side : -side;
            if (!(inward > margin * std::hypot(b.x - a.x, b.y - a.y)))
                return false;
        }
    return true;
}

// Points whose hull holds what is painted: a box's corners, or a path's
// points and control points (a curve lies within its control polygon);
// the box's corners when the path is more points than that.
std::vector<Point> HullOf(const Box& box, const Path* path = nullptr)
{
    std::vector<Point> points;
    if (path != nullptr && path->subpaths.size() == 1 && path->subpaths[0].segments.size() <= 8) {
        const Subpath& s = path->subpaths[0];
        points.push_back(s.start);
        for (const Segment& g : s.segments) {
            if (g.cubic)
                points.push_back(g.c1), points.push_back(g.c2);
            points.push_back(g.to);
        }
        return points;
    }
    if (box.valid)
        points = {{box.minX, box.minY}, {box.maxX, box.minY}, {box.maxX, box.maxY},
                  {box.minX, box.maxY}};
    return points;
}

// The clips of a part within the object: those it is drawn under.
ClipChain InnerClips(const Piece& part, std::size_t outerClips)
{
    return ClipChain(part.clips.begin() + static_cast<std::ptrdiff_t>(outerClips),
                     part.clips.end());
}

}  // namespace

std::vector<Band> Reader::BandsOf(const GradientShape& shape, const Box& box, double alpha) const
{
    bandsMade = true;
    if (!(alpha > 0) || alpha >= 1)
        return GradientBands(shape, box, 1 / FlattenDpi(), bandCap);
    // Seen through an opacity, fewer steps of colour show: the bands are
    // counted for the colours seen.
    GradientShape seen = shape;
    for (Stop& stop : seen.stops)
        stop.opacity *= alpha;
    std::vector<Band> bands = GradientBands(seen, box, 1 / FlattenDpi(), bandCap);
    for (Band& band : bands)
        band.opacity = std::min(1.0, band.opacity / alpha);
    return bands;
}

void Reader::WriteBands(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                        const Path& page)
{
    Path area = page;
    for (Subpath& s : area.subpaths)
        s.closed = true;
    const std::vector<Band> bands =
        BandsOf(gradientDefs.at(paint.fill.tag).shape, BoundsOf(area),
                groupAlpha * style.fillOpacity * paint.fill.opacity);
    if (!bands.empty()) {
        ClipRegion region;
        region.path = area;
        region.evenOdd = style.evenOdd;
        draw.BeginMask();
        draw.BeginClipRgn();
        WriteClipRegion(region);
        draw.EndClipRgn();
        PushClip(area, style.evenOdd, true);
        const int family = bandFamily;
        bandFamily = ++families;
        Style flat = style;
        flat.evenOdd = false;
        for (const Band& band : bands) {
            ElementPaint p;
            p.fill.kind = FillKind::kColor;
            p.fill.color = band.color;
            p.fill.opacity = paint.fill.opacity * band.opacity;
            WriteShape(flat, p, ctm, band.path);
        }
        bandFamily = family;
        CloseClip();
    }
    if (paint.stroke.kind != FillKind::kNone) {
        ElementPaint stroke = paint;
        stroke.fill = Fill();
        WriteShape(style, stroke, ctm, page);
    }
}

bool Reader::CompositeGradient(Fill& fill, double alpha, Rgb backdrop, int mode)
{
    const auto it = gradientDefs.find(fill.tag);
    // A translucent gradient the records draw otherwise than SVG would show
    // the wrong things beneath it: a picture.
    if (fill.kind != FillKind::kGradient || it == gradientDefs.end() || !it->second.exact ||
        !AffineInBackdrop(static_cast<BlendMode>(mode)) || !GradientRoom())
        return false;
    GradientDef g = it->second;
    g.stops = CompositeStops(g.stops, backdrop, alpha, static_cast<BlendMode>(mode));
    g.shape.stops = g.stops;
    return DefineComposite(std::move(g), fill);
}

bool Reader::DefineComposite(GradientDef g, Fill& fill)
{
    g.stops = ThinStops(g.stops);
    g.shape.stops = g.stops;
    // The key holds what the records carry: placement, offsets and 8-bit colours.
    std::string key;
    auto put = [&key](const void* bytes, std::size_t size) {
        key.append(static_cast<const char*>(bytes), size);
    };
    put(&g.placed.type, sizeof g.placed.type);
    for (const double v : {g.placed.startX, g.placed.startY, g.placed.endX, g.placed.endY})
        put(&v, sizeof v);
    for (const Stop& stop : g.stops) {
        put(&stop.offset, sizeof stop.offset);
        put(&stop.color, sizeof stop.color);
    }
    const auto found = composites.find(key);
    if (found != composites.end()) {
        fill.tag = found->second.tag;
        fill.name = found->second.name;
        return true;
    }
    if (!GradientRoom()) {
        outOfRoom = true;
        return false;
    }
    fill.name = GradientName(g.id);
    fill.tag = ++gradientCount;
    WriteGradientDef(fill.name, fill.tag, g.placed, g.stops);
    composites.emplace(std::move(key), Composite{fill.tag, fill.name, gradientsWritten});
    gradientDefs.emplace(fill.tag, std::move(g));
    return true;
}

void Reader::ForgetGradientsAfter(int written)
{
    gradientsWritten = written;
    for (auto it = composites.begin(); it != composites.end();)
        it = it->second.written > written ? composites.erase(it) : std::next(it);
}

bool Reader::Tracking() const
{
    return options.flatten && CanFlatten() && options.flattenMode != Options::FlattenMode::kRaster;
}

void Reader::PushClip(const Path& path, bool evenOdd, bool exact)
{
    auto r = std::make_shared<ClipRegion>();
    r->evenOdd = evenOdd;
    r->exact = exact && Tracking();
    if (r->exact) {
        r->path = path;
        r->box = BoundsOf(path);
    }
    clipChain.push_back(std::move(r));
}

void Reader::NotePiece(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                       const Path& page)
{
    if (!Tracking() || tileDepth > 0 || !inVisibleLayer)
        return;
    // A paint the records cannot hold (a turned pattern) is a picture.
    if (capture != nullptr && (paint.fill.flatten || paint.stroke.flatten))
        capture->exact = false;
    if (capture == nullptr && pieces.size() >= kMaxPieces) {
        unknownBeneath = true;
        return;
    }
    const double width = style.strokeWidth * ctm.Scale();
    const bool fills = paint.fill.kind != FillKind::kNone;
    const bool strokes = paint.stroke.kind == FillKind::kColor && width > 0;
    for (int k = 0; k < 2; ++k) {
        if (k == 0 ? !fills : !strokes)
            continue;
        Piece p;
        p.path = page;
        p.style = style;
        p.style.unsupported.clear();
        p.ctm = ctm;
        p.clips = clipChain;
        p.family = bandFamily;
        p.box = BoundsOf(page);
        if (k == 0) {
            p.paint.fill = paint.fill;
            p.known = !paint.fill.flatten && (paint.fill.kind == FillKind::kColor ||
                                              (paint.fill.kind == FillKind::kGradient &&
                                               gradientDefs.count(paint.fill.tag) != 0));
        } else {
            p.paint.stroke = paint.stroke;
            p.known = !paint.stroke.flatten;
            // Miters reach out to their limit, square caps half a width.
            const double reach =
                width / 2 * (style.join == 0 ? 1.5 : std::max(style.miterLimit, 1.5));
            p.box.minX -= reach, p.box.minY -= reach, p.box.maxX += reach, p.box.maxY += reach;
        }
        for (const auto& clip : clipChain) {
            if (clip->exact)
                p.box = Intersect(p.box, clip->box);
            else
                p.known = false;
        }
        if (!p.box.valid)
            continue;  // clipped away
        p.alpha = groupAlpha * (k == 0 ? style.fillOpacity * paint.fill.opacity
                                       : style.strokeOpacity * paint.stroke.opacity);
        (capture != nullptr ? capture->parts : pieces).push_back(std::move(p));
    }
}

void Reader::NoteUnknownArea(Box box, long effect)
{
    ++boxedObjects;
    // What is no piece cannot be drawn again from pieces: an object walked
    // apart that holds it is an image.
    if (capture != nullptr)
        capture->exact = false;
    if (!box.valid || tileDepth > 0)
        return;
    const double margin = UnknownMargin();
    box.minX -= margin, box.minY -= margin, box.maxX += margin, box.maxY += margin;
    unknownAreas.push_back({box, effect});
}

void Reader::WriteClipRegion(const ClipRegion& region)
{
    std::size_t members = 0;
    for (const Subpath& s : region.path.subpaths)
        members += s.segments.empty() ? 0 : 1;
    const bool composite = members > 1 || region.evenOdd;
    if (composite)
        draw.BeginComposite();
    WritePath(region.path, composite && !region.evenOdd);
    if (composite) {
        draw.EndComposite();
        evenOddInForce = region.evenOdd;
    }
}

void Reader::OpenClip(const std::shared_ptr<const ClipRegion>& region)
{
    draw.BeginMask();
    draw.BeginClipRgn();
    WriteClipRegion(*region);
    draw.EndClipRgn();
    clipChain.push_back(region);
}

void Reader::EmitClipped(const ClipChain& extra, const Piece& drawn)
{
    for (const auto& r : extra)
        OpenClip(r);
    WriteShape(drawn.style, drawn.paint, drawn.ctm, drawn.path);
    for (std::size_t i = 0; i < extra.size(); ++i) {
        draw.EndMask();
        clipChain.pop_back();
    }
}

bool Reader::EmitOver(const Piece& part, const ClipChain& inner, const Piece& below, int mode,
                      std::size_t budget)
{
    if (draw.Mark() > budget)
        outOfRoom = true;
    if (!below.known || draw.Mark() > budget)
        return false;
    const BlendMode blend = static_cast<BlendMode>(mode);
    ClipChain extra;
    for (const auto& r : inner)
        if (!Contains(clipChain, r))
            extra.push_back(r);
    for (const auto& r : below.clips)
        if (!Contains(clipChain, r) && !Contains(extra, r))
            extra.push_back(r);
    const bool partStroke = IsStroke(part), belowStroke = IsStroke(below);
    // What vectors cannot mix goes into an image of the two boxes' overlap,
    // drawn over the object, unless the object is drawn through a reference
    // (the image would be of all the reference draws).
    auto patch = [&] {
        if (depth != 0)
            return false;
        patches.push_back(Intersect(part.box, below.box));
        return true;
    };
    if (part.paint.fill.kind == FillKind::kGradient) {
        if (belowStroke || below.paint.fill.kind != FillKind::kColor) {
            // Over a stroke or another gradient the mixture varies both
            // ways: the object goes in bands of flat colour over the
            // overlap, each mixed as a flat colour is, inside its shape.
            const auto it = gradientDefs.find(part.paint.fill.tag);
            if (it == gradientDefs.end())
                return patch();
            // The clips all bands share are opened once around them.
            extra.push_back(RegionOf(part));
            for (const auto& r : extra)
                OpenClip(r);
            bool drawn = true, any = false;
            for (const Band& band :
                 BandsOf(it->second.shape, Intersect(part.box, below.box), part.alpha)) {
                Piece flat = part;
                flat.path = band.path;
                flat.style.evenOdd = false;
                flat.paint.fill = Fill();
                flat.paint.fill.kind = FillKind::kColor;
                flat.paint.fill.color = band.color;
                flat.alpha = part.alpha * band.opacity;
                flat.box = Intersect(BoundsOf(band.path), part.box);
                // A clear band replaces those before it, unless none is drawn yet.
                if (!Meets(flat.box, below.box) || (!(flat.alpha > 0) && !any))
                    continue;
                any = true;
                if (!EmitOver(flat, {}, below, mode, budget)) {
                    drawn = false;
                    break;
                }
            }
            for (std::size_t i = 0; i < extra.size(); ++i)
                CloseClip();
            return drawn;
        }
        extra.push_back(RegionOf(below));
        Piece drawn = part;
        if (!CompositeGradient(drawn.paint.fill, part.alpha, below.paint.fill.color, mode))
            return false;
        EmitClipped(extra, drawn);
        return true;
    }
    const Rgb source = partStroke ? part.paint.stroke.color : part.paint.fill.color;
    const bool gradientBelow = !belowStroke && below.paint.fill.kind == FillKind::kGradient;
    // A stroke over a gradient as the area it covers, a flat fill: the
    // gradient is then mixed whole, inside the stroke's outline.
    if (gradientBelow && partStroke && AffineInBackdrop(blend) &&
        options.strokes == Options::Strokes::kAsDrawn) {
        std::shared_ptr<const ClipRegion> outline;
        if (RegionOfPart(part, outline) != nullptr) {
            Piece area = part;
            area.path = outline->path;
            area.style.evenOdd = false;
            area.paint.fill = part.paint.stroke;
            area.paint.stroke = Fill();
            return EmitOver(area, inner, below, mode, budget);
        }
    }
    // A gradient beneath that a stroke, or a mode not affine in the backdrop,
    // cannot be mixed with whole: in bands of flat colour over the overlap,
    // each mixed as a flat fill is.
    if (gradientBelow && (partStroke || !AffineInBackdrop(blend))) {
        const auto it = gradientDefs.find(below.paint.fill.tag);
        if (it == gradientDefs.end())
            return patch();
        extra.push_back(RegionOf(below));
        for (const auto& r : extra)
            OpenClip(r);
        bool drawn = true;
        for (const Band& band : BandsOf(it->second.shape, Intersect(part.box, below.box))) {
            Piece flat = below;
            flat.path = band.path;
            flat.style.evenOdd = false;
            flat.paint.fill = Fill();
            flat.paint.fill.kind = FillKind::kColor;
            flat.paint.fill.color = band.color;
            flat.box = Intersect(BoundsOf(band.path), below.box);
            if (!Meets(flat.box, part.box))
                continue;
            if (!EmitOver(part, {}, flat, mode, budget)) {
                drawn = false;
                break;
            }
        }
        for (std::size_t i = 0; i < extra.size(); ++i)
            CloseClip();
        return drawn;
    }
    if (partStroke && belowStroke && options.strokes == Options::Strokes::kAsDrawn &&
        below.style.dashes.empty()) {
        // A stroke beneath as the area it covers (its outline), a flat fill.
        Piece area = below;
        area.path = StrokeOutline(below.path, StrokeShapeOf(below.style, below.ctm.Scale(), false));
        Spend(area.path.subpaths.size());
        if (area.path.Empty())
            return true;  // it covers nothing
        area.style.evenOdd = false;
        area.paint.fill = below.paint.stroke;
        area.paint.stroke = Fill();
        return EmitOver(part, inner, area, mode, budget);
    }
    if (partStroke || (!belowStroke && below.paint.fill.kind == FillKind::kColor)) {
        // The object's own path, inside the piece's shape. A dashed stroke
        // as a clip would need its dashes' outline: such a piece is an image.
        if (belowStroke || below.paint.fill.kind != FillKind::kColor)
            return patch();
        extra.push_back(RegionOf(below));
        Piece drawn = part;
        (partStroke ? drawn.paint.stroke.color : drawn.paint.fill.color) =
            Compose(below.paint.fill.color, source, part.alpha, blend);
        EmitClipped(extra, drawn);
        return true;
    }
    // A stroke or a gradient beneath is drawn again, inside the object's
    // shape (in the piece's own path: a gradient is placed by its path).
    extra.push_back(RegionOf(part));
    Piece drawn = below;
    if (belowStroke) {
        drawn.paint.stroke.color = Compose(below.paint.stroke.color, source, part.alpha, blend);
    } else {
        const auto it = gradientDefs.find(below.paint.fill.tag);
        if (it == gradientDefs.end())
            return false;
        if (!AffineInBackdrop(blend))
            return patch();
        if (!DefineComposite(Beneath(it->second, source, part.alpha, blend), drawn.paint.fill))
            return false;
    }
    EmitClipped(extra, drawn);
    return true;
}

bool Reader::EmitFlattenedInBands(const Capture& c, int mode, bool isolated)
{
    bandsMade = outOfRoom = false;
    if (EmitFlattened(c, mode, isolated))
        return true;
    bool drawn = false;
    for (const std::size_t cap : kFewerBands) {
        if (drawn || !bandsMade || !outOfRoom || cap >= bandCap)
            break;
        const std::size_t before = bandCap;
        bandCap = cap;
        bandsMade = outOfRoom = false;
        drawn = EmitFlattened(c, mode, isolated);
        bandCap = before;
    }
    return drawn;
}

bool Reader::EmitFlattened(const Capture& c, int mode, bool isolated)
{
    RecordBuffer out;
    out.Swap(draw);
    const std::size_t defsMark = defs.Mark(), before = pieces.size();
    const bool evenOdd = evenOddInForce;
    const int family = bandFamily, written = gradientsWritten;
    // The balance: the records of the vectors against the bytes the image
    // of the object's box would take.
    Box whole;
    for (const Piece& part : c.parts)
        whole = Union(whole, part.box);
    const double dpi = FlattenDpi();
    const double imageBytes =
        whole.valid ? whole.Width() * dpi * whole.Height() * dpi * kImageBytesPerPixel : 0;
    const double allowed = std::clamp(kVectorPreference * imageBytes, kMinVectorBytes, 1e15);
    const std::size_t budget = options.flattenMode == Options::FlattenMode::kVector
                                   ? std::numeric_limits<std::size_t>::max()
                                   : static_cast<std::size_t>(allowed);
    auto spent = [&] { return draw.Mark() + (defs.Mark() - defsMark); };
    // The clips of the parts, open while consecutive parts share them (the
    // bands of a gradient share their shape).
    ClipChain opened;
    auto openTo = [&](const ClipChain& inner) {
        std::size_t common = 0;
        while (common < opened.size() && common < inner.size() && opened[common] == inner[common])
            ++common;
        for (; opened.size() > common; opened.pop_back()) {
            draw.EndMask();
            clipChain.pop_back();
        }
        for (std::size_t i = common; i < inner.size(); ++i) {
            OpenClip(inner[i]);
            opened.push_back(inner[i]);
        }
    };
    bool exact = true;
    patches.clear();
    overlaps.clear();
    // Over what lies in an image the object is drawn as vectors all the same,
    // and that image is drawn up to it and placed above it: it covers the
    // overlap. Wholly within such areas the vectors would all be covered.
    bool within = !c.parts.empty();
    for (std::size_t k = 0; k < c.parts.size() && exact;) {
        // A run of parts: one, or the bands of one gradient. Each band
        // replaces the ones before, so a band is never mixed with them; all
        // go over the paper first and then over each piece beneath in turn,
        // so that the edges of neighbouring bands meet in like colours.
        std::size_t end = k + 1;
        if (c.parts[k].family != 0)
            while (end < c.parts.size() && c.parts[end].family == c.parts[k].family)
                ++end;
        const std::size_t limit = isolated ? before : pieces.size();
        std::vector<std::pair<std::size_t, Piece>> papers;  // each part over the paper
        std::vector<std::size_t> mixed;  // parts that show what is beneath
        bool drawnInRun = false;
        std::map<std::size_t, std::shared_ptr<const ClipRegion>> regions;  // their shapes
        for (; k < end && exact; ++k) {
            const Piece& part = c.parts[k];
            const bool gradient = !IsStroke(part) && part.paint.fill.kind == FillKind::kGradient;
            const bool flat = IsStroke(part) ? part.paint.stroke.kind == FillKind::kColor
                                             : part.paint.fill.kind == FillKind::kColor;
            if (!part.known || !(flat || gradient)) {
                exact = false;
                break;
            }
            // What lies beneath there is not known: it is left to pixels.
            // Through a reference the image would be of all the reference draws.
            bool inside = false;
            overlapTests += unknownAreas.size();
            for (const UnknownArea& area : unknownAreas) {
                if (!Meets(part.box, area.box))
                    continue;
                const Box overlap = Intersect(part.box, area.box);
                inside = inside ||
                         (overlap.minX <= part.box.minX && overlap.maxX >= part.box.maxX &&
                          overlap.minY <= part.box.minY && overlap.maxY >= part.box.maxY);
                overlaps.push_back({overlap, area.effect});
            }
            within = within && inside;
            exact = (overlaps.empty() || depth == 0) && !(within && k + 1 == c.parts.size()) &&
                    overlapTests <= kMaxOverlapTests;
            if (!exact)
                break;
            // Within a group that is composited as a whole, a translucent
            // member over another would show it: that mixture is left to pixels.
            if (isolated && part.alpha < c.opacity * (1 - 1e-9))
                for (std::size_t j = 0; j < k && exact; ++j)
                    exact = (part.family != 0 && c.parts[j].family == part.family) ||
                            !Meets(part.box, c.parts[j].box);
            // A clear band still replaces the bands before it: only until
            // one is drawn is it nothing.
            if (!exact || (!(part.alpha > 0) && (part.family == 0 || !drawnInRun)))
                continue;
            drawnInRun = true;
            const bool opaque = part.alpha >= 1 && mode == static_cast<int>(BlendMode::kNormal);
            Piece paper = part;
            if (gradient) {
                // Its definition went with the records of the walk apart: it
                // is defined again, composited over the paper.
                if (!CompositeGradient(paper.paint.fill, part.alpha, {255, 255, 255},
                                       static_cast<int>(BlendMode::kNormal))) {
                    exact = false;
                    break;
                }
            } else if (!opaque) {
                Rgb& colour = IsStroke(part) ? paper.paint.stroke.color : paper.paint.fill.color;
                colour = OverPaper(colour, part.alpha);
            }
            papers.emplace_back(k, std::move(paper));
            // Opaque throughout: nothing beneath shows (a gradient's stops may not be).
            bool allOpaque = opaque;
            if (gradient)
                for (const Stop& stop : gradientDefs.at(part.paint.fill.tag).stops)
                    allOpaque = allOpaque && stop.opacity >= 1;
            if (!allOpaque)
                mixed.push_back(k);
        }
        // Where an opaque fill beneath covers a part's whole box (its path and
        // its clips convex around it), what lies under that fill is hidden
        // there: the part is mixed with that fill and those above it only.
        std::map<std::size_t, std::size_t> from;
        for (const std::size_t j : mixed) {
            const Box& box = c.parts[j].box;
            const std::vector<Point> hull = HullOf(box, &c.parts[j].path);
            for (std::size_t i = limit; i-- > 0 && overlapTests <= kMaxOverlapTests;) {
                ++overlapTests;
                const Piece& p = pieces[i];
                if (IsStroke(p) || !p.known || p.box.minX > box.minX || p.box.minY > box.minY ||
                    p.box.maxX < box.maxX || p.box.maxY < box.maxY)
                    continue;
                bool covers = Covers(p.path, hull);
                for (const auto& r : p.clips)
                    covers = covers && (Contains(c.parts[j].clips, r) || Covers(r->path, hull));
                if (covers) {
                    from[j] = i;
                    break;
                }
            }
        }
        // Over the paper, but where a fill beneath covers the part: it is
        // drawn over that fill in all its shape, and a second edge there
        // would let the paper's colour through the smoothing of both.
        for (const auto& [k2, paper] : papers) {
            if (!exact)
                break;
            if (from.count(k2) != 0)
                continue;
            openTo(InnerClips(c.parts[k2], c.outerClips));
            bandFamily = c.parts[k2].family;
            EmitClipped({}, paper);
        }
        // The bands of a run over a piece show only where both are, inside
        // the clips of both: there a band is hidden by any later band that
        // holds all of it, and draws nothing when it does not meet it.
        const bool banded = mixed.size() > 1 && c.parts[mixed.front()].family != 0;
        const ClipChain& runClips = banded ? c.parts[mixed.front()].clips : ClipChain{};
        auto sameClips = [&](const Piece& band) {
            return band.family == c.parts[mixed.front()].family && band.clips == runClips &&
                   !IsStroke(band) && band.paint.fill.kind == FillKind::kColor;
        };
        Box runBox;
        for (const std::size_t j : mixed)
            runBox = Union(runBox, c.parts[j].box);
        for (std::size_t i = 0; i < limit && exact && !mixed.empty(); ++i) {
            const Piece below = pieces[i];  // the list grows as pieces are drawn
            Path shown;
            bool shownKnown = false;
            Path on;  // the piece within its clips, when a band may lie wholly on it
            bool onKnown = false, onEvenOdd = false;
            std::shared_ptr<const ClipRegion> belowRegion;  // made once, for the bands' mixtures
            std::vector<Point> shownPoints;
            Box shownBox;
            if (banded && below.known && !IsStroke(below) && Meets(runBox, below.box)) {
                std::vector<FilledArea> areas{{&below.path, below.style.evenOdd}};
                for (const ClipChain* chain : {&below.clips, &runClips})
                    for (const auto& r : *chain)
                        if (r->exact && (chain == &below.clips || !Contains(below.clips, r)))
                            areas.push_back({&r->path, r->evenOdd});
                shownKnown = CommonArea(areas, shown);
                for (const Subpath& sub : shown.subpaths) {
                    shownPoints.push_back(sub.start);
                    for (const Segment& g : sub.segments)
                        shownPoints.push_back(g.to);
                }
                for (const Point& p : shownPoints)
                    shownBox.Add(p.x, p.y);
                if (shownKnown && shownPoints.empty())
                    continue;  // nothing of the piece lies within the bands' clips
            }
            // A band of the object whose path holds the piece's box (or the
            // area it shows) is drawn over it everywhere the bands before it
            // are: those are spared.
            std::size_t first = 0;
            const std::vector<Point> belowHull =
                shownKnown ? shownPoints : HullOf(below.box, &below.path);
            // The points of the area shown are on lines within the tolerance
            // of its edges: they must lie that far inside.
            const double margin = shownKnown ? 2 * kOutlineTolerance : 0;
            for (std::size_t pos = mixed.size(); pos-- > 1 && overlapTests <= kMaxOverlapTests;) {
                const Piece& band = c.parts[mixed[pos]];
                if (band.family == 0)
                    break;
                ++overlapTests;
                if (band.paint.fill.kind == FillKind::kColor && !IsStroke(band) &&
                    (shownKnown ? sameClips(band)
                                : band.box.minX <= below.box.minX &&
                                      band.box.minY <= below.box.minY &&
                                      band.box.maxX >= below.box.maxX &&
                                      band.box.maxY >= below.box.maxY) &&
                    Covers(band.path, belowHull, margin)) {
                    first = pos;
                    break;
                }
            }
            for (std::size_t pos = first; pos < mixed.size() && exact; ++pos) {
                const std::size_t j = mixed[pos];
                if (i < from[j])
                    continue;
                if (shownKnown && sameClips(c.parts[j])) {
                    if (!Meets(c.parts[j].box, shownBox))
                        continue;
                    Path met;
                    if (!Covers(c.parts[j].path, belowHull, margin) &&
                        CommonArea({{&shown, false}, {&c.parts[j].path, c.parts[j].style.evenOdd}},
                                   met) &&
                        met.subpaths.empty())
                        continue;
                }
                if (++overlapTests > kMaxOverlapTests) {
                    exact = false;
                    break;
                }
                const Piece& part = c.parts[j];
                if (!Meets(part.box, below.box))
                    continue;
                // The bands of a run over a flat fill are mixed in their own
                // paths, inside the piece's shape and clips, opened once for
                // them all; with none of those when the band lies wholly on
                // what the piece shows. (A gradient is placed by the path it
                // fills: over one, the piece's path is drawn again.)
                // So is a gradient beneath, its mixture placed in the band's
                // own box: each band's mixture is a definition of its own anyway.
                const auto belowGradient = below.paint.fill.kind == FillKind::kGradient
                                               ? gradientDefs.find(below.paint.fill.tag)
                                               : gradientDefs.end();
                const bool gradientInPath =
                    belowGradient != gradientDefs.end() && belowGradient->second.exact &&
                    AffineInBackdrop(static_cast<BlendMode>(mode));
                const bool inPath = banded && below.known && !IsStroke(below) &&
                                    !IsStroke(part) && part.paint.fill.kind == FillKind::kColor &&
                                    (below.paint.fill.kind == FillKind::kColor || gradientInPath);
                if (inPath && shownKnown && part.path.subpaths.size() == 1 && !onKnown) {
                    // The piece within its own clips (the band is drawn in its clips).
                    std::vector<FilledArea> areas{{&below.path, below.style.evenOdd}};
                    for (const auto& r : below.clips)
                        if (r->exact)
                            areas.push_back({&r->path, r->evenOdd});
                    onKnown = CommonArea(areas, on);
                    onEvenOdd = areas.size() == 1 && below.style.evenOdd;
                }
                const bool within =
                    inPath && onKnown && part.path.subpaths.size() == 1 &&
                    Holds({&on, onEvenOdd}, {&part.path, part.style.evenOdd}, margin);
                // The clips of the piece beneath too, so that the pieces of
                // one clip (the bands of a gradient) share them.
                ClipChain chain = InnerClips(part, c.outerClips);
                const auto outer = clipChain.begin() + static_cast<std::ptrdiff_t>(c.outerClips);
                for (const auto& r : below.clips)
                    if (!within && std::find(clipChain.begin(), outer, r) == outer &&
                        !Contains(chain, r))
                        chain.push_back(r);
                if (inPath && !within) {
                    if (belowRegion == nullptr)
                        belowRegion = RegionOf(below);
                    chain.push_back(belowRegion);
                }
                bandFamily = part.family;
                // A flat colour over a flat fill: the fill is drawn again in
                // the mixture inside the object's shape, a clip that pieces
                // beneath in a row (the bands of a gradient) share.
                // A gradient over a flat fill likewise, its mixture placed
                // in the fill's box: the object's shape stays one clip.
                const auto partGradient = !IsStroke(part) &&
                                                  part.paint.fill.kind == FillKind::kGradient
                                              ? gradientDefs.find(part.paint.fill.tag)
                                              : gradientDefs.end();
                const bool gradientOver =
                    partGradient != gradientDefs.end() && partGradient->second.exact &&
                    AffineInBackdrop(static_cast<BlendMode>(mode));
                const bool flatOver =
                    below.known && !IsStroke(below) &&
                    below.paint.fill.kind == FillKind::kColor &&
                    (part.paint.fill.kind != FillKind::kGradient || gradientOver) &&
                    (!IsStroke(part) || options.strokes == Options::Strokes::kAsDrawn) &&
                    RegionOfPart(part, regions[j]) != nullptr;
                if (inPath) {
                    openTo(chain);
                    Piece drawn = part;
                    if (gradientInPath) {
                        GradientDef g = Beneath(belowGradient->second, part.paint.fill.color,
                                                part.alpha, static_cast<BlendMode>(mode));
                        g.placed = PlacedIn(g, BoundsOf(part.path));
                        drawn.paint.fill = below.paint.fill;
                        if (!DefineComposite(std::move(g), drawn.paint.fill)) {
                            exact = false;
                            break;
                        }
                    } else {
                        drawn.paint.fill.color =
                            Compose(below.paint.fill.color, part.paint.fill.color, part.alpha,
                                    static_cast<BlendMode>(mode));
                    }
                    EmitClipped({}, drawn);
                    exact = draw.Mark() <= budget;
                    outOfRoom = outOfRoom || !exact;
                    if (!exact)
                        break;
                    continue;
                }
                if (flatOver) {
                    // A piece that lies in the object's box but not under its
                    // shape (a thin stroke's outline) shows nothing of it.
                    {
                        std::vector<FilledArea> areas{{&regions[j]->path, regions[j]->evenOdd},
                                                      {&below.path, below.style.evenOdd}};
                        Path met;
                        if (CommonArea(areas, met) && met.subpaths.empty())
                            continue;
                    }
                    chain.push_back(regions[j]);
                    openTo(chain);
                    Piece drawn = below;
                    if (gradientOver) {
                        GradientDef g = partGradient->second;
                        g.stops = CompositeStops(g.stops, below.paint.fill.color, part.alpha,
                                                 static_cast<BlendMode>(mode));
                        g.shape.stops = g.stops;
                        g.placed = PlacedIn(g, BoundsOf(below.path));
                        drawn.paint.fill = part.paint.fill;
                        drawn.paint.fill.opacity = below.paint.fill.opacity;
                        if (!DefineComposite(std::move(g), drawn.paint.fill)) {
                            exact = false;
                            break;
                        }
                    } else {
                        const Rgb source =
                            IsStroke(part) ? part.paint.stroke.color : part.paint.fill.color;
                        drawn.paint.fill.color =
                            Compose(below.paint.fill.color, source, part.alpha,
                                    static_cast<BlendMode>(mode));
                    }
                    EmitClipped({}, drawn);
                    exact = draw.Mark() <= budget;
                    outOfRoom = outOfRoom || !exact;
                    if (!exact)
                        break;
                    continue;
                }
                openTo(chain);
                exact = EmitOver(part, {}, below, mode, budget);
                if (!exact)
                    break;
            }
        }
        outOfRoom = outOfRoom || (exact && spent() > budget);
        exact = exact && spent() <= budget;
    }
    openTo({});
    bandFamily = family;
    // Images of pieces that cover most of the object spare nothing: an
    // image of the object is the smaller file.
    if (exact && !patches.empty()) {
        double patched = 0;
        for (const Box& p : patches)
            patched += p.valid ? p.Width() * p.Height() : 0;
        exact = patched <= kMaxPatchedShare * whole.Width() * whole.Height();
    }
    out.Swap(draw);
    if (!exact) {
        pieces.resize(before);
        defs.Truncate(defsMark);
        ForgetGradientsAfter(written);
        evenOddInForce = evenOdd;
        return false;
    }
    draw.Append(out);
    // Above all the object draws as vectors, the images of what they cannot
    // draw; what is drawn later over them is drawn into them too.
    const double pixel = 2 / FlattenDpi();
    for (Box area : patches) {
        if (!area.valid)
            continue;
        area.minX -= pixel, area.minY -= pixel, area.maxX += pixel, area.maxY += pixel;
        effects.push_back({c.root, draw.Mark(), area, -1, clipChain.size()});
        const double margin = UnknownMargin();
        area.minX -= margin, area.minY -= margin, area.maxX += margin, area.maxY += margin;
        unknownAreas.push_back({area, static_cast<long>(effects.size()) - 1});
    }
    // The overlaps lie within areas already known to be unknown.
    for (const UnknownArea& o : overlaps)
        if (o.box.valid)
            effects.push_back({c.root, draw.Mark(), o.box, o.effect, clipChain.size()});
    return true;
}

namespace {

// What a mask lets through where its content is this colour, opaque: the
// luminance of the sRGB values, as SVG's luminance masks and librsvg have it.
double Luminance(Rgb c) { return (0.2125 * c.r + 0.7154 * c.g + 0.0721 * c.b) / 255; }

// Whether two paths are the same points, within rounding.
bool SamePath(const Path& a, const Path& b)
{
    auto near = [](Point p, Point q) {
        return std::fabs(p.x - q.x) <= 1e-9 && std::fabs(p.y - q.y) <= 1e-9;
    };
    if (a.subpaths.size() != b.subpaths.size())
        return false;
    for (std::size_t i = 0; i < a.subpaths.size(); ++i) {
        const Subpath &s = a.subpaths[i], &t = b.subpaths[i];
        if (s.closed != t.closed || s.segments.size() != t.segments.size() ||
            !near(s.start, t.start))
            return false;
        for (std::size_t k = 0; k < s.segments.size(); ++k) {
            const Segment &g = s.segments[k], &h = t.segments[k];
            if (g.cubic != h.cubic || !near(g.to, h.to) ||
                (g.cubic && (!near(g.c1, h.c1) || !near(g.c2, h.c2))))
                return false;
        }
    }
    return true;
}

}  // namespace

bool Reader::MaskAsParts(Capture& c, xmlNodePtr node, const std::string& name, const Style& style,
                         const View& view)
{
    // What a use or a nested viewport places is in a space of its own.
    if (!c.exact || c.parts.size() != 1 || name == "use" || name == "svg")
        return false;
    const Piece element = c.parts[0];
    if (IsStroke(element) || !element.known || element.paint.fill.kind != FillKind::kColor)
        return false;
    xmlNodePtr mask = nullptr;
    Matrix m;
    Path regionPath;
    if (!MaskRegion(node, name, style, view, mask, m, regionPath))
        return false;
    // An alpha mask lets through by the content's alpha alone: pixels.
    if (Attr(mask, "mask-type").value_or("luminance") != "luminance" ||
        Attr(mask, "style").value_or("").find("mask-type") != std::string::npos)
        return false;
    const Style maskStyle = ComputeStyle(mask, Style());
    std::vector<xmlNodePtr> shapes;
    for (xmlNodePtr n = mask->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        const std::string kind = LocalName(n);
        if (!DrawnWhereItStands(kind))
            continue;  // a gradient defined in the mask
        if (kind != "rect" && kind != "circle" && kind != "ellipse" && kind != "path" &&
            kind != "polygon" && kind != "polyline")
            return false;
        const Style s = ComputeStyle(n, maskStyle);
        if (s.displayNone || !s.visible || s.opacity <= 0)
            continue;
        if (!s.unsupported.empty() || !s.clipPath.empty() ||
            (s.stroke.kind != Paint::kNone && s.stroke.kind != Paint::kUnset))
            return false;
        if (s.fill.kind == Paint::kUrl) {
            const auto it = ids.find(s.fill.url);
            if (it == ids.end() || (LocalName(it->second) != "linearGradient" &&
                                    LocalName(it->second) != "radialGradient"))
                return false;
        } else if (s.fill.kind != Paint::kColor && s.fill.kind != Paint::kNone) {
            return false;
        }
        shapes.push_back(n);
    }
    // The content walked apart like the element, in the element's user space.
    Capture content;
    content.root = mask;
    content.outerClips = clipChain.size();
    Capture* const outer = capture;
    const double alpha = groupAlpha;
    View inner = view;
    inner.ctm = m;
    capture = &content;
    groupAlpha = 1;
    try {
        for (xmlNodePtr n : shapes)
            Walk(n, maskStyle, inner);
    } catch (...) {
        capture = outer;
        groupAlpha = alpha;
        throw;
    }
    capture = outer;
    groupAlpha = alpha;
    if (!content.exact)
        return false;

    auto region = std::make_shared<ClipRegion>();
    region->path = regionPath;
    region->box = BoundsOf(regionPath);
    auto shape = std::make_shared<ClipRegion>();
    shape->path = element.path;
    shape->evenOdd = element.style.evenOdd;
    shape->box = BoundsOf(element.path);
    const std::vector<Point> elementHull = HullOf(element.box, &element.path);
    const ClipChain shared =
        content.parts.empty() ? ClipChain() : InnerClips(content.parts[0], content.outerClips);
    // Opaque content replaces what is beneath it in the mask, as a band does
    // the bands before it: all parts are of one family.
    const int family = ++families;
    std::vector<Piece> parts;
    for (std::size_t k = 0; k < content.parts.size(); ++k) {
        const Piece& p = content.parts[k];
        const bool gradient = p.paint.fill.kind == FillKind::kGradient;
        if (IsStroke(p) || !p.known || (!gradient && p.paint.fill.kind != FillKind::kColor))
            return false;
        // Replacing needs the same clip for all (the shape of a gradient in bands).
        if (InnerClips(p, content.outerClips) != shared)
            return false;
        Piece q = p;
        q.family = family;
        bool opaque = p.alpha >= 1;
        if (gradient) {
            const auto it = gradientDefs.find(p.paint.fill.tag);
            if (it == gradientDefs.end() || !it->second.exact)
                return false;
            // A gradient of the element's colour, each stop as opaque as it
            // lets the element through.
            GradientDef g = it->second;
            for (Stop& stop : g.stops) {
                opaque = opaque && stop.opacity >= 1;
                stop.opacity *= Luminance(stop.color);
                stop.color = element.paint.fill.color;
            }
            g.shape.stops = g.stops;
            q.paint.fill.tag = ++gradientCount;
            gradientDefs.emplace(q.paint.fill.tag, std::move(g));
            q.alpha = element.alpha * p.alpha;
        } else {
            q.paint.fill = element.paint.fill;
            q.alpha = element.alpha * p.alpha * Luminance(p.paint.fill.color);
        }
        // Translucent content over transparent black lets through its share;
        // over other content it composites with it, which no one part draws.
        if (!opaque)
            for (std::size_t j = 0; j < k; ++j)
                if (Meets(p.box, content.parts[j].box))
                    return false;
        q.clips = element.clips;
        q.box = Intersect(p.box, element.box);
        if (!Covers(regionPath, HullOf(p.box, &p.path))) {
            q.clips.push_back(region);
            q.box = Intersect(q.box, region->box);
        }
        // A clip's edge is drawn unsmoothed: none where the shape lies within
        // the element's. A flat part whose shape holds the element's is the
        // element's shape; a gradient keeps its path, whose box places it.
        if ((SamePath(p.path, element.path) && p.style.evenOdd == element.style.evenOdd) ||
            Covers(element.path, HullOf(p.box, &p.path))) {
        } else if (!gradient && shared.empty() && Covers(p.path, elementHull)) {
            q.path = element.path;
            q.style.evenOdd = element.style.evenOdd;
        } else {
            q.clips.push_back(shape);
        }
        q.clips.insert(q.clips.end(), shared.begin(), shared.end());
        if (q.box.valid)
            parts.push_back(std::move(q));
    }
    c.parts = std::move(parts);
    return true;
}

bool Reader::BlurAsParts(Capture& c, xmlNodePtr node, const std::string& name, const Style& style,
                         const View& view, int maxLevels)
{
    if (!c.exact || c.parts.empty() || name == "use" || name == "svg" || !(c.opacity > 0))
        return false;
    const xmlNodePtr filter = OwnFilter(style);
    if (filter == nullptr)
        return false;
    // One blur of the element's own drawing, over the whole region.
    xmlNodePtr blur = nullptr;
    for (xmlNodePtr n = filter->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (blur != nullptr || LocalName(n) != "feGaussianBlur")
            return false;
        blur = n;
    }
    if (blur == nullptr || Attr(blur, "in").value_or("SourceGraphic") != "SourceGraphic" ||
        Attr(blur, "x") || Attr(blur, "y") || Attr(blur, "width") || Attr(blur, "height") ||
        Attr(blur, "edgeMode").value_or("none") != "none")
        return false;
    const std::string deviation = Attr(blur, "stdDeviation").value_or("0");
    if (deviation.find_first_not_of("0123456789.eE+-, \t\r\n") != std::string::npos)
        return false;
    std::vector<double> sigma = ParseNumberList(deviation);
    if (sigma.size() == 1)
        sigma.push_back(sigma[0]);
    if (sigma.size() != 2)
        return false;
    const std::string units = Attr(filter, "primitiveUnits").value_or("userSpaceOnUse");
    if (units != "userSpaceOnUse" && units != "objectBoundingBox")
        return false;

    // Fills of one colour, clipped alike: the clips apply after the blur,
    // which holds for the element's own clip, not for clips within a group.
    const Piece first = c.parts[0];
    const bool shape = name == "rect" || name == "circle" || name == "ellipse" || name == "path" ||
                       name == "polygon" || name == "polyline" || name == "line";
    if (!shape && !InnerClips(first, c.outerClips).empty())
        return false;
    for (const Piece& p : c.parts)
        if (IsStroke(p) || !p.known || p.paint.fill.kind != FillKind::kColor ||
            p.paint.fill.color.r != first.paint.fill.color.r ||
            p.paint.fill.color.g != first.paint.fill.color.g ||
            p.paint.fill.color.b != first.paint.fill.color.b || p.clips != first.clips)
            return false;

    // The blur is in the element's user space.
    Matrix m = view.ctm;
    if (!ElementTransform(node, m))
        return false;
    const double det = m.Determinant();
    if (!m.IsFinite() || !(std::fabs(det) > 1e-12))
        return false;
    const Matrix inverse = m.Inverted();
    std::vector<BlurSource> sources;
    Box box;
    for (const Piece& p : c.parts) {
        BlurSource s{p.path, p.style.evenOdd, p.alpha / c.opacity};
        s.path.Transform(inverse);
        const Box b = BoundsOf(s.path);
        if (b.valid)
            box.Add(b.minX, b.minY), box.Add(b.maxX, b.maxY);
        sources.push_back(std::move(s));
    }
    if (!box.valid)
        return false;
    const bool user = Attr(filter, "filterUnits").value_or("") == "userSpaceOnUse";
    double x = 0, y = 0, w = 0, h = 0;
    if (!RegionRect(filter, ComputeStyle(filter, style), user, box, view, x, y, w, h))
        return false;
    BlurSettings settings;
    settings.deviationX = units == "objectBoundingBox" ? sigma[0] * box.Width() : sigma[0];
    settings.deviationY = units == "objectBoundingBox" ? sigma[1] * box.Height() : sigma[1];
    settings.region.Add(x, y);
    settings.region.Add(x + w, y + h);
    // Edges within a fifth of an image pixel of the level sets, which the
    // grid resolves to two pixels or a quarter of the deviation, whichever
    // is coarser (a wide blur has no detail finer); levels two 8-bit steps
    // apart in what is seen.
    const double pixel = 1 / FlattenDpi() / std::sqrt(std::fabs(det));
    settings.tolerance = pixel / 5;
    settings.maxPixel =
        std::max(2 * pixel, std::min(settings.deviationX, settings.deviationY) / 4);
    settings.step = 2.0 / 255 / c.opacity;
    settings.maxLevels = maxLevels;
    std::vector<BlurLevel> levels;
    if (!BlurLevels(sources, settings, levels))
        return false;

    const int family = ++families;
    std::vector<Piece> parts;
    for (BlurLevel& level : levels) {
        Piece q = first;
        q.path = std::move(level.area);
        q.path.Transform(m);
        if (!q.path.IsFinite())
            return false;
        q.style.evenOdd = true;
        q.alpha = c.opacity * level.alpha;
        q.family = family;
        q.box = BoundsOf(q.path);
        for (const auto& r : q.clips)
            q.box = Intersect(q.box, r->box);
        if (q.box.valid)
            parts.push_back(std::move(q));
    }
    c.parts = std::move(parts);
    return true;
}

bool Reader::FlattenAsVectors(xmlNodePtr node, const std::string& name, const Style& parent,
                              const Style& style, const View& view)
{
    if (!Tracking() || tileDepth > 0 || name == "image" || name == "flowRoot")
        return false;
    // A mask that is a clip, on an element with no other effect: vectors.
    if (style.unsupported.size() == 1 && style.unsupported[0] == "masks" && style.opacity >= 1 &&
        style.blendMode.empty()) {
        Style unmasked = style;
        unmasked.unsupported.clear();
        if (!HasEffect(node, name, unmasked, 0) && OpenMaskAsClip(node, name, style, view)) {
            maskedAsClip = node;
            try {
                WalkElement(node, name, parent, view);
            } catch (...) {
                maskedAsClip = nullptr;
                throw;
            }
            maskedAsClip = nullptr;
            CloseClip();
            CloseClip();
            return true;
        }
    }
    // Something beneath that is no known piece (text, an image, an object
    // in an image): what it looks like under this one is left to pixels.
    if (unknownBeneath || objects != knownObjects + boxedObjects) {
        unknownBeneath = true;
        return false;
    }
    BlendMode mode = BlendMode::kNormal;
    if (!style.blendMode.empty() && !ParseBlendMode(style.blendMode, mode))
        return false;
    // A filter or a mask needs pixels whatever lies beneath; it is walked
    // apart for the box of its image: a mask takes ink away, a filter paints
    // within its region.
    bool filtered = false, masked = false;
    for (const std::string& kind : style.unsupported) {
        filtered = filtered || kind == "filters";
        masked = masked || kind == "masks";
    }
    if (filtered && (style.filter.empty() || name == "use" || name == "svg" || depth != 0))
        return false;
    const bool isolated = style.opacity < 1 || mode != BlendMode::kNormal;

    // Walked apart, into records that are dropped: only its pieces are kept.
    Capture c;
    c.root = node;
    c.outerClips = clipChain.size();
    c.opacity = style.opacity;
    RecordBuffer scratch;
    scratch.Swap(draw);
    const std::size_t defsMark = defs.Mark();
    const int written = gradientsWritten;
    const auto patternsBefore = patterns;
    const bool evenOdd = evenOddInForce;
    const xmlNodePtr tree = treeNode;
    const long objectsBefore = objects, knownBefore = knownObjects, boxedBefore = boxedObjects;
    const std::size_t areasBefore = unknownAreas.size();
    const std::size_t warningsBefore = outcome.warnings.size();
    const long leftOutBefore = leftOut;
    const std::set<std::string> warnedBefore = warned;
    const double alpha = groupAlpha;
    capture = &c;
    // A luminance mask of plain shapes on one flat fill: parts of its colour.
    bool maskedAsParts = false;
    try {
        WalkElement(node, name, parent, view);
        if (masked && !filtered && style.unsupported.size() == 1 && style.opacity >= 1 &&
            mode == BlendMode::kNormal)
            maskedAsParts = MaskAsParts(c, node, name, style, view);
    } catch (...) {
        capture = nullptr;
        scratch.Swap(draw);
        throw;
    }
    capture = nullptr;
    scratch.Swap(draw);
    defs.Truncate(defsMark);
    ForgetGradientsAfter(written);
    patterns = patternsBefore;
    evenOddInForce = evenOdd;
    treeNode = tree;
    groupAlpha = alpha;
    const bool allPieces =
        objects - objectsBefore == knownObjects - knownBefore + boxedObjects - boxedBefore;
    // Where it may leave ink, should it go into an image: its pieces and the
    // areas of what in it is no piece. The image of an object drawn through
    // a reference is that of the whole reference: no box for it.
    Box area;
    bool bounded = allPieces && c.bounded && depth == 0;
    for (const Piece& p : c.parts)
        area = Union(area, p.box);
    for (std::size_t i = areasBefore; i < unknownAreas.size(); ++i)
        area = Union(area, unknownAreas[i].box);
    if (filtered && bounded) {
        std::vector<Box> boxes;
        for (std::size_t i = areasBefore; i < unknownAreas.size(); ++i)
            boxes.push_back(unknownAreas[i].box);
        area = FilterRegion(node, style, view, c.parts, boxes);
        bounded = area.valid;
    }
    const bool blurrable =
        filtered && !masked && style.unsupported.size() == 1 && mode == BlendMode::kNormal;
    const std::vector<Piece> unblurred = blurrable ? c.parts : std::vector<Piece>();
    bool blurredAsParts = blurrable && BlurAsParts(c, node, name, style, view);
    if ((filtered && !blurredAsParts) || (masked && !maskedAsParts))
        c.exact = false;
    unknownAreas.resize(areasBefore);
    boxedObjects = boxedBefore;
    objects = objectsBefore;
    knownObjects = knownBefore;
    // What its vectors would draw otherwise than SVG (a gradient stroke in
    // one colour) the picture shows as drawn.
    if (leftOut != leftOutBefore)
        c.exact = false;
    bool drawn = c.exact && allPieces && EmitFlattenedInBands(c, static_cast<int>(mode), isolated);
    // A blur whose levels take more bytes than its image is tried again in
    // fewer, coarser ones.
    for (const int levels : kFewerBlurLevels) {
        if (drawn || !blurredAsParts || !outOfRoom || !allPieces)
            break;
        c.parts = unblurred;
        blurredAsParts = BlurAsParts(c, node, name, style, view, levels);
        drawn = blurredAsParts && EmitFlattenedInBands(c, static_cast<int>(mode), isolated);
    }
    if (!drawn) {
        outcome.warnings.resize(warningsBefore);
        warned = warnedBefore;
        if (bounded)  // the image it goes into, next
            NoteUnknownArea(area, static_cast<long>(effects.size()));
        return false;
    }
    ++objects;
    ++knownObjects;
    return true;
}

}  // namespace svgreader
