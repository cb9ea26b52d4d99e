// Text the reader lays out itself: characters along a path, and flowed text
// broken into lines at its region's width. Widths come from the metrics of
// the standard faces the procedure sets draw with (sans, serif, fixed).
#include <algorithm>
#include <cmath>

#include "SvgDocument.h"
#include "SvgXml.h"

namespace svgreader {

namespace {

// Advance widths of codes 32 to 126, thousandths of an em.
constexpr short kSans[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333,  278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, 1015, 667, 667, 722, 722, 667,
    611, 778, 722, 278, 500, 667, 556, 833, 722, 778, 667, 778, 722, 667,  611, 722, 667, 944, 667,
    667, 611, 278, 278, 278, 469, 556, 333, 556, 556, 500, 556, 556, 278,  556, 556, 222, 222, 500,
    222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500,  500, 334, 260, 334, 584};
constexpr short kSansBold[95] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667,
    611, 778, 722, 278, 556, 722, 611, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 333, 278, 333, 584, 556, 333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556,
    278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};
constexpr short kSerif[95] = {
    250, 333, 408, 500, 500, 833, 778, 180, 333, 333, 500, 564, 250, 333, 250, 278, 500, 500, 500,
    500, 500, 500, 500, 500, 500, 500, 278, 278, 564, 564, 564, 444, 921, 722, 667, 667, 722, 611,
    556, 722, 722, 333, 389, 722, 611, 889, 722, 722, 556, 722, 667, 556, 611, 722, 722, 944, 722,
    722, 611, 333, 278, 333, 469, 500, 333, 444, 500, 444, 500, 444, 333, 500, 500, 278, 278, 500,
    278, 778, 500, 500, 500, 500, 333, 389, 278, 500, 500, 722, 500, 500, 444, 480, 200, 480, 541};
constexpr short kSerifBold[95] = {
    250, 333, 555, 500, 500, 1000, 833, 278,  333, 333, 500, 570, 250, 333, 250, 278,
    500, 500, 500, 500, 500, 500,  500, 500,  500, 500, 333, 333, 570, 570, 570, 500,
    930, 722, 667, 722, 722, 667,  611, 778,  778, 389, 500, 778, 667, 944, 722, 778,
    611, 778, 722, 556, 667, 722,  722, 1000, 722, 722, 667, 333, 278, 333, 581, 500,
    333, 500, 556, 444, 556, 444,  333, 500,  556, 278, 333, 556, 278, 833, 556, 500,
    556, 556, 444, 389, 333, 556,  500, 722,  500, 500, 444, 394, 220, 394, 520};

// The sans face's kerning of character pairs (thousandths of an em, the
// pairs of at least 30), sorted. Text set along a path takes it, as editors
// set such text.
struct KernPair {
    char first, second;
    short value;
};
constexpr KernPair kSansKerning[] = {
    {'*', '.', -57},  {'-', 'T', -78},  {'-', 'V', -43},  {'-', 'X', -51},  {'-', 'Y', -90},
    {'-', 'Z', -34},  {'-', 'x', -45},  {'-', 'z', -57},  {'.', '*', -53},  {'/', 'B', 38},
    {'/', 'D', 33},   {'/', 'E', 33},   {'/', 'F', 33},   {'/', 'H', 36},   {'/', 'K', 38},
    {'/', 'L', 38},   {'/', 'M', 40},   {'/', 'N', 40},   {'/', 'R', 31},   {'/', 'U', 32},
    {'/', 'Y', 31},   {'A', 'C', -35},  {'A', 'G', -33},  {'A', 'O', -34},  {'A', 'Q', -30},
    {'A', 'T', -93},  {'A', 'U', -35},  {'A', 'V', -71},  {'A', 'W', -48},  {'A', 'Y', -94},
    {'A', 'v', -30},  {'A', 'y', -35},  {'B', 'V', -41},  {'B', 'Y', -45},  {'C', 'A', -33},
    {'C', 'T', -31},  {'C', 'V', -43},  {'C', 'Y', -50},  {'D', 'A', -39},  {'D', 'T', -45},
    {'D', 'V', -50},  {'D', 'X', -50},  {'D', 'Y', -63},  {'D', 'Z', -47},  {'E', 'C', -31},
    {'E', 'F', -32},  {'E', 'S', -35},  {'E', 't', -30},  {'E', 'y', -34},  {'F', ',', -103},
    {'F', '.', -103}, {'F', 'A', -70},  {'F', 'J', -52},  {'F', 'S', -32},  {'F', 'a', -34},
    {'F', 'r', -36},  {'F', 'u', -34},  {'F', 'y', -31},  {'G', 'T', -44},  {'G', 'V', -49},
    {'G', 'Y', -63},  {'J', 'A', -30},  {'K', '-', -45},  {'K', 'C', -50},  {'K', 'G', -48},
    {'K', 'O', -45},  {'K', 'Q', -45},  {'K', 'S', -38},  {'K', 'e', -30},  {'K', 'w', -44},
    {'K', 'y', -65},  {'L', ')', -43},  {'L', '-', -132}, {'L', 'C', -41},  {'L', 'G', -42},
    {'L', 'O', -41},  {'L', 'T', -105}, {'L', 'U', -35},  {'L', 'V', -105}, {'L', 'W', -68},
    {'L', 'Y', -122}, {'L', ']', -38},  {'L', 'y', -58},  {'O', 'A', -34},  {'O', 'T', -43},
    {'O', 'V', -45},  {'O', 'X', -45},  {'O', 'Y', -59},  {'O', 'Z', -40},  {'P', ',', -132},
    {'P', '-', -40},  {'P', '.', -132}, {'P', 'A', -77},  {'P', 'D', -33},  {'P', 'E', -33},
    {'P', 'F', -33},  {'P', 'H', -30},  {'P', 'I', -38},  {'P', 'J', -79},  {'P', 'P', -34},
    {'P', 'R', -35},  {'P', 'U', -31},  {'P', 'V', -31},  {'P', 'X', -49},  {'P', 'Y', -35},
    {'P', 'Z', -33},  {'P', 'e', -30},  {'Q', '-', 30},   {'Q', '}', 32},   {'R', 'V', -39},
    {'R', 'Y', -43},  {'S', 'V', -42},  {'S', 'Y', -48},  {'T', ',', -96},  {'T', '-', -75},
    {'T', '.', -96},  {'T', ':', -83},  {'T', ';', -78},  {'T', 'A', -96},  {'T', 'C', -45},
    {'T', 'G', -45},  {'T', 'J', -100}, {'T', 'O', -43},  {'T', 'Q', -48},  {'T', 'a', -99},
    {'T', 'c', -89},  {'T', 'e', -93},  {'T', 'g', -91},  {'T', 'o', -91},  {'T', 'r', -92},
    {'T', 's', -90},  {'T', 'u', -90},  {'T', 'v', -96},  {'T', 'w', -93},  {'T', 'y', -101},
    {'U', 'A', -35},  {'U', 'Z', -30},  {'V', ',', -84},  {'V', '-', -37},  {'V', '.', -84},
    {'V', ':', -45},  {'V', ';', -41},  {'V', 'A', -68},  {'V', 'C', -42},  {'V', 'G', -40},
    {'V', 'J', -67},  {'V', 'O', -37},  {'V', 'S', -36},  {'V', 'a', -58},  {'V', 'c', -48},
    {'V', 'e', -52},  {'V', 'g', -50},  {'V', 'o', -50},  {'V', 'r', -42},  {'V', 'u', -42},
    {'W', ',', -54},  {'W', '.', -54},  {'W', 'A', -50},  {'W', 'J', -41},  {'W', 'a', -37},
    {'X', '-', -49},  {'X', 'C', -46},  {'X', 'O', -41},  {'X', 'Q', -41},  {'X', 'e', -34},
    {'X', 'o', -33},  {'X', 'y', -58},  {'Y', ',', -110}, {'Y', '-', -79},  {'Y', '.', -110},
    {'Y', ':', -77},  {'Y', ';', -72},  {'Y', 'A', -92},  {'Y', 'C', -59},  {'Y', 'G', -59},
    {'Y', 'J', -97},  {'Y', 'O', -56},  {'Y', 'Q', -59},  {'Y', 'S', -42},  {'Y', 'a', -86},
    {'Y', 'c', -83},  {'Y', 'd', -80},  {'Y', 'e', -87},  {'Y', 'g', -85},  {'Y', 'm', -63},
    {'Y', 'n', -63},  {'Y', 'o', -85},  {'Y', 'p', -55},  {'Y', 'q', -80},  {'Y', 'r', -62},
    {'Y', 's', -78},  {'Y', 'u', -63},  {'Y', 'v', -37},  {'Y', 'w', -34},  {'Y', 'z', -57},
    {'Z', '-', -101}, {'Z', ':', -32},  {'Z', ';', -32},  {'Z', 'O', -44},  {'Z', 'v', -33},
    {'Z', 'w', -31},  {'Z', 'y', -34},  {'[', 'j', 33},   {'\\', 'B', 38},  {'\\', 'D', 33},
    {'\\', 'H', 36},  {'\\', 'K', 38},  {'\\', 'L', 37},  {'\\', 'M', 40},  {'\\', 'N', 39},
    {'\\', 'P', 32},  {'\\', 'R', 31},  {'\\', 'T', -44}, {'\\', 'Y', -34}, {'\\', 'd', 52},
    {'\\', 'f', 42},  {'\\', 'g', 47},  {'\\', 'i', 51},  {'\\', 'j', 48},  {'\\', 'l', 50},
    {'c', '?', -48},  {'d', '}', 30},   {'e', '!', -34},  {'e', '?', -68},  {'f', '!', -34},
    {'f', ',', -35},  {'f', '.', -35},  {'g', '!', -32},  {'g', '?', -37},  {'k', '-', -44},
    {'k', 'x', 31},   {'n', 'T', -94},  {'o', 'T', -98},  {'q', '}', 30},   {'r', '!', -30},
    {'r', ',', -70},  {'r', '-', -49},  {'r', '.', -70},  {'r', 'w', 31},   {'s', '!', -38},
    {'s', '?', -57},  {'t', '!', -32},  {'v', ',', -71},  {'v', '.', -71},  {'w', '!', -31},
    {'w', ',', -52},  {'w', '.', -52},  {'x', '!', -38},  {'x', '-', -50},  {'y', '!', -35},
    {'y', ',', -71},  {'y', '.', -71},  {'z', '!', -45},  {'z', '-', -56}};

bool HasAny(const std::string& s, std::initializer_list<const char*> parts)
{
    for (const char* p : parts)
        if (s.find(p) != std::string::npos)
            return true;
    return false;
}

// The width of one Latin-1 character in ems, in the face the procedure sets
// would draw the family with; letters beyond ASCII take an average width.
double Advance(const Style& style, unsigned char c)
{
    const std::string& f = style.fontFamily;
    if (HasAny(f, {"Courier", "Mono", "mono", "Typewriter", "Consol"}))
        return 0.6;
    const bool serif =
        !HasAny(f, {"Sans", "sans"}) &&
        HasAny(f, {"Times", "Roman", "serif", "Serif", "Garamond", "Georgia", "Book", "Century",
                   "Palatino", "Baskerville", "Bodoni", "Caslon", "Schoolbook"});
    const short* table =
        serif ? (style.bold ? kSerifBold : kSerif) : (style.bold ? kSansBold : kSans);
    if (c >= 32 && c <= 126)
        return table[c - 32] / 1000.0;
    return serif ? 0.5 : 0.556;
}

double Kerning(const Style& style, char a, char b)
{
    if (Advance(style, 'i') != kSans['i' - 32] / 1000.0)
        return 0;  // not the sans face
    const auto it =
        std::lower_bound(std::begin(kSansKerning), std::end(kSansKerning), KernPair{a, b, 0},
                         [](const KernPair& x, const KernPair& y) {
                             return x.first != y.first ? x.first < y.first : x.second < y.second;
                         });
    return it != std::end(kSansKerning) && it->first == a && it->second == b
               ? it->value / 1000.0 * style.fontSize
               : 0;
}

double AdvanceOf(const Style& style, unsigned char c)
{
    return Advance(style, c) * style.fontSize + style.letterSpacing +
           (c == ' ' ? style.wordSpacing : 0);
}

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
        if (points.size() < 2 || d < 0 || d > Length())
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

double TextWidth(const Style& style, const std::string& latin)
{
    double w = 0;
    for (char c : latin)
        w += AdvanceOf(style, static_cast<unsigned char>(c));
    return w;
}

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
    double width = 0;
    std::vector<std::pair<const TextRun*, std::string>> texts;
    for (const TextRun& r : runs) {
        std::string latin;
        if (!ToLatin1(r.text, latin))
            Warn("characters outside Latin-1 (written as '?')", textPath);
        width += TextWidth(r.style, latin);
        texts.emplace_back(&r, latin);
    }
    double v = 0;
    double d =
        ParseLength(Attr(textPath, "startOffset").value_or("0"), line.Length(), style.fontSize, v)
            ? v
            : 0;
    d -= style.anchor == 1 ? width / 2 : style.anchor == 2 ? width : 0;
    for (const auto& [run, latin] : texts) {
        Style one = run->style;
        one.anchor = 0;
        one.letterSpacing = one.wordSpacing = 0;
        for (std::size_t k = 0; k < latin.size(); ++k) {
            const char c = latin[k];
            const double advance =
                AdvanceOf(run->style, static_cast<unsigned char>(c)) +
                (k + 1 < latin.size() ? Kerning(run->style, c, latin[k + 1]) : 0);
            Point mid;
            double angle = 0;
            if (c != ' ' && line.At(d + advance / 2, mid, angle)) {
                const double cs = std::cos(angle), sn = std::sin(angle);
                const double half =
                    Advance(run->style, static_cast<unsigned char>(c)) * run->style.fontSize / 2;
                View glyph = view;
                glyph.ctm =
                    view.ctm * Matrix{cs, sn, -sn, cs, mid.x - cs * half, mid.y - sn * half};
                const auto u = static_cast<unsigned char>(c);
                TextChunk chunk;  // back to UTF-8, which the runs hold
                chunk.runs.push_back(
                    {one, u < 0x80 ? std::string(1, c)
                                   : std::string{static_cast<char>(0xC0 | u >> 6),
                                                 static_cast<char>(0x80 | (u & 0x3F))}});
                WriteTextChunk(textPath, chunk, glyph);
            }
            d += advance;
        }
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
        auto measure = [](const TextRun& r) {
            std::string latin;
            ToLatin1(r.text, latin);
            return TextWidth(r.style, latin);
        };
        bool full = false;
        auto emit = [&] {
            // The first baseline lies an ascent below the top, the others a
            // line height apart.
            const double baseline = firstLine ? y + size * 0.905 : y + lineHeight;
            if (baseline + size * 0.212 > bottom) {
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
