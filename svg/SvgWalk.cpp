// The tree walk: elements in document order, groups and references, and
// the basic shapes written as paths.
#include <set>
#include <string_view>
#include <utility>

#include "SvgDocument.h"
#include "SvgStrokeOutline.h"
#include "SvgValues.h"
#include "SvgXml.h"

namespace svgreader {

void Reader::WalkChildren(xmlNodePtr node, const Style& style, const View& view)
{
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next)
        if (n->type == XML_ELEMENT_NODE)
            Walk(n, style, view);
}

namespace {

// Whether filling the path covers anything: not when it is single
// straight segments, as lines are.
bool HasArea(const Path& page)
{
    for (const Subpath& s : page.subpaths)
        if (!s.segments.empty() && (s.closed || s.segments.size() > 1 || s.segments[0].cubic))
            return true;
    return false;
}

}  // namespace

// Elements the walk does not draw where they stand: other vocabularies
// (editor settings, metadata), and definitions, drawn where referenced.
bool DrawnWhereItStands(std::string_view name)
{
    static constexpr std::string_view kSilent[] = {
        "defs",           "title",     "desc",    "metadata", "style",  "linearGradient",
        "radialGradient", "clipPath",  "symbol",  "marker",   "script", "stop",
        "font",           "font-face", "pattern", "mask",     "filter"};
    if (name.empty())
        return false;
    for (std::string_view silent : kSilent)
        if (name == silent)
            return false;
    return true;
}

std::size_t Reader::DrawnCount(xmlNodePtr node, std::map<xmlNodePtr, std::size_t>& known,
                               std::set<xmlNodePtr>& open)
{
    // A leaf that references nothing draws itself alone: most elements, not
    // worth remembering.
    if (open.size() <= kMaxNesting * kMaxReferenceDepth) {
        xmlNodePtr child = node->children;
        while (child != nullptr && child->type != XML_ELEMENT_NODE)
            child = child->next;
        if (child == nullptr && LocalName(node) != "use")
            return 1;
    }
    const auto it = known.find(node);
    if (it != known.end())
        return it->second;
    // A cycle draws nothing more (the walk stops there); the parser bounds
    // the nesting of the tree and references their depth.
    if (open.count(node) != 0 || open.size() > kMaxNesting * kMaxReferenceDepth)
        return 0;
    open.insert(node);
    std::size_t count = 1;
    auto add = [&](std::size_t more) { count = std::min(count + more, kMaxDrawnElements + 1); };
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next)
        if (n->type == XML_ELEMENT_NODE && DrawnWhereItStands(LocalName(n)))
            add(DrawnCount(n, known, open));
    if (LocalName(node) == "use") {
        const auto target = ids.find(FragmentOf(Href(node).value_or("")));
        if (target != ids.end())
            add(DrawnCount(target->second, known, open));
    }
    open.erase(node);
    known.emplace(node, count);
    return count;
}

void Reader::Walk(xmlNodePtr node, const Style& parent, const View& view)
{
    const std::string name = LocalName(node);
    if (!DrawnWhereItStands(name))
        return;
    if (nesting >= kMaxNesting)
        throw TooLarge{"elements nested more than " + std::to_string(kMaxNesting) +
                       " deep (through references too)"};
    ++nesting;
    WalkElement(node, name, parent, view);
    --nesting;
}

void Reader::WalkElement(xmlNodePtr node, const std::string& name, const Style& parent,
                         const View& view)
{
    if (depth == 0)
        treeNode = node;  // inside a use, the use is
    const Style style = ComputeStyle(node, parent);
    if (style.displayNone)
        return;
    if (style.opacity <= 0)
        return;  // nothing of it shows
    if (Flattened(node, name, parent, style, view))
        return;
    const std::string_view kind = name;  // compared without a length count each time
    if (style.opacity < 1)
        Warn("opacity", node);
    const double outerAlpha = groupAlpha;
    groupAlpha *= style.opacity;

    View inner = view;
    ElementTransform(node, inner.ctm);

    if (kind == "g" || kind == "a") {
        Group(node, style, inner);
    } else if (kind == "switch") {
        // The first child a renderer would choose; conditions are not evaluated.
        for (xmlNodePtr n = node->children; n != nullptr; n = n->next)
            if (!LocalName(n).empty()) {
                Walk(n, style, inner);
                break;
            }
    } else if (kind == "svg") {
        NestedSvg(node, style, inner);
    } else if (kind == "use") {
        Use(node, style, inner);
    } else if (kind == "text") {
        Text(node, style, inner);
    } else if (kind == "flowRoot") {
        FlowRoot(node, style, inner);
    } else if (kind == "image") {
        Image(node, style, inner);
    } else {
        Path path;
        if (ShapePath(node, name, style, inner, path))
            Shape(node, style, inner, std::move(path));
        else if (kind != "path" && kind != "rect" && kind != "circle" && kind != "ellipse" &&
                 kind != "line" && kind != "polyline" && kind != "polygon")
            Warn("<" + name + "> elements", node);
    }
    groupAlpha = outerAlpha;
}

