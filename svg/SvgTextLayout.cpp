// Text the reader lays out itself: characters along a path, and flowed text
// broken into lines at its region's width, both measured in the installed
// font the text resolves to.
#include <algorithm>
#include <cmath>

#include "SvgDocument.h"
#include "SvgFonts.h"
#include "SvgXml.h"

namespace svgreader {

namespace {

// A path as a polyline, with the distance along it at each point.
struct Polyline {
    std::vector<Point> points;
    std::vector<double> along;

    void Add(Point p)
    {
        along.push_back(points.empty() ? 0
                                       : along.back() + std::hypot(p.x - points.back().x,
                                                                   p.y - points.back().y));
        points.push_back(p);
    }
    double Length() const { return along.empty() ? 0 : along.back(); }
    // The point at distance d and the direction there (radians).
    bool At(double d, Point& p, double& angle) const
    {
        if (points.size() < 2 || !(d >= 0 && d <= Length()))
            return false;
        std::size_t i = std::upper_bound(along.begin(), along.end(), d) - along.begin();
        i = std::clamp<std::size_t>(i, 1, points.size() - 1);
        while (i > 1 && along[i] == along[i - 1])
            --i;  // a zero-length piece has no direction
        const Point a = points[i - 1], b = points[i];
        const double piece = along[i] - along[i - 1];
        const double t = piece > 0 ? (d - along[i - 1]) / piece : 0;
        p = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
        angle = std::atan2(b.y - a.y, b.x - a.x);
        return true;
    }
};

Polyline Flatten(const Path& path)
{
    Polyline line;
    for (const Subpath& s : path.subpaths) {
        if (s.segments.empty())
            continue;
        // Text runs on along the subpaths as SVG's; a jump adds no length.
        Point at = s.start;
        if (line.points.empty()) {
            line.Add(at);
        } else {
            line.points.push_back(at);
            line.along.push_back(line.along.back());
        }
        for (const Segment& g : s.segments) {
            if (!g.cubic) {
                line.Add(g.to);
            } else {
                constexpr int kPieces = 16;
                for (int k = 1; k <= kPieces; ++k) {
                    const double t = static_cast<double>(k) / kPieces;
                    line.Add({CubicAt(at.x, g.c1.x, g.c2.x, g.to.x, t),
                              CubicAt(at.y, g.c1.y, g.c2.y, g.to.y, t)});
                }
            }
            at = g.to;
        }
        if (s.closed)
            line.Add(s.start);
    }
    return line;
}

}  // namespace

// Each character its own text object, its baseline along the path at its
// middle, turned with the path there.
void Reader::TextOnPath(xmlNodePtr textPath, const std::vector<TextRun>& runs, const Style& style,
                        const View& view)
{
    const auto it = ids.find(FragmentOf(Href(textPath).value_or("")));
    Path path;
    if (it != ids.end() && LocalName(it->second) == "path") {
        ParsePathData(Attr(it->second, "d").value_or(""), path);
        Matrix own;
        ElementTransform(it->second, own);
        path.Transform(own);
    } else if (const auto d = Attr(textPath, "path")) {
        ParsePathData(*d, path);
    }
    const Polyline line = Flatten(path);
    if (line.Length() <= 0) {
        Warn("text on missing paths", textPath);
        return;
    }
    std::vector<ShapedText> shaped;
    double width = 0;
    for (const TextRun& r : runs) {
        shaped.push_back(ShapeText(r.style, r.text));
        width += shaped.back().width;
    }
    if (!std::isfinite(width))
        return;  // sizes beyond the page's numbers
    double v = 0;
    double d =
        ParseLength(Attr(textPath, "startOffset").value_or("0"), line.Length(), style.fontSize, v)
            ? v
            : 0;
    d -= style.anchor == 1 ? width / 2 : style.anchor == 2 ? width : 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TextRun& run = runs[i];
        const bool outlined = !run.text.empty() && run.style.visible && Outlined(run, textPath);
        Style one = run.style;
        one.anchor = 0;
        one.letterSpacing = one.wordSpacing = 0;
        Path glyphs;
        std::size_t segments = 0;
        for (const Glyph& g : shaped[i].glyphs) {
            // The glyph's middle on the path, its baseline along the path there;
            // glyphs beyond the path's ends are not drawn.
            const double half = g.advance / 2;
            Point mid;
            double angle = 0;
            if (!line.At(d + g.x + half, mid, angle))
                continue;
            const double cs = std::cos(angle), sn = std::sin(angle);
            const Matrix place{cs, sn, -sn, cs, mid.x - cs * half, mid.y - sn * half};
            if (outlined) {
                Glyph at = g;
                at.x = 0;
                AddGlyph(at, run.style.fontSize, place, glyphs, segments);
                continue;
            }
            const std::string text = run.text.substr(g.begin, g.end - g.begin);
            if (!g.first || text.find_first_not_of(' ') == std::string::npos)
                continue;
            View glyph = view;
            glyph.ctm = view.ctm * place;
            TextChunk chunk;
            chunk.runs.push_back({one, text});
            WriteLiveText(textPath, chunk, glyph);
        }
        if (outlined)
            WriteOutlines(textPath, run.style, glyphs, view);
        d += shaped[i].width;
    }
}

