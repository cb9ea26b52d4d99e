// Text as outlines: the glyphs of a run as one compound path in the text's
// paint, for readers that lack the fonts and for scripts the format's 8-bit
// text cannot carry.
#include "SvgDocument.h"
#include "SvgFonts.h"
#include "SvgXml.h"

namespace svgreader {

void Reader::Notice(const std::string& key, const std::string& message, xmlNodePtr at)
{
    if (!warned.insert(key).second)
        return;
    const long line = at != nullptr ? xmlGetLineNo(at) : 0;
    outcome.warnings.push_back({file, line > 0 ? line : 0, Warning::Kind::kText, message});
}

bool Reader::Outlined(const TextRun& run, xmlNodePtr at)
{
    const bool beyond = BeyondLatin1(run.text);
    if (!HaveFonts()) {
        if (options.textOutlines)
            Notice("outlines",
                   "text written as text: this aiexport was built without "
                   "fontconfig, FreeType and HarfBuzz",
                   nullptr);
        return false;
    }
    if (!HasFont(run.style)) {
        Notice("no fonts", "text written as text: no installed font to outline it with", at);
        return false;
    }
    const std::string other = SubstituteFor(run.style);
    if (!other.empty())
        Notice("font " + run.style.fontFamily,
               "font '" + SafeName(run.style.fontFamily, kNameLimit) +
                   "' is not installed: laid out with '" + SafeName(other, kNameLimit) + "'",
               at);
    if (beyond && !options.textOutlines)
        Notice("beyond Latin-1", "text with characters beyond Latin-1 written as outlines", at);
    return beyond || options.textOutlines;
}

void Reader::AddGlyph(const Glyph& glyph, double size, const Matrix& m, Path& glyphs,
                      std::size_t& segments)
{
    const std::size_t before = glyphs.subpaths.size();
    if (!GlyphOutline(glyph, size, m, glyphs))
        return;
    for (std::size_t i = before; i < glyphs.subpaths.size(); ++i)
        segments += glyphs.subpaths[i].segments.size() + 1;
    Spend(1);
    // A segment takes some 40 bytes of records: the outlines of a long text
    // are refused before they are held in memory whole.
    if (defs.Mark() + draw.Mark() + segments * 40 > kMaxRecordBytes)
        throw TooLarge{"more than " + std::to_string(kMaxRecordBytes >> 20) +
                       " MB of records (text as outlines)"};
}

void Reader::WriteOutlines(xmlNodePtr node, const Style& style, const Path& glyphs,
                           const View& view)
{
    // TrueType and OpenType glyphs fill by the non-zero rule, overlapping
    // contours (accents, joined script) included.
    if (clipOutlines != nullptr) {
        // A member of a clip path: its outlines join the clipping region.
        Path page = glyphs;
        page.Transform(view.ctm);
        if (page.IsFinite())
            clipOutlines->subpaths.insert(clipOutlines->subpaths.end(), page.subpaths.begin(),
                                          page.subpaths.end());
        return;
    }
    Style filled = style;
    filled.evenOdd = false;
    filled.clipPath.clear();  // clipping belongs to the text element as a whole
    Shape(node, filled, view, glyphs);
}

}  // namespace svgreader