void Reader::Group(xmlNodePtr node, const Style& style, const View& childView)
{
    const std::size_t mark = draw.Mark();
    const long before = objects;
    draw.BeginGroup();
    const bool clipped = !style.clipPath.empty() && OpenClip(style, childView, Box(), node);
    WalkChildren(node, style, childView);
    if (clipped)
        CloseClip();
    draw.EndGroup();
    if (objects == before)
        draw.Truncate(mark);  // an empty group draws nothing
}

void Reader::NestedSvg(xmlNodePtr node, const Style& style, const View& view)
{
    View inner = view;
    const auto [x, y, w, h] = PlacementOf(node, style, view, view.width, view.height);
    if (!(w > 0) || !(h > 0))
        return;
    inner.ctm = view.ctm * Matrix::Translate(x, y);
    inner.width = w;
    inner.height = h;
    if (const auto box = Attr(node, "viewBox")) {
        const auto vb = ParseNumberList(*box);
        if (vb.size() == 4 && vb[2] > 0 && vb[3] > 0) {
            const bool none =
                Attr(node, "preserveAspectRatio").value_or("").find("none") != std::string::npos;
            double sx = w / vb[2], sy = h / vb[3];
            double tx = 0, ty = 0;
            if (!none) {
                const double s = std::min(sx, sy);
                tx = (w - vb[2] * s) / 2;
                ty = (h - vb[3] * s) / 2;
                sx = sy = s;
            }
            inner.ctm = inner.ctm * Matrix{sx, 0, 0, sy, tx - vb[0] * sx, ty - vb[1] * sy};
            inner.width = vb[2];
            inner.height = vb[3];
        }
    }
    Warn("the clipping of nested <svg> viewports", node);
    Group(node, style, inner);
}

void Reader::Use(xmlNodePtr node, const Style& style, const View& view)
{
    const std::string id = FragmentOf(Href(node).value_or(""));
    const auto found = ids.find(id);
    if (found == ids.end()) {
        Warn("<use> references to missing or external elements", node);
        return;
    }
    xmlNodePtr target = found->second;
    if (depth >= kMaxReferenceDepth || active.count(target) != 0) {
        Warn("circular <use> references", node);
        return;
    }
    View inner = view;
    inner.ctm = view.ctm * Matrix::Translate(Length(node, "x", view.width, style, 0),
                                             Length(node, "y", view.height, style, 0));
    ++depth;
    active.insert(target);
    const std::size_t mark = draw.Mark();
    const long before = objects;
    draw.BeginGroup();
    const bool clipped = !style.clipPath.empty() && OpenClip(style, inner, Box(), node);
    if (LocalName(target) == "symbol") {
        const Style symbolStyle = ComputeStyle(target, style);
        View symbolView = inner;
        const auto box = Attr(target, "viewBox");
        const auto vb = box ? ParseNumberList(*box) : std::vector<double>();
        if (vb.size() == 4 && vb[2] > 0 && vb[3] > 0) {
            const double w = Length(node, "width", view.width, style, vb[2]);
            const double h = Length(node, "height", view.height, style, vb[3]);
            const double s = std::min(w / vb[2], h / vb[3]);
            const double tx = (w - vb[2] * s) / 2 - vb[0] * s;
            const double ty = (h - vb[3] * s) / 2 - vb[1] * s;
            symbolView.ctm = inner.ctm * Matrix{s, 0, 0, s, tx, ty};
            symbolView.width = vb[2];
            symbolView.height = vb[3];
        }
        WalkChildren(target, symbolStyle, symbolView);
    } else {
        Walk(target, style, inner);
    }
    if (clipped)
        CloseClip();
    draw.EndGroup();
    if (objects == before)
        draw.Truncate(mark);
    active.erase(target);
    --depth;
}