// Flowed text: the paragraphs broken into lines at the width of the
// region's rectangle, greedily by words; lines that do not fit its height
// are not drawn, as editors hide them.
void Reader::FlowRoot(xmlNodePtr node, const Style& style, const View& view)
{
    xmlNodePtr rect = nullptr;
    for (xmlNodePtr n = node->children; n != nullptr && rect == nullptr; n = n->next)
        if (LocalName(n) == "flowRegion")
            for (xmlNodePtr r = n->children; r != nullptr && rect == nullptr; r = r->next)
                if (LocalName(r) == "rect")
                    rect = r;
    if (rect == nullptr) {
        Warn("flowed text in regions other than a rectangle", node);
        return;
    }
    const Style rectStyle = ComputeStyle(rect, style);
    View region = view;
    ElementTransform(rect, region.ctm);
    const double left = Length(rect, "x", view.width, rectStyle, 0);
    const double top = Length(rect, "y", view.height, rectStyle, 0);
    const double width = Length(rect, "width", view.width, rectStyle, 0);
    const double bottom = top + Length(rect, "height", view.height, rectStyle, 0);
    if (!(width > 0) || !(bottom > top))
        return;

    std::vector<xmlNodePtr> paragraphs;
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next) {
        if (LocalName(n) == "flowPara")
            paragraphs.push_back(n);
        else if (LocalName(n) == "flowDiv")
            for (xmlNodePtr p = n->children; p != nullptr; p = p->next)
                if (LocalName(p) == "flowPara")
                    paragraphs.push_back(p);
    }
    double y = top;  // the bottom of the last line
    bool firstLine = true;
    for (xmlNodePtr para : paragraphs) {
        const Style paraStyle = ComputeStyle(para, style);
        if (paraStyle.displayNone)
            continue;
        std::vector<TextChunk> collected(1);
        bool leading = true;
        CollectText(para, paraStyle, collected, leading);
        // Words and the blanks between them, each with its run's style.
        std::vector<TextRun> pieces;
        for (const TextChunk& c : collected)
            for (const TextRun& r : c.runs)
                for (std::size_t at = 0; at < r.text.size();) {
                    const bool blank = r.text[at] == ' ';
                    std::size_t end =
                        blank ? r.text.find_first_not_of(' ', at) : r.text.find(' ', at);
                    end = end == std::string::npos ? r.text.size() : end;
                    pieces.push_back({r.style, r.text.substr(at, end - at)});
                    at = end;
                }
        const double size = paraStyle.fontSize;
        const double lineHeight = (paraStyle.lineHeight > 0 ? paraStyle.lineHeight : 1.25) * size;
        std::vector<TextRun> line, blanks;
        double lineWidth = 0, blanksWidth = 0;
        auto measure = [](const TextRun& r) { return TextWidth(r.style, r.text); };
        const ShapedText font = ShapeText(paraStyle, "");
        bool full = false;
        auto emit = [&] {
            // The first baseline lies half the leading and an ascent below the
            // top, the others a line height apart.
            const double baseline =
                firstLine ? y + (lineHeight - size) / 2 + font.ascent : y + lineHeight;
            if (baseline + font.descent > bottom) {
                full = true;
                return;
            }
            TextChunk chunk;
            chunk.x = left + width * (paraStyle.anchor / 2.0);
            chunk.y = baseline;
            chunk.runs = line;
            if (!chunk.runs.empty())
                WriteTextChunk(node, chunk, region);
            y = baseline;
            firstLine = false;
            line.clear();
            blanks.clear();
            lineWidth = blanksWidth = 0;
        };
        for (const TextRun& piece : pieces) {
            if (full)
                break;
            const double w = measure(piece);
            if (piece.text[0] == ' ') {
                if (!line.empty()) {
                    blanks.push_back(piece);
                    blanksWidth += w;
                }
                continue;
            }
            if (!line.empty() && lineWidth + blanksWidth + w > width)
                emit();
            blanks.push_back(piece);
            for (const TextRun& r : blanks)
                if (!line.empty() && SameRunStyle(line.back().style, r.style))
                    line.back().text += r.text;
                else
                    line.push_back(r);
            lineWidth += blanksWidth + w;
            blanks.clear();
            blanksWidth = 0;
        }
        if (!full)
            emit();  // the paragraph's last line, or an empty one
        if (full)
            break;
    }
}

}  // namespace svgreader
