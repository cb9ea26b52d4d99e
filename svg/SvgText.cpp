// Text: each text element, and each span with its own position, as one text
// object of runs; white space as SVG collapses it.
#include "SvgDocument.h"
#include "SvgFonts.h"
#include "SvgXml.h"

#include <algorithm>
#include <cmath>

namespace svgreader {

namespace {

// Where a line of text the records set may leave ink: its advances as they
// are measured here, an eighth more and half an em on each side for a face
// the file's reader sets wider, an ascent of 1.25 em and a descent of half an
// em for accents and tails, and the stroke. Invalid when nothing is known.
Box LiveTextBox(const TextChunk& chunk, const Matrix& m)
{
    double width = 0, size = 0, stroke = 0;
    for (const TextRun& r : chunk.runs) {
        width += std::fabs(TextWidth(r.style, r.text));
        size = std::max(size, r.style.fontSize);
        if (r.style.stroke.kind != Paint::kNone && r.style.stroke.kind != Paint::kUnset)
            stroke = std::max(stroke, r.style.strokeWidth * std::max(r.style.miterLimit, 1.0));
    }
    if (!std::isfinite(width) || !std::isfinite(stroke) || !(size > 0) || chunk.runs.empty())
        return {};
    const double side = width / 8 + size / 2 + stroke;
    const double x0 = chunk.x - chunk.runs.front().style.anchor * width / 2 - side;
    const double x1 = x0 + width + 2 * side;
    const double y0 = chunk.y - 1.25 * size - stroke, y1 = chunk.y + size / 2 + stroke;
    Box box;
    for (const Point corner : {Point{x0, y0}, Point{x1, y0}, Point{x0, y1}, Point{x1, y1}}) {
        const Point p = m.Apply(corner);
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return {};
        box.Add(p.x, p.y);
    }
    return box;
}

}  // namespace

// Runs merge while nothing the records carry changes.
bool SameRunStyle(const Style& a, const Style& b)
{
    return a.fill.kind == b.fill.kind && a.fill.color.r == b.fill.color.r &&
           a.fill.color.g == b.fill.color.g && a.fill.color.b == b.fill.color.b &&
           a.fill.url == b.fill.url && a.fontSize == b.fontSize && a.bold == b.bold &&
           a.italic == b.italic && a.fontWeight == b.fontWeight && a.fontStretch == b.fontStretch &&
           a.fontFamily == b.fontFamily && a.visible == b.visible;
}

namespace {

// The face of a generic family is the one every reader has.
std::string FaceOf(const std::string& family)
{
    const std::string face = family == "serif"        ? "Times New Roman"
                             : family == "sans-serif" ? "Arial"
                             : family == "monospace"  ? "Courier New"
                                                      : family;
    std::string latin;
    ToLatin1(face, latin);
    return latin;
}

const char* StyleNameOf(const Style& s)
{
    return s.bold ? (s.italic ? "Bold Italic" : "Bold") : (s.italic ? "Italic" : "Regular");
}

}  // namespace

void Reader::CollectText(xmlNodePtr node, const Style& style, std::vector<TextChunk>& chunks,
                         bool& lastSpace)
{
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next) {
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            std::string text;
            for (const char* c = reinterpret_cast<const char*>(n->content);
                 c != nullptr && *c != '\0'; ++c) {
                char ch = *c;
                if (!style.preserveSpace) {
                    // Line breaks go, tabs become blanks, runs of blanks one.
                    if (ch == '\n' || ch == '\r')
                        continue;
                    if (ch == '\t')
                        ch = ' ';
                    if (ch == ' ' && lastSpace)
                        continue;
                } else if (ch == '\n' || ch == '\r' || ch == '\t') {
                    ch = ' ';
                }
                lastSpace = ch == ' ';
                text += ch;
            }
            if (text.empty())
                continue;
            if (chunks.empty())
                chunks.emplace_back();
            auto& runs = chunks.back().runs;
            if (!runs.empty() && SameRunStyle(runs.back().style, style))
                runs.back().text += text;
            else
                runs.push_back({style, text});
            continue;
        }
        const std::string name = LocalName(n);
        if (name == "tspan" || name == "a" || name == "flowSpan") {
            const Style span = ComputeStyle(n, style);
            if (span.displayNone)
                continue;
            const auto xs = ParseNumberList(Attr(n, "x").value_or(""));
            const auto ys = ParseNumberList(Attr(n, "y").value_or(""));
            if (xs.size() > 1 || ys.size() > 1 || Attr(n, "dx") || Attr(n, "dy") ||
                Attr(n, "rotate"))
                Warn("per-character text positions and rotations", n);
            if (!xs.empty() || !ys.empty()) {
                TextChunk chunk;
                chunk.x = !xs.empty() ? xs[0] : chunks.empty() ? 0 : chunks.back().x;
                chunk.y = !ys.empty() ? ys[0] : chunks.empty() ? 0 : chunks.back().y;
                chunks.push_back(chunk);
            }
            CollectText(n, span, chunks, lastSpace);
        } else if (name == "tref") {
            Warn("<tref> elements", n);
        }
    }
}