bool Reader::ShapePath(xmlNodePtr node, const std::string& name, const Style& style,
                       const View& view, Path& path)
{
    const double w = view.width, h = view.height, diag = view.Diagonal();
    if (name == "path") {
        const auto d = Attr(node, "d");
        Spend(d ? d->size() / kBytesPerStep : 0);
        if (!ParsePathData(d.value_or(""), path) && d)
            Warn("malformed path data (drawn up to the error)", node);
        return true;
    }
    if (name == "rect") {
        const double x = Length(node, "x", w, style, 0), y = Length(node, "y", h, style, 0);
        const double rw = Length(node, "width", w, style, 0);
        const double rh = Length(node, "height", h, style, 0);
        double rx = Length(node, "rx", w, style, -1), ry = Length(node, "ry", h, style, -1);
        if (rx < 0)
            rx = ry;
        if (ry < 0)
            ry = rx;
        if (rw > 0 && rh > 0)
            path = RectPath(x, y, rw, rh, std::max(rx, 0.0), std::max(ry, 0.0));
        return true;
    }
    if (name == "circle" || name == "ellipse") {
        const double cx = Length(node, "cx", w, style, 0), cy = Length(node, "cy", h, style, 0);
        double rx = 0, ry = 0;
        if (name == "circle") {
            rx = ry = Length(node, "r", diag, style, 0);
        } else {
            rx = Length(node, "rx", w, style, -1);
            ry = Length(node, "ry", h, style, -1);
            if (rx < 0)
                rx = ry;
            if (ry < 0)
                ry = rx;
        }
        if (rx > 0 && ry > 0)
            path = EllipsePath(cx, cy, rx, ry);
        return true;
    }
    if (name == "line") {
        path.MoveTo(Length(node, "x1", w, style, 0), Length(node, "y1", h, style, 0));
        path.LineTo(Length(node, "x2", w, style, 0), Length(node, "y2", h, style, 0));
        return true;
    }
    if (name == "polyline" || name == "polygon") {
        const auto v = ParseNumberList(Attr(node, "points").value_or(""));
        for (std::size_t i = 0; i + 1 < v.size(); i += 2)
            i == 0 ? path.MoveTo(v[i], v[i + 1]) : path.LineTo(v[i], v[i + 1]);
        if (name == "polygon")
            path.Close();
        return true;
    }
    return false;
}

