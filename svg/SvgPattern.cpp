// Pattern fills as the module's pattern definitions: one tile, drawn on the
// page where the pattern's first cell lies, repeats at its own size. That
// holds when the cell stays an upright rectangle on the page and its content
// stays inside it; other patterns are marked for flattening.
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

bool Reader::Pattern(xmlNodePtr pattern, const Box& userBox, const View& view, Fill& fill)
{
    const std::vector<xmlNodePtr> chain = PatternChain(pattern, ids);
    const Style patternStyle = DefinitionStyle(pattern);
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
    if (!(w > 0) || !(h > 0))
        return true;  // a pattern without area paints nothing
    Matrix place = view.ctm;
    for (xmlNodePtr p : chain)
        if (Attr(p, "patternTransform")) {
            const auto text = Attr(p, "patternTransform");
            if (!ParseTransformList(*text, place))
                Warn("malformed transforms (the element's transform is ignored)", p);
            break;
        }
    // The cell must stay an upright rectangle on the page.
    const double tiny = 1e-9 * (std::fabs(place.a) + std::fabs(place.d));
    if (!place.IsFinite() || std::fabs(place.b) > tiny || std::fabs(place.c) > tiny ||
        !(std::fabs(place.a) > 0) || !(std::fabs(place.d) > 0))
        return false;
    Matrix content = place * Matrix::Translate(x, y);
    const auto vb = ParseNumberList(FindIn(chain, "viewBox").value_or(""));
    if (vb.size() == 4 && vb[2] > 0 && vb[3] > 0) {
        content =
            content * ViewBoxTransform(vb, w, h, FindIn(chain, "preserveAspectRatio").value_or(""));
    } else if (boxContent) {
        content = content * Matrix::ScaleBy(userBox.Width(), userBox.Height());
    }
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

    xmlNodePtr source = nullptr;
    for (xmlNodePtr p : chain) {
        for (xmlNodePtr n = p->children; n != nullptr && source == nullptr; n = n->next)
            if (n->type == XML_ELEMENT_NODE)
                source = p;
        if (source != nullptr)
            break;
    }
    if (source == nullptr || depth >= kMaxReferenceDepth || active.count(pattern) != 0)
        return true;  // no content: nothing painted

    // The tile, written apart first to see what it holds.
    View tileView = view;
    tileView.ctm = content;
    tileView.width = vb.size() == 4 ? vb[2] : w;
    tileView.height = vb.size() == 4 ? vb[3] : h;
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

}  // namespace svgreader
