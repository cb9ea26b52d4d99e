// Transparency flattened as vectors. An object with transparency is walked
// apart first, to learn the paths it paints; then it is drawn in the colour
// it gives over the paper and, clipped to each opaque piece already drawn
// beneath it, in the colour it gives over that piece. Later pieces overwrite
// earlier ones exactly as the backdrop does, so what is seen is what SVG
// composites. What cannot be exact goes into an image (SvgFlatten.cpp).
#include <algorithm>
#include <cmath>
#include <limits>

#include "SvgCompose.h"
#include "SvgDocument.h"

namespace svgreader {

namespace {

// Clip groups one object may add in the balanced mode: beyond them an image
// of its area is the smaller file (a piece costs some 200 bytes of records
// and output, an inch of image at the default resolution some 270 kB).
constexpr std::size_t kPieceBudget = 64;
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

}  // namespace

bool Reader::CompositeGradient(Fill& fill, double alpha, Rgb backdrop, int mode)
{
    const auto it = gradientDefs.find(fill.tag);
    // A translucent gradient the records draw otherwise than SVG would show
    // the wrong things beneath it: a picture.
    if (fill.kind != FillKind::kGradient || it == gradientDefs.end() || !it->second.exact ||
        !AffineInBackdrop(static_cast<BlendMode>(mode)))
        return false;
    GradientDef g = it->second;
    g.stops = CompositeStops(g.stops, backdrop, alpha, static_cast<BlendMode>(mode));
    fill.name = GradientName(g.id);
    fill.tag = ++gradientCount;
    WriteGradientDef(fill.name, fill.tag, g.placed, g.stops);
    gradientDefs.emplace(fill.tag, std::move(g));
    return true;
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
        p.box = BoundsOf(page);
        if (k == 0) {
            p.paint.fill = paint.fill;
            p.known = !paint.fill.flatten && (paint.fill.kind == FillKind::kColor ||
                                              (paint.fill.kind == FillKind::kGradient &&
                                               gradientDefs.count(paint.fill.tag) != 0));
        } else {
            p.paint.stroke = paint.stroke;
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

void Reader::EmitClipped(const ClipChain& extra, const Piece& drawn)
{
    for (const auto& r : extra) {
        draw.BeginMask();
        draw.BeginClipRgn();
        WriteClipRegion(*r);
        draw.EndClipRgn();
        clipChain.push_back(r);
    }
    WriteShape(drawn.style, drawn.paint, drawn.ctm, drawn.path);
    for (std::size_t i = 0; i < extra.size(); ++i) {
        draw.EndMask();
        clipChain.pop_back();
    }
}

bool Reader::EmitOver(const Piece& part, const ClipChain& inner, const Piece& below, int mode,
                      std::size_t& budget)
{
    if (!below.known || budget == 0)
        return false;
    --budget;
    const BlendMode blend = static_cast<BlendMode>(mode);
    ClipChain extra = inner;
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
        // A translucent gradient over a flat fill only: over a stroke or
        // another gradient the mixture varies both ways.
        if (belowStroke || below.paint.fill.kind != FillKind::kColor)
            return patch();
        extra.push_back(RegionOf(below));
        Piece drawn = part;
        if (!CompositeGradient(drawn.paint.fill, part.alpha, below.paint.fill.color, mode))
            return false;
        EmitClipped(extra, drawn);
        return true;
    }
    const Rgb source = partStroke ? part.paint.stroke.color : part.paint.fill.color;
    if (partStroke || (!belowStroke && below.paint.fill.kind == FillKind::kColor)) {
        // The object's own path, inside the piece's shape. A stroke as a
        // clip would need its outline: such a piece is an image.
        if (belowStroke || below.paint.fill.kind != FillKind::kColor)
            return patch();
        extra.push_back(RegionOf(below));
        Piece drawn = part;
        (partStroke ? drawn.paint.stroke.color : drawn.paint.fill.color) =
            Compose(below.paint.fill.color, source, part.alpha, blend);
        EmitClipped(extra, drawn);
        return true;
    }
    // A stroke or a gradient beneath is drawn again, inside the object's shape.
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
        GradientDef g = it->second;
        for (Stop& s : g.stops)
            s.color = Compose(s.color, source, part.alpha, blend);
        drawn.paint.fill.name = GradientName(g.id);
        drawn.paint.fill.tag = ++gradientCount;
        WriteGradientDef(drawn.paint.fill.name, drawn.paint.fill.tag, g.placed, g.stops);
        gradientDefs.emplace(drawn.paint.fill.tag, std::move(g));
    }
    EmitClipped(extra, drawn);
    return true;
}

bool Reader::EmitFlattened(const Capture& c, int mode, bool isolated)
{
    RecordBuffer out;
    out.Swap(draw);
    const std::size_t defsMark = defs.Mark(), before = pieces.size();
    const bool evenOdd = evenOddInForce;
    std::size_t budget = options.flattenMode == Options::FlattenMode::kVector
                             ? std::numeric_limits<std::size_t>::max()
                             : kPieceBudget;
    bool exact = true;
    patches.clear();
    overlaps.clear();
    // Over what lies in an image the object is drawn as vectors all the same,
    // and that image is drawn up to it and placed above it: it covers the
    // overlap. Wholly within such areas the vectors would all be covered.
    bool within = !c.parts.empty();
    for (std::size_t k = 0; k < c.parts.size() && exact; ++k) {
        const Piece& part = c.parts[k];
        const bool gradient = !IsStroke(part) && part.paint.fill.kind == FillKind::kGradient;
        const bool flat = IsStroke(part) ? part.paint.stroke.kind == FillKind::kColor
                                         : part.paint.fill.kind == FillKind::kColor;
        if (!part.known || !(flat || gradient)) {
            exact = false;
            break;
        }
        // What lies beneath there is not known: it is left to pixels. Through
        // a reference the image would be of all the reference draws.
        bool inside = false;
        overlapTests += unknownAreas.size();
        for (const UnknownArea& area : unknownAreas) {
            if (!Meets(part.box, area.box))
                continue;
            const Box overlap = Intersect(part.box, area.box);
            inside = inside || (overlap.minX <= part.box.minX && overlap.maxX >= part.box.maxX &&
                                overlap.minY <= part.box.minY && overlap.maxY >= part.box.maxY);
            overlaps.push_back({overlap, area.effect});
        }
        within = within && inside;
        exact = (overlaps.empty() || depth == 0) && !(within && k + 1 == c.parts.size()) &&
                overlapTests <= kMaxOverlapTests;
        if (!exact)
            break;
        // Within a group that is composited as a whole, a translucent member
        // over another would show it: that mixture is left to pixels.
        if (isolated && part.alpha < c.opacity * (1 - 1e-9))
            for (std::size_t j = 0; j < k && exact; ++j)
                exact = !Meets(part.box, c.parts[j].box);
        if (!exact || !(part.alpha > 0))
            continue;
        const ClipChain inner(part.clips.begin() + static_cast<std::ptrdiff_t>(c.outerClips),
                              part.clips.end());
        const bool opaque = part.alpha >= 1 && mode == static_cast<int>(BlendMode::kNormal);
        Piece paper = part;
        if (gradient) {
            // Its definition went with the records of the walk apart: it is
            // defined again, composited over the paper.
            if (!CompositeGradient(paper.paint.fill, part.alpha, {255, 255, 255},
                                   static_cast<int>(BlendMode::kNormal))) {
                exact = false;
                break;
            }
        } else if (!opaque) {
            Rgb& colour = IsStroke(part) ? paper.paint.stroke.color : paper.paint.fill.color;
            colour = OverPaper(colour, part.alpha);
        }
        EmitClipped(inner, paper);
        // Opaque throughout: nothing beneath shows (a gradient's stops may not be).
        bool allOpaque = opaque;
        if (gradient)
            for (const Stop& stop : gradientDefs.at(part.paint.fill.tag).stops)
                allOpaque = allOpaque && stop.opacity >= 1;
        if (allOpaque)
            continue;
        const std::size_t limit = isolated ? before : pieces.size() - 1;
        for (std::size_t i = 0; i < limit && exact; ++i) {
            if (++overlapTests > kMaxOverlapTests) {
                exact = false;
                break;
            }
            if (!Meets(part.box, pieces[i].box))
                continue;
            const Piece below = pieces[i];  // the list grows as pieces are drawn
            exact = EmitOver(part, inner, below, mode, budget);
        }
    }
    // Images of pieces that cover most of the object spare nothing: an
    // image of the object is the smaller file.
    if (exact && !patches.empty()) {
        Box whole;
        double patched = 0;
        for (const Piece& part : c.parts)
            whole = Union(whole, part.box);
        for (const Box& p : patches)
            patched += p.valid ? p.Width() * p.Height() : 0;
        exact = patched <= kMaxPatchedShare * whole.Width() * whole.Height();
    }
    out.Swap(draw);
    if (!exact) {
        pieces.resize(before);
        defs.Truncate(defsMark);
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
    try {
        WalkElement(node, name, parent, view);
    } catch (...) {
        capture = nullptr;
        scratch.Swap(draw);
        throw;
    }
    capture = nullptr;
    scratch.Swap(draw);
    defs.Truncate(defsMark);
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
    if (filtered || masked)
        c.exact = false;
    unknownAreas.resize(areasBefore);
    boxedObjects = boxedBefore;
    objects = objectsBefore;
    knownObjects = knownBefore;
    // What its vectors would draw otherwise than SVG (a gradient stroke in
    // one colour) the picture shows as drawn.
    if (leftOut != leftOutBefore)
        c.exact = false;
    if (!c.exact || !allPieces || !EmitFlattened(c, static_cast<int>(mode), isolated)) {
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