void Reader::Shape(xmlNodePtr node, const Style& style, const View& view, Path path)
{
    if (!style.visible || path.Empty())
        return;
    // The boxes place paints by reference and clips; flat colours need none.
    const bool boxed = style.fill.kind == Paint::kUrl || style.stroke.kind == Paint::kUrl ||
                       !style.clipPath.empty();
    const Box userBox = boxed ? BoundsOf(path) : Box();
    Path page = path;
    page.Transform(view.ctm);
    if (!page.IsFinite()) {
        Warn("shapes with coordinates out of range", node);
        return;
    }
    const Box pageBox = boxed ? BoundsOf(page) : Box();
    // Gradient strokes of shapes are drawn as their areas (below): no warning.
    strokeAreas = options.strokes != Options::Strokes::kHairlines;
    patternCopies = true;
    ElementPaint paint = ResolveElementPaint(style, userBox, pageBox, view, false, node);
    patternCopies = false;
    strokeAreas = false;
    // Patterns the records cannot hold: copies of their tile inside the
    // shape, or inside its stroke's area; where the copies cost more than
    // a picture (or pictures are asked for), the shape is one.
    const bool pictures = Flattening() && capture == nullptr && tileDepth == 0;
    const bool rasterMode = options.flattenMode == Options::FlattenMode::kRaster;
    const xmlNodePtr fillPattern = UnheldPattern(style.fill, paint.fill);
    const xmlNodePtr strokePattern = UnheldPattern(style.stroke, paint.stroke);
    PatternCopies fillCopies, strokeCopies;
    bool copyFill = false, copyStroke = false, strokeNone = false;
    Path strokeArea;
    if (fillPattern != nullptr)
        copyFill = !(pictures && rasterMode) &&
                   PlanPatternCopies(fillPattern, userBox, view, page, pictures, fillCopies);
    strokeNone = strokePattern != nullptr && !(style.strokeWidth * view.ctm.Scale() > 0);
    if (strokePattern != nullptr && options.strokes != Options::Strokes::kHairlines &&
        !strokeNone && !(pictures && rasterMode)) {
        strokeArea = StrokeOutline(page, StrokeShapeOf(style, view.ctm.Scale(), true));
        Spend(strokeArea.subpaths.size());
        strokeNone = strokeArea.Empty();
        copyStroke = !strokeNone && PlanPatternCopies(strokePattern, userBox, view, strokeArea,
                                                      pictures, strokeCopies);
    }
    const bool fillRefused = fillPattern != nullptr && !copyFill;
    const bool strokeRefused = strokePattern != nullptr && !copyStroke && !strokeNone;
    if ((fillRefused || strokeRefused) && pictures) {
        // The shape, its markers with it, as a picture.
        FlattenInstead(node);
        if (depth == 0) {
            const double width = style.strokeWidth * view.ctm.Scale();
            const double reach = width / 2 * std::max(style.miterLimit, 1.5);
            Box box = BoundsOf(page);
            box.minX -= reach, box.minY -= reach, box.maxX += reach, box.maxY += reach;
            if (box.valid && std::isfinite(reach))
                NoteUnknownArea(box, static_cast<long>(effects.size()) - 1);
        }
        return;
    }
    // Walked apart, a translucent pattern's copies would mix with each other.
    if (capture != nullptr &&
        (fillRefused || strokeRefused ||
         (copyFill && groupAlpha * style.fillOpacity * paint.fill.opacity < 1) ||
         (copyStroke && groupAlpha * style.strokeOpacity * paint.stroke.opacity < 1)))
        capture->exact = false;
    if (fillRefused)
        Warn("pattern fills that are rotated, skewed or overflow their tile (the fallback "
             "colour or none is used)",
             node);
    if (strokeRefused)
        Warn("pattern strokes (the fallback colour or none is used)", node);
    if (strokeNone)
        paint.stroke = Fill();
    const bool clipped = !style.clipPath.empty() && OpenClip(style, view, userBox, node);
    if (NotingAreas()) {
        ElementPaint covered = paint;
        if (copyFill)
            covered.fill.kind = FillKind::kColor;
        if (copyStroke)
            covered.stroke.kind = FillKind::kColor;
        NoteArea(style, covered, view.ctm, page);
    }
    if (copyFill) {
        DrawPatternCopies(fillCopies, page, style.evenOdd);
        paint.fill = Fill();
    }
    if (copyStroke)
        paint.stroke = Fill();
    const bool painted = paint.fill.kind != FillKind::kNone ||
                         paint.stroke.kind != FillKind::kNone || !(copyFill || copyStroke);
    // A gradient stroke, which the records stroke in one colour, is the area
    // it covers filled with the gradient (not for hairlines).
    xmlNodePtr strokeGradient = nullptr;
    if (style.stroke.kind == Paint::kUrl && paint.stroke.kind == FillKind::kColor &&
        paint.stroke.spot.empty() && options.strokes != Options::Strokes::kHairlines) {
        const auto it = ids.find(style.stroke.url);
        const std::string kind = it == ids.end() ? "" : LocalName(it->second);
        if (kind == "linearGradient" || kind == "radialGradient")
            strokeGradient = it->second;
    }
    const bool outlines =
        options.strokes == Options::Strokes::kOutlines && paint.stroke.kind == FillKind::kColor;
    const bool dashed = !outlines && strokeGradient == nullptr &&
                        options.strokes == Options::Strokes::kAsDrawn &&
                        DashedWithOffset(style, paint, view.ctm, page);
    if (strokeGradient != nullptr) {
        ElementPaint fillOnly = paint;
        fillOnly.stroke = Fill();
        if (fillOnly.fill.kind != FillKind::kNone && HasArea(page))
            WriteShape(style, fillOnly, view.ctm, page);
        const Path outline = StrokeOutline(page, StrokeShapeOf(style, view.ctm.Scale(), true));
        Spend(outline.subpaths.size());
        if (!outline.Empty()) {
            ElementPaint filled;
            // The gradient's points in percent of the outline's box, which
            // the module measures; its bounding box is the shape's, as SVG's.
            Gradient(strokeGradient, style, userBox, BoundsOf(outline), view, filled.fill, node);
            Style areaStyle = style;
            areaStyle.evenOdd = false;  // the outline's holes turn the other way
            areaStyle.fillOpacity = style.strokeOpacity;
            if (filled.fill.kind != FillKind::kNone)
                WriteShape(areaStyle, filled, view.ctm, outline);
        }
    } else if (outlines) {
        // The fill first, then the stroke's area over it, as SVG paints them.
        ElementPaint fillOnly = paint;
        fillOnly.stroke = Fill();
        if (fillOnly.fill.kind != FillKind::kNone && HasArea(page))
            WriteShape(style, fillOnly, view.ctm, page);
        WriteStrokeOutline(style, paint, view.ctm, page);
    } else if (!dashed && painted) {
        // SVG fills open subpaths as if closed; the module strokes an open
        // path it is asked to fill. Filled, they are closed: the stroke, if
        // any, goes apart with the path as it is, alone when the fill would
        // cover nothing (single straight segments, as lines are).
        bool open = false;
        for (const Subpath& s : page.subpaths)
            open = open || (!s.segments.empty() && !s.closed);
        const bool area = HasArea(page);
        ElementPaint fillOnly = paint, strokeOnly = paint;
        fillOnly.stroke = Fill();
        strokeOnly.fill = Fill();
        const bool split =
            open && paint.fill.kind != FillKind::kNone && paint.stroke.kind != FillKind::kNone;
        if (split && area)
            WriteShape(style, fillOnly, view.ctm, page);
        WriteShape(style, split ? strokeOnly : paint, view.ctm, std::move(page));
    }
    if (copyStroke)
        DrawPatternCopies(strokeCopies, strokeArea, false);
    ++objects;
    if (!dashed) {
        ++knownObjects;  // all it drew is pieces
    } else if (Tracking()) {
        // Its dashes lie within the stroke of the whole path.
        const double width = style.strokeWidth * view.ctm.Scale();
        const double reach = width / 2 * std::max(style.miterLimit, 1.5);
        Box box = BoundsOf(page);
        box.minX -= reach, box.minY -= reach, box.maxX += reach, box.maxY += reach;
        if (box.valid && std::isfinite(reach))
            NoteUnknownArea(box);
    }
    Markers(node, style, view, path);
    if (clipped)
        CloseClip();
}