void Reader::Text(xmlNodePtr node, const Style& style, const View& view)
{
    if (!style.clipPath.empty())
        Warn("clip paths on text", node);
    std::vector<TextChunk> chunks(1);
    const auto xs = ParseNumberList(Attr(node, "x").value_or("0"));
    const auto ys = ParseNumberList(Attr(node, "y").value_or("0"));
    if (xs.size() > 1 || ys.size() > 1 || Attr(node, "dx") || Attr(node, "dy") ||
        Attr(node, "rotate"))
        Warn("per-character text positions and rotations", node);
    chunks[0].x = xs.empty() ? 0 : xs[0];
    chunks[0].y = ys.empty() ? 0 : ys[0];
    bool lastSpace = true;  // leading blanks go
    CollectText(node, style, chunks, lastSpace);
    // Blanks at the end of a line of text show nothing: they go, and would
    // only shift text that is centred or aligned at its end.
    for (TextChunk& c : chunks) {
        bool done = style.preserveSpace;
        for (auto r = c.runs.rbegin(); r != c.runs.rend() && !done; ++r) {
            while (!r->text.empty() && r->text.back() == ' ')
                r->text.pop_back();
            done = !r->text.empty();
        }
    }
    const double s = view.ctm.Scale();
    if (!(s > 0) || !view.ctm.IsFinite())
        return;
    for (const TextChunk& chunk : chunks)
        WriteTextChunk(node, chunk, view);
    for (xmlNodePtr n = node->children; n != nullptr; n = n->next) {
        if (LocalName(n) != "textPath")
            continue;
        const Style pathStyle = ComputeStyle(n, style);
        std::vector<TextChunk> along(1);
        bool leading = true;
        CollectText(n, pathStyle, along, leading);
        std::vector<TextRun> runs;
        for (const TextChunk& c : along)
            runs.insert(runs.end(), c.runs.begin(), c.runs.end());
        if (!pathStyle.displayNone)
            TextOnPath(n, runs, pathStyle, view);
    }
}

// Runs that go as outlines are laid out here, from the chunk's anchor; the
// others stay text, each then placed at its own start.
void Reader::WriteTextChunk(xmlNodePtr node, const TextChunk& chunk, const View& view)
{
    std::vector<bool> outlined;
    bool any = false;
    for (const TextRun& r : chunk.runs) {
        outlined.push_back(!r.text.empty() && r.style.visible && Outlined(r, node));
        any = any || outlined.back();
    }
    if (!any) {
        WriteLiveText(node, chunk, view);
        return;
    }
    std::vector<ShapedText> shaped;
    double width = 0;
    for (const TextRun& r : chunk.runs) {
        shaped.push_back(ShapeText(r.style, r.text));
        width += shaped.back().width;
    }
    if (!std::isfinite(width))
        return;  // sizes beyond the page's numbers
    double x = chunk.x - chunk.runs.front().style.anchor * width / 2;
    for (std::size_t i = 0; i < chunk.runs.size(); ++i) {
        const TextRun& r = chunk.runs[i];
        if (outlined[i]) {
            Path glyphs;
            std::size_t segments = 0;
            for (const Glyph& g : shaped[i].glyphs)
                AddGlyph(g, r.style.fontSize, Matrix::Translate(x, chunk.y), glyphs, segments);
            WriteOutlines(node, r.style, glyphs, view);
        } else if (!r.text.empty() && r.style.visible) {
            TextChunk one;
            one.x = x;
            one.y = chunk.y;
            one.runs.push_back(r);
            one.runs.back().style.anchor = 0;
            WriteLiveText(node, one, view);
        }
        x += shaped[i].width;
    }
}

