// Pattern fills as the module's pattern definitions: one tile, drawn on the
// page where the pattern's first cell lies, repeats at its own size. That
// holds when the cell stays an upright rectangle on the page and its content
// stays inside it. Other patterns are drawn as copies of their tile, one for
// each cell that meets the shape, inside a clip of the shape; or, where the
// copies would cost more than its picture, flattened.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "SvgDocument.h"
#include "SvgXml.h"

namespace svgreader {

namespace {

// The pattern and those its href chain names: attributes, and the content,
// come from the first of them that has them.
std::vector<xmlNodePtr> PatternChain(xmlNodePtr pattern,
                                     const std::map<std::string, xmlNodePtr>& ids)
{
    std::vector<xmlNodePtr> chain;
    for (xmlNodePtr p = pattern; p != nullptr && chain.size() < kMaxReferenceDepth;) {
        if (LocalName(p) != "pattern" || std::find(chain.begin(), chain.end(), p) != chain.end())
            break;
        chain.push_back(p);
        const auto it = ids.find(FragmentOf(Href(p).value_or("")));
        p = it == ids.end() ? nullptr : it->second;
    }
    return chain;
}

std::optional<std::string> FindIn(const std::vector<xmlNodePtr>& chain, const char* attribute)
{
    for (xmlNodePtr p : chain)
        if (auto v = Attr(p, attribute))
            return v;
    return std::nullopt;
}

// Whether the tile's records hold only what a tile can carry: colours,
// strokes and paths, inside the cell (the union of a tile's paths is its
// size in the module, and gradients, text, images and clips are no tile's).
bool FitsCell(const RecordBuffer& records, const Box& cell)
{
    const double slack = 1e-6 * std::max(1.0, std::max(cell.Width(), cell.Height()));
    bool fits = true;
    records.ForEach([&](std::uint16_t opcode, const void* payload, std::size_t size) {
        if (opcode == aiop::kSetFillTypeName || opcode == aiop::kBeginText ||
            opcode == aiop::kBeginBitmap || opcode == aiop::kPathBitmap ||
            opcode == aiop::kBeginMask)
            fits = false;
        if (opcode != aiop::kMoveTo && opcode != aiop::kLineTo && opcode != aiop::kCurveTo)
            return;
        // Points, x and y, are all these payloads hold.
        double xy[6] = {};
        const std::size_t n = std::min(size, sizeof xy) / sizeof(double);
        std::memcpy(xy, payload, n * sizeof(double));
        for (std::size_t i = 0; i + 1 < n; i += 2)
            if (xy[i] < cell.minX - slack || xy[i] > cell.maxX + slack ||
                xy[i + 1] < cell.minY - slack || xy[i + 1] > cell.maxY + slack)
                fits = false;
    });
    return fits;
}

}  // namespace

bool Reader::PatternTurns(xmlNodePtr pattern)
{
    for (xmlNodePtr p : PatternChain(pattern, ids))
        if (const auto text = Attr(p, "patternTransform")) {
            Matrix m;
            if (!ParseTransformList(*text, m))
                return false;
            const double tiny = 1e-9 * (std::fabs(m.a) + std::fabs(m.d));
            return std::fabs(m.b) > tiny || std::fabs(m.c) > tiny;
        }
    return false;
}

bool Reader::LayOutPattern(const std::vector<xmlNodePtr>& chain, const Box& userBox,
                           const View& view, PatternLayout& layout)
{
    const Style patternStyle = DefinitionStyle(chain.front());
    const bool boxUnits = FindIn(chain, "patternUnits").value_or("") != "userSpaceOnUse";
    const bool boxContent =
        FindIn(chain, "patternContentUnits").value_or("") == "objectBoundingBox";
    if ((boxUnits || boxContent) &&
        (!userBox.valid || userBox.Width() <= 0 || userBox.Height() <= 0))
        return false;
    auto number = [&](const char* name, double ref) {
        const std::string text = FindIn(chain, name).value_or("0");
        double v = 0;
        if (boxUnits && Trim(text).find('%') == std::string_view::npos) {
            const auto n = ParseNumberList(text);
            return n.empty() ? 0.0 : n[0];
        }
        return ParseLength(text, boxUnits ? 1 : ref, patternStyle.fontSize, v) ? v : 0.0;
    };
    double x = number("x", view.width), y = number("y", view.height);
    double w = number("width", view.width), h = number("height", view.height);
    if (boxUnits) {
        x = userBox.minX + x * userBox.Width();
        y = userBox.minY + y * userBox.Height();
        w *= userBox.Width();
        h *= userBox.Height();
    }
    layout.x = x, layout.y = y, layout.w = w, layout.h = h;
    layout.place = view.ctm;
    for (xmlNodePtr p : chain)
        if (Attr(p, "patternTransform")) {
            const auto text = Attr(p, "patternTransform");
            if (!ParseTransformList(*text, layout.place))
                Warn("malformed transforms (the element's transform is ignored)", p);
            break;
        }
    layout.content = Matrix::Translate(x, y);
    const auto vb = ParseNumberList(FindIn(chain, "viewBox").value_or(""));
    const bool viewBox = vb.size() == 4 && vb[2] > 0 && vb[3] > 0;
    if (viewBox && w > 0 && h > 0) {
        layout.content = layout.content *
                         ViewBoxTransform(vb, w, h, FindIn(chain, "preserveAspectRatio").value_or(""));
    } else if (boxContent) {
        layout.content = layout.content * Matrix::ScaleBy(userBox.Width(), userBox.Height());
    }
    layout.viewWidth = vb.size() == 4 ? vb[2] : w;
    layout.viewHeight = vb.size() == 4 ? vb[3] : h;
    layout.source = nullptr;
    for (xmlNodePtr p : chain) {
        for (xmlNodePtr n = p->children; n != nullptr && layout.source == nullptr; n = n->next)
            if (n->type == XML_ELEMENT_NODE)
                layout.source = p;
        if (layout.source != nullptr)
            break;
    }
    return true;
}

bool Reader::Pattern(xmlNodePtr pattern, const Box& userBox, const View& view, Fill& fill)
{
    const std::vector<xmlNodePtr> chain = PatternChain(pattern, ids);
    const Style patternStyle = DefinitionStyle(pattern);
    PatternLayout layout;
    if (!LayOutPattern(chain, userBox, view, layout))
        return false;
    const double x = layout.x, y = layout.y, w = layout.w, h = layout.h;
    if (!(w > 0) || !(h > 0))
        return true;  // a pattern without area paints nothing
    const Matrix place = layout.place;
    // The cell must stay an upright rectangle on the page.
    const double tiny = 1e-9 * (std::fabs(place.a) + std::fabs(place.d));
    if (!place.IsFinite() || std::fabs(place.b) > tiny || std::fabs(place.c) > tiny ||
        !(std::fabs(place.a) > 0) || !(std::fabs(place.d) > 0))
        return false;
    const Matrix content = place * layout.content;
    Path frame = RectPath(x, y, w, h, 0, 0);
    frame.Transform(place);
    const Box cell = BoundsOf(frame);

    // One definition serves every fill that places the pattern alike.
    char key[256];
    std::snprintf(key, sizeof key, " %.9g %.9g %.9g %.9g %.9g %.9g", content.a, content.b,
                  content.c, content.d, content.e, content.f);
    const std::string id = Attr(pattern, "id").value_or("");
    const std::string cacheKey = id + key + std::to_string(cell.minX) + std::to_string(cell.minY);
    if (const auto found = patterns.find(cacheKey); found != patterns.end()) {
        fill = found->second;
        return true;
    }

    const xmlNodePtr source = layout.source;
    if (source == nullptr || depth >= kMaxReferenceDepth || active.count(pattern) != 0)
        return true;  // no content: nothing painted

    // The tile, written apart first to see what it holds.
    View tileView = view;
    tileView.ctm = content;
    tileView.width = layout.viewWidth;
    tileView.height = layout.viewHeight;
    RecordBuffer tile;
    tile.Swap(draw);
    const long before = objects, knownBefore = knownObjects, boxedBefore = boxedObjects;
    ++tileDepth;  // its content is no piece of the page
    // Each tile item sets the even-odd rule itself: no rule is set inside.
    const bool evenOdd = evenOddInForce;
    evenOddInForce = false;
    ++depth;
    ++tiles;
    active.insert(pattern);
    WalkChildren(source, patternStyle, tileView);
    active.erase(pattern);
    --tiles;
    --depth;
    tile.Swap(draw);
    --tileDepth;
    objects = before;
    knownObjects = knownBefore;
    boxedObjects = boxedBefore;
    evenOddInForce = evenOdd;
    if (!FitsCell(tile, cell))
        return false;

    fill.kind = FillKind::kPattern;
    fill.name = GradientName(id.empty() ? "Pattern" : id);
    fill.tag = ++patternCount;
    SetPatternDefData def{};
    def.tag = static_cast<std::uint16_t>(fill.tag);
    PutChars(def.name, kNameLimit, fill.name);
    def.tileWidth = AsPrinted(cell.Width());
    def.tileHeight = AsPrinted(cell.Height());
    defs.SetPatternDef(def);
    defs.SetPatternColSpacing(0.0);
    defs.SetPatternRowSpacing(0.0);
    defs.BeginPattern();
    // An unpainted frame first makes the tile's extent the cell.
    defs.SetFillType(5);
    defs.SetStroke(NoStroke());
    defs.Swap(draw);
    WritePath(frame);
    defs.Swap(draw);
    defs.Append(tile);
    defs.EndPattern();
    patterns.emplace(cacheKey, fill);
    return true;
}

xmlNodePtr Reader::UnheldPattern(const Paint& paint, const Fill& resolved) const
{
    if (paint.kind != Paint::kUrl || !resolved.flatten)
        return nullptr;
    const auto it = ids.find(paint.url);
    return it != ids.end() && LocalName(it->second) == "pattern" ? it->second : nullptr;
}

namespace {

// Whether the tile's records may paint outside its cell (pattern space):
// a point of a path outside it, a stroke (half of it lies beyond its
// path), or text, whose extent the records do not give.
bool LeavesCell(const RecordBuffer& records, const Matrix& toPattern, double x, double y,
                double w, double h)
{
    const double slack = 1e-6 * std::max(w, h);
    bool leaves = false;
    records.ForEach([&](std::uint16_t opcode, const void* payload, std::size_t size) {
        if (leaves)
            return;
        if (opcode == aiop::kBeginText) {
            leaves = true;
            return;
        }
        if (opcode == aiop::kSetStroke) {
            SetStrokeData stroke{};
            std::memcpy(&stroke, payload, std::min(size, sizeof stroke));
            leaves = stroke.style != 5;
            return;
        }
        if (opcode != aiop::kMoveTo && opcode != aiop::kLineTo && opcode != aiop::kCurveTo)
            return;
        double xy[6] = {};
        const std::size_t n = std::min(size, sizeof xy) / sizeof(double);
        std::memcpy(xy, payload, n * sizeof(double));
        for (std::size_t i = 0; i + 1 < n; i += 2) {
            const Point p = toPattern.Apply({xy[i], xy[i + 1]});
            if (!(p.x >= x - slack && p.x <= x + w + slack && p.y >= y - slack &&
                  p.y <= y + h + slack))
                leaves = true;
        }
    });
    return leaves;
}

bool HoldsBitmaps(const RecordBuffer& records)
{
    bool found = false;
    records.ForEach([&](std::uint16_t opcode, const void*, std::size_t) {
        found = found || opcode == aiop::kBeginBitmap || opcode == aiop::kPathBitmap;
    });
    return found;
}

// Records of a clip of one cell around a copy: the group, its region and a
// path of five points.
constexpr double kCellClipRecords = 12;

}  // namespace

bool Reader::PlanPatternCopies(xmlNodePtr pattern, const Box& userBox, const View& view,
                               const Path& region, bool imageAlternative, PatternCopies& plan)
{
    const std::vector<xmlNodePtr> chain = PatternChain(pattern, ids);
    plan = PatternCopies();
    plan.pattern = pattern;
    PatternLayout& layout = plan.layout;
    if (!LayOutPattern(chain, userBox, view, layout))
        return false;
    // No cell or no content paints nothing: no copies.
    if (!(layout.w > 0) || !(layout.h > 0) || layout.source == nullptr ||
        depth >= kMaxReferenceDepth || active.count(pattern) != 0)
        return true;
    const Matrix& m = layout.place;
    const double det = m.Determinant();
    if (!m.IsFinite() || !(std::fabs(det) > 1e-18))
        return true;  // cells without area on the page
    const Matrix toPattern = m.Inverted();
    Path inPattern = region;
    inPattern.Transform(toPattern);
    const Box box = BoundsOf(inPattern);
    if (!box.valid || !inPattern.IsFinite())
        return true;
    // The cells that meet the region's box in pattern space.
    const double i0 = std::floor((box.minX - layout.x) / layout.w);
    const double i1 = std::floor((box.maxX - layout.x) / layout.w);
    const double j0 = std::floor((box.minY - layout.y) / layout.h);
    const double j1 = std::floor((box.maxY - layout.y) / layout.h);
    const double copies = (i1 - i0 + 1) * (j1 - j0 + 1);
    if (!(copies <= kMaxPatternCopyRecords))
        return false;

    // One copy written apart first, to see what each costs and holds.
    const Style patternStyle = DefinitionStyle(pattern);
    View tileView;
    tileView.ctm = m * layout.content;
    tileView.width = layout.viewWidth;
    tileView.height = layout.viewHeight;
    RecordBuffer tile;
    tile.Swap(draw);
    const std::size_t defsMark = defs.Mark(), defsCount = defs.Count();
    const int written = gradientsWritten;
    const auto patternsBefore = patterns;
    const bool evenOdd = evenOddInForce;
    const long before = objects, knownBefore = knownObjects, boxedBefore = boxedObjects;
    const std::size_t effectsBefore = effects.size();
    const std::size_t warningsBefore = outcome.warnings.size();
    const long leftOutBefore = leftOut;
    const std::set<std::string> warnedBefore = warned;
    ++tileDepth;
    ++tiles;
    ++depth;
    active.insert(pattern);
    evenOddInForce = false;
    WalkChildren(layout.source, patternStyle, tileView);
    active.erase(pattern);
    --depth;
    --tiles;
    --tileDepth;
    tile.Swap(draw);
    const double records = static_cast<double>(tile.Count() + defs.Count() - defsCount);
    const double bytes = static_cast<double>(tile.Mark() + defs.Mark() - defsMark);
    const int gradients = gradientsWritten - written;
    // What in the tile would be flattened, or an image copied in every cell,
    // is better one image of the shape.
    const bool pixels = effects.size() != effectsBefore || HoldsBitmaps(tile);
    effects.resize(effectsBefore);
    defs.Truncate(defsMark);
    gradientsWritten = written;
    patterns = patternsBefore;
    evenOddInForce = evenOdd;
    objects = before, knownObjects = knownBefore, boxedObjects = boxedBefore;
    outcome.warnings.resize(warningsBefore);
    leftOut = leftOutBefore;
    warned = warnedBefore;
    if (pixels && imageAlternative)
        return false;
    if (records == 0)
        return true;  // the content paints nothing
    plan.clipCells = LeavesCell(tile, toPattern, layout.x, layout.y, layout.w, layout.h);
    const double perCopy = records + (plan.clipCells ? kCellClipRecords : 0);
    const double perCopyBytes = bytes * (perCopy / records);
    if (copies * perCopy > kMaxPatternCopyRecords ||
        copies * gradients > 1024 - gradientsWritten)
        return false;
    if (imageAlternative && options.flattenMode == Options::FlattenMode::kBalanced) {
        const Box page = BoundsOf(region);
        const double dpi = FlattenDpi();
        const double imageBytes =
            page.Width() * dpi * page.Height() * dpi * kImageBytesPerPixel;
        if (copies * perCopyBytes > std::max(kVectorPreference * imageBytes, kMinVectorBytes))
            return false;
    }
    plan.i0 = static_cast<long>(i0), plan.i1 = static_cast<long>(i1);
    plan.j0 = static_cast<long>(j0), plan.j1 = static_cast<long>(j1);
    return true;
}

void Reader::DrawPatternCopies(const PatternCopies& plan, const Path& region, bool evenOdd)
{
    if (plan.i1 < plan.i0 || plan.j1 < plan.j0)
        return;
    const PatternLayout& layout = plan.layout;
    const Style patternStyle = DefinitionStyle(plan.pattern);
    Path area = region;
    for (Subpath& s : area.subpaths)
        s.closed = true;
    auto openClip = [&](const Path& path, bool rule) {
        ClipRegion clip;
        clip.path = path;
        clip.evenOdd = rule;
        draw.BeginMask();
        draw.BeginClipRgn();
        WriteClipRegion(clip);
        draw.EndClipRgn();
        PushClip(path, rule, true);
    };
    openClip(area, evenOdd);
    // The copies are the shape's paint, not art of their own (the cut
    // outline is the shape's), and the pattern's content, not the tree's.
    ++tiles;
    ++depth;
    active.insert(plan.pattern);
    for (long j = plan.j0; j <= plan.j1; ++j)
        for (long i = plan.i0; i <= plan.i1; ++i) {
            const double dx = static_cast<double>(i) * layout.w;
            const double dy = static_cast<double>(j) * layout.h;
            if (plan.clipCells) {
                Path cell = RectPath(layout.x + dx, layout.y + dy, layout.w, layout.h, 0, 0);
                cell.Transform(layout.place);
                openClip(cell, false);
            }
            View copy;
            copy.ctm = layout.place * Matrix::Translate(dx, dy) * layout.content;
            copy.width = layout.viewWidth;
            copy.height = layout.viewHeight;
            WalkChildren(layout.source, patternStyle, copy);
            if (plan.clipCells)
                CloseClip();
        }
    active.erase(plan.pattern);
    --depth;
    --tiles;
    CloseClip();
}

}  // namespace svgreader