bool Reader::WriteStrokeOutline(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                                const Path& page)
{
    const Path outline = StrokeOutline(page, StrokeShapeOf(style, ctm.Scale(), true));
    Spend(outline.subpaths.size());
    if (outline.Empty())
        return false;
    ElementPaint filled;
    filled.fill = paint.stroke;
    Style areaStyle = style;
    areaStyle.evenOdd = false;  // the outline's holes turn the other way
    WriteShape(areaStyle, filled, ctm, outline);
    return true;
}

void Reader::WriteShape(const Style& style, const ElementPaint& paint, const Matrix& ctm, Path page)
{
    if (paint.fill.kind == FillKind::kGradient) {
        const auto it = gradientDefs.find(paint.fill.tag);
        if (it != gradientDefs.end() && !it->second.exact) {
            WriteBands(style, paint, ctm, page);
            return;
        }
    }
    const bool fills = paint.fill.kind != FillKind::kNone;
    if (fills)
        for (Subpath& s : page.subpaths)
            s.closed = true;
    WritePaint(style, paint, ctm);
    std::size_t members = 0;
    for (const Subpath& s : page.subpaths)
        members += s.segments.empty() ? 0 : 1;
    // The module fills compound paths by the even-odd rule and leaves it in
    // force; the non-zero rule can be set again after a compound's first
    // member. A single path of the even-odd rule is made a compound of one.
    const bool composite = members > 1 || (fills && style.evenOdd && !evenOddInForce);
    if (!composite && fills && evenOddInForce) {
        draw.SetFillMode(0);
        evenOddInForce = false;
    }
    if (composite)
        draw.BeginComposite();
    WritePath(page, composite && !style.evenOdd);
    if (composite) {
        draw.EndComposite();
        evenOddInForce = style.evenOdd;
    }
    if (notePieces)
        NotePiece(style, paint, ctm, page);
}

void Reader::WritePath(const Path& pagePath, bool nonZeroCompound)
{
    bool first = true;
    for (const Subpath& s : pagePath.subpaths) {
        if (s.segments.empty())
            continue;
        draw.BeginPath();
        draw.MoveTo({AsPrinted(s.start.x), AsPrinted(s.start.y)});
        for (const Segment& g : s.segments) {
            if (g.cubic)
                draw.CurveTo({AsPrinted(g.c1.x), AsPrinted(g.c1.y), AsPrinted(g.c2.x),
                              AsPrinted(g.c2.y), AsPrinted(g.to.x), AsPrinted(g.to.y)});
            else
                draw.LineTo({AsPrinted(g.to.x), AsPrinted(g.to.y)});
        }
        if (s.closed)
            draw.ClosePath();
        draw.EndPath();
        if (first && nonZeroCompound)
            draw.SetFillMode(0);
        first = false;
    }
}

}  // namespace svgreader