void Reader::WriteLiveText(xmlNodePtr node, const TextChunk& chunk, const View& view)
{
    bool any = false;
    for (const TextRun& r : chunk.runs)
        any = any || (!r.text.empty() && r.style.visible);
    if (!any)
        return;
    const Style& first = chunk.runs.front().style;
    const Box none;
    const ElementPaint paint = ResolveElementPaint(first, none, none, view, true, node);
    WritePaint(first, paint, view.ctm);
    // Text space is points: the user space scaled by the font's conversion,
    // its y upwards like the page's.
    const Matrix& m = view.ctm;
    const double s = m.Scale();
    const double k = 1 / (72 * s);
    const Point origin = m.Apply({chunk.x, chunk.y});
    draw.BeginText();
    draw.SetTextType(0);
    draw.SetTextMatrix({AsPrinted(m.a * k), AsPrinted(m.b * k), AsPrinted(-m.c * k),
                        AsPrinted(-m.d * k), AsPrinted(origin.x), AsPrinted(origin.y)});
    bool attributes = false;
    double tracking = 0;
    Rgb current = paint.fill.color;
    for (const TextRun& r : chunk.runs) {
        if (r.text.empty() || !r.style.visible)
            continue;
        const double points = r.style.fontSize * s * 72;
        SetCharAttrData font{};
        const std::string face = FaceOf(r.style.fontFamily);
        const std::string styleName = StyleNameOf(r.style);
        font.faceNameLength = static_cast<std::uint16_t>(std::min(face.size(), kNameLimit));
        PutChars(font.faceName, font.faceNameLength, face);
        font.styleNameLength =
            static_cast<std::uint16_t>(std::min(styleName.size(), sizeof font.styleName));
        PutChars(font.styleName, font.styleNameLength, styleName);
        font.kernClass = 1;
        font.fontSize = AsPrinted(points);
        font.sizeIsEm = 1;
        font.horizontalScale = 1;
        font.attributeValueD = 1;
        draw.SetCharAttr(font);
        if (!attributes) {
            SetTextAttrData paragraph{};
            paragraph.alignment = static_cast<std::uint32_t>(first.anchor);
            paragraph.leading = AsPrinted(points * 1.2);
            draw.SetTextAttr(paragraph);
            draw.SetTextTracking(0.0);
            attributes = true;
        }
        // Letter spacing is tracking, in thousandths of an em after every
        // character; word spacing adds to it on each blank, as runs of their own.
        const double size = r.style.fontSize;
        const double letters = size > 0 ? r.style.letterSpacing / size * 1000 : 0;
        const double words = size > 0 ? r.style.wordSpacing / size * 1000 : 0;
        const Fill runFill =
            ResolvePaint(r.style.fill, r.style, r.style.fillOpacity, none, none, view, true, node);
        const Rgb& c = runFill.color;
        if (runFill.kind == FillKind::kColor && paint.fill.kind == FillKind::kColor &&
            (c.r != current.r || c.g != current.g || c.b != current.b)) {
            draw.SetFillColorByValue(ColorValue(c));
            current = c;
        }
        std::string latin;
        if (!ToLatin1(r.text, latin))
            Warn("characters outside Latin-1 (written as '?')", node);
        // The font's kerning is tracking too, of the first character of each
        // kerned pair: the text's reader sets each character by its own advance.
        const std::vector<double> kerning = KerningOf(r.style, r.text);
        std::vector<double> tracks(latin.size(), letters);
        for (std::size_t i = 0; i < latin.size(); ++i)
            tracks[i] += (latin[i] == ' ' ? words : 0) +
                         (size > 0 && i < kerning.size() ? kerning[i] / size * 1000 : 0);
        for (std::size_t at = 0; at < latin.size();) {
            std::size_t end = at + 1;
            while (end < latin.size() && tracks[end] == tracks[at])
                ++end;
            const double track = tracks[at];
            if (track != tracking) {
                draw.SetTextTracking(AsPrinted(track));
                tracking = track;
            }
            std::string piece = latin.substr(at, end - at);
            _TextData text{};
            text.text = piece.data();
            text.count = static_cast<std::uint32_t>(piece.size());
            draw.Text(text);
            at = end;
        }
    }
    draw.EndText();
    // Its box keeps what is drawn later elsewhere free to be vectors (once
    // all is unknown, or nothing can be translucent, it serves nothing).
    if (Tracking() && notePieces && !unknownBeneath)
        if (const Box box = LiveTextBox(chunk, view.ctm); box.valid)
            NoteUnknownArea(box);
    ++objects;
}

}  // namespace svgreader
