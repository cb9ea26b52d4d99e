// Fonts for laying out text: fontconfig resolves a style to an installed
// font, as the renderers of SVG do; HarfBuzz shapes over its FreeType face;
// FreeType gives the outlines.
#include "SvgFonts.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#ifdef AIEXPORT_HAVE_FONTS
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <hb-ft.h>
#include <hb.h>
#endif

namespace svgreader {

namespace {

// The code points of UTF-8 text with the offset of each; malformed bytes
// stand for themselves (libxml2 hands over well-formed text).
struct CodePoint {
    unsigned value;
    std::size_t at;
};

std::vector<CodePoint> Decode(const std::string& s)
{
    std::vector<CodePoint> out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (i + len > s.size())
            len = 1;
        unsigned cp = len == 1 ? c : c & (0xFFu >> (len + 1));
        for (std::size_t k = 1; k < len; ++k)
            cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
        out.push_back({cp, i});
        i += len;
    }
    return out;
}

bool IsGeneric(const std::string& family)
{
    for (const char* g :
         {"serif", "sans-serif", "monospace", "cursive", "fantasy", "system-ui", "sans", "mono"})
        if (family == g)
            return true;
    return false;
}

// Scripts written from right to left, by their blocks.
bool RightToLeft(unsigned cp)
{
    return (cp >= 0x0590 && cp <= 0x08FF) || (cp >= 0xFB1D && cp <= 0xFDFF) ||
           (cp >= 0xFE70 && cp <= 0xFEFF) || (cp >= 0x10800 && cp <= 0x10FFF) ||
           (cp >= 0x1E800 && cp <= 0x1EFFF);
}

// Letters and digits have a direction of their own; blanks and punctuation
// take their neighbours'.
bool Neutral(unsigned cp)
{
    return cp < 0x80
               ? !((cp >= '0' && cp <= '9') || (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z'))
               : (cp >= 0x2000 && cp <= 0x206F) || cp == 0xA0 || cp == 0xAB || cp == 0xBB;
}

// Pieces of one direction, in the order of the text: a right-to-left piece
// is shaped, and so drawn, from right to left within a left-to-right line.
struct Piece {
    std::size_t begin, end;  // bytes
    bool rtl;
};

std::vector<Piece> Pieces(const std::string& s)
{
    const std::vector<CodePoint> cps = Decode(s);
    std::vector<int> dir(cps.size(), 0);  // 1 rtl, -1 ltr, 0 neutral
    for (std::size_t i = 0; i < cps.size(); ++i)
        dir[i] = Neutral(cps[i].value) ? 0 : RightToLeft(cps[i].value) ? 1 : -1;
    // A neutral between two right-to-left characters is right to left; any
    // other follows the line's direction.
    std::vector<int> resolved = dir;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        if (dir[i] != 0)
            continue;
        int before = -1, after = -1;
        for (std::size_t k = i; k-- > 0;)
            if (dir[k] != 0) {
                before = dir[k];
                break;
            }
        for (std::size_t k = i + 1; k < cps.size(); ++k)
            if (dir[k] != 0) {
                after = dir[k];
                break;
            }
        resolved[i] = before == 1 && after == 1 ? 1 : -1;
    }
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        const bool rtl = resolved[i] == 1;
        if (pieces.empty() || pieces.back().rtl != rtl)
            pieces.push_back({cps[i].at, cps[i].at, rtl});
        pieces.back().end = i + 1 < cps.size() ? cps[i + 1].at : s.size();
    }
    return pieces;
}

// Text measured without fonts: half an em a character.
ShapedText HalfEm(const Style& style, const std::string& utf8)
{
    ShapedText out;
    double pen = 0;
    const std::vector<CodePoint> cps = Decode(utf8);
    for (std::size_t i = 0; i < cps.size(); ++i) {
        Glyph g;
        g.x = pen;
        g.begin = cps[i].at;
        g.end = i + 1 < cps.size() ? cps[i + 1].at : utf8.size();
        g.advance = style.fontSize / 2 + style.letterSpacing +
                    (cps[i].value == ' ' ? style.wordSpacing : 0);
        pen += g.advance;
        out.glyphs.push_back(g);
    }
    out.width = pen;
    out.ascent = style.fontSize * 0.8;
    out.descent = style.fontSize * 0.2;
    return out;
}

#ifdef AIEXPORT_HAVE_FONTS

struct Face {
    FT_Face ft = nullptr;
    hb_font_t* hb = nullptr;
    double units = 1;  // HarfBuzz's units to the em
    double upem = 1000;
    double ascent = 0.8, descent = 0.2;     // ems
    double xx = 1, xy = 0, yx = 0, yy = 1;  // a slant or stretch fontconfig asks for
    bool embolden = false;
    std::string family;
    std::vector<std::string> families;  // every name the font answers to

    ~Face()
    {
        if (hb != nullptr)
            hb_font_destroy(hb);
        if (ft != nullptr)
            FT_Done_Face(ft);
    }
};

class Library {
public:
    Library()
    {
        if (FT_Init_FreeType(&ft) != 0)
            ft = nullptr;
        config = FcInitLoadConfigAndFonts();
    }
    ~Library()
    {
        faces.clear();
        if (ft != nullptr)
            FT_Done_FreeType(ft);
        if (config != nullptr)
            FcConfigDestroy(config);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // The font for the style; with `needs`, one that has glyphs for these
    // characters, picked as the renderers fall back.
    const Face* Resolve(const Style& style, const std::vector<unsigned>& needs = {})
    {
        std::string key = style.fontFamily + "|" + std::to_string(style.fontWeight) + "|" +
                          std::to_string(style.fontStretch) + (style.italic ? "|i" : "|u");
        for (unsigned cp : needs)
            key += "|" + std::to_string(cp);
        const auto it = byStyle.find(key);
        if (it != byStyle.end())
            return it->second;
        const Face* face = Match(style, needs);
        byStyle[key] = face;
        return face;
    }

private:
    FT_Library ft = nullptr;
    FcConfig* config = nullptr;
    std::map<std::string, std::unique_ptr<Face>> faces;  // by file and index
    std::map<std::string, const Face*> byStyle;

    const Face* Match(const Style& style, const std::vector<unsigned>& needs)
    {
        if (ft == nullptr || config == nullptr)
            return nullptr;
        FcPattern* pattern = FcPatternCreate();
        if (pattern == nullptr)
            return nullptr;
        const std::string family = style.fontFamily == "sans" ? "sans-serif" : style.fontFamily;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddDouble(pattern, FC_WEIGHT, FcWeightFromOpenTypeDouble(style.fontWeight));
        FcPatternAddDouble(pattern, FC_WIDTH, style.fontStretch);
        FcPatternAddInteger(pattern, FC_SLANT, style.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        if (!needs.empty()) {
            FcCharSet* set = FcCharSetCreate();
            for (unsigned cp : needs)
                FcCharSetAddChar(set, cp);
            FcPatternAddCharSet(pattern, FC_CHARSET, set);
            FcCharSetDestroy(set);
        }
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        FcPatternDestroy(pattern);
        if (match == nullptr)
            return nullptr;
        const Face* face = Open(match);
        FcPatternDestroy(match);
        return face;
    }

    const Face* Open(FcPattern* match)
    {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch)
            return nullptr;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcMatrix* matrix = nullptr;
        const bool hasMatrix = FcPatternGetMatrix(match, FC_MATRIX, 0, &matrix) == FcResultMatch;
        FcBool embolden = FcFalse;
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        std::string key = reinterpret_cast<const char*>(file);
        key += "|" + std::to_string(index) + (embolden ? "|b" : "");
        if (hasMatrix)
            key += "|" + std::to_string(matrix->xx) + "," + std::to_string(matrix->xy) + "," +
                   std::to_string(matrix->yx) + "," + std::to_string(matrix->yy);
        auto& slot = faces[key];
        if (slot)
            return slot.get();
        auto face = std::make_unique<Face>();
        if (FT_New_Face(ft, reinterpret_cast<const char*>(file), index, &face->ft) != 0) {
            face->ft = nullptr;
            return nullptr;
        }
        FT_Face f = face->ft;
        if (!FT_IS_SCALABLE(f) || f->units_per_EM == 0)
            return nullptr;
        face->upem = f->units_per_EM;
        // Shaped at one pixel a font unit, unhinted: positions in exact font units.
        FT_Set_Char_Size(f, 0, static_cast<FT_F26Dot6>(f->units_per_EM) * 64, 72, 72);
        face->hb = hb_ft_font_create_referenced(f);
        if (face->hb == nullptr)
            return nullptr;
        hb_ft_font_set_load_flags(face->hb, FT_LOAD_NO_HINTING);
        int xs = 0, ys = 0;
        hb_font_get_scale(face->hb, &xs, &ys);
        face->units = xs > 0 ? xs : 1;
        // The typographic ascent and descent, scaled to share the em between
        // them, as editors place lines of text in a frame.
        face->ascent = f->ascender / face->upem;
        face->descent = -f->descender / face->upem;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
        if (os2 != nullptr && os2->version != 0xFFFF && os2->sTypoAscender > 0 &&
            os2->sTypoDescender <= 0) {
            face->ascent = os2->sTypoAscender / face->upem;
            face->descent = -os2->sTypoDescender / face->upem;
        }
        if (face->ascent + face->descent > 0) {
            const double sum = face->ascent + face->descent;
            face->ascent /= sum;
            face->descent /= sum;
        }
        if (!(face->ascent > 0) || !(face->descent >= 0)) {
            face->ascent = f->bbox.yMax / face->upem;
            face->descent = -f->bbox.yMin / face->upem;
        }
        if (hasMatrix) {
            face->xx = matrix->xx;
            face->xy = matrix->xy;
            face->yx = matrix->yx;
            face->yy = matrix->yy;
        }
        face->embolden = embolden == FcTrue;
        FcChar8* name = nullptr;
        for (int k = 0; FcPatternGetString(match, FC_FAMILY, k, &name) == FcResultMatch; ++k)
            face->families.emplace_back(reinterpret_cast<const char*>(name));
        face->family = face->families.empty() ? std::string() : face->families.front();
        slot = std::move(face);
        return slot.get();
    }
};

Library& Fonts()
{
    static Library library;
    return library;
}

// One piece of one direction shaped in one face, appended at the pen.
void ShapePiece(const Face& face, const Style& style, const std::string& text, const Piece& piece,
                ShapedText& out, double& pen)
{
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf8(buffer, text.data(), static_cast<int>(text.size()),
                       static_cast<unsigned>(piece.begin),
                       static_cast<int>(piece.end - piece.begin));
    hb_buffer_guess_segment_properties(buffer);
    hb_buffer_set_direction(buffer, piece.rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    // Spaced-out letters are not joined into ligatures, as browsers set them.
    hb_feature_t noLigatures[2];
    unsigned features = 0;
    if (style.letterSpacing != 0) {
        hb_feature_from_string("-liga", -1, &noLigatures[0]);
        hb_feature_from_string("-clig", -1, &noLigatures[1]);
        features = 2;
    }
    hb_shape(face.hb, buffer, noLigatures, features);
    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
    const double k = style.fontSize / face.units;
    // A cluster's bytes run to the next cluster's start in the text.
    std::vector<std::size_t> starts;
    for (unsigned i = 0; i < count; ++i)
        starts.push_back(info[i].cluster);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    std::vector<bool> seen(starts.size(), false);
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t c = info[i].cluster;
        const auto at = std::lower_bound(starts.begin(), starts.end(), c) - starts.begin();
        Glyph g;
        g.id = info[i].codepoint;
        g.face = &face;
        g.x = pen + pos[i].x_offset * k;
        g.y = -pos[i].y_offset * k;
        g.advance = pos[i].x_advance * k;
        g.kern = (pos[i].x_advance - hb_font_get_glyph_h_advance(face.hb, info[i].codepoint)) * k;
        g.begin = c;
        g.end = static_cast<std::size_t>(at) + 1 < starts.size() ? starts[at + 1] : piece.end;
        g.first = !seen[at];
        seen[at] = true;
        // Spacing follows each character's last glyph as drawn.
        const bool last = i + 1 == count || info[i + 1].cluster != c;
        if (last) {
            g.advance += style.letterSpacing;
            if (g.end - g.begin == 1 && text[g.begin] == ' ')
                g.advance += style.wordSpacing;
        }
        pen += g.advance;
        out.glyphs.push_back(g);
    }
    hb_buffer_destroy(buffer);
}

#endif  // AIEXPORT_HAVE_FONTS

}  // namespace

bool BeyondLatin1(const std::string& utf8)
{
    for (const CodePoint& c : Decode(utf8))
        if (c.value > 0xFF)
            return true;
    return false;
}

#ifdef AIEXPORT_HAVE_FONTS

bool HaveFonts() { return true; }

ShapedText ShapeText(const Style& style, const std::string& utf8)
{
    ShapedText out;
    const Face* face = Fonts().Resolve(style);
    if (face == nullptr)
        return HalfEm(style, utf8);  // no font at all
    double pen = 0;
    for (const Piece& piece : Pieces(utf8)) {
        ShapedText one;
        double start = pen;
        ShapePiece(*face, style, utf8, piece, one, start);
        // Characters the font lacks: the piece in a font that has them all.
        std::vector<unsigned> missing;
        for (const Glyph& g : one.glyphs)
            if (g.id == 0)
                for (const CodePoint& c : Decode(utf8.substr(g.begin, g.end - g.begin)))
                    missing.push_back(c.value);
        if (!missing.empty()) {
            std::vector<unsigned> needs;
            for (const CodePoint& c : Decode(utf8.substr(piece.begin, piece.end - piece.begin)))
                if (c.value > ' ')
                    needs.push_back(c.value);
            std::sort(needs.begin(), needs.end());
            needs.erase(std::unique(needs.begin(), needs.end()), needs.end());
            const Face* other = Fonts().Resolve(style, needs);
            if (other != nullptr && other != face) {
                ShapedText again;
                double end = pen;
                ShapePiece(*other, style, utf8, piece, again, end);
                std::size_t lacking = 0;
                for (const Glyph& g : again.glyphs)
                    lacking += g.id == 0 ? 1 : 0;
                if (lacking < missing.size()) {
                    one = std::move(again);
                    start = end;
                }
            }
        }
        out.glyphs.insert(out.glyphs.end(), one.glyphs.begin(), one.glyphs.end());
        pen = start;
    }
    out.width = pen;
    out.ascent = face->ascent * style.fontSize;
    out.descent = face->descent * style.fontSize;
    out.family = face->family;
    return out;
}

namespace {

struct OutlineSink {
    Path* path;
    Matrix m;
    Point last;
    bool open = false;
};

Point Mapped(const OutlineSink& s, const FT_Vector* v)
{
    return s.m.Apply({static_cast<double>(v->x), static_cast<double>(v->y)});
}

int MoveTo(const FT_Vector* to, void* user)
{
    auto& s = *static_cast<OutlineSink*>(user);
    if (s.open)
        s.path->Close();
    const Point p = Mapped(s, to);
    s.path->MoveTo(p.x, p.y);
    s.last = p;
    s.open = true;
    return 0;
}

int LineTo(const FT_Vector* to, void* user)
{
    auto& s = *static_cast<OutlineSink*>(user);
    const Point p = Mapped(s, to);
    s.path->LineTo(p.x, p.y);
    s.last = p;
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto& s = *static_cast<OutlineSink*>(user);
    const Point c = Mapped(s, control), p = Mapped(s, to);
    // The quadratic as the cubic that draws it.
    s.path->CurveTo(s.last.x + (c.x - s.last.x) * 2 / 3, s.last.y + (c.y - s.last.y) * 2 / 3,
                    p.x + (c.x - p.x) * 2 / 3, p.y + (c.y - p.y) * 2 / 3, p.x, p.y);
    s.last = p;
    return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    auto& s = *static_cast<OutlineSink*>(user);
    const Point a = Mapped(s, c1), b = Mapped(s, c2), p = Mapped(s, to);
    s.path->CurveTo(a.x, a.y, b.x, b.y, p.x, p.y);
    s.last = p;
    return 0;
}

}  // namespace

bool GlyphOutline(const Glyph& glyph, double size, const Matrix& m, Path& out)
{
    const auto* face = static_cast<const Face*>(glyph.face);
    if (face == nullptr || glyph.id == 0)
        return false;
    if (FT_Load_Glyph(face->ft, glyph.id,
                      FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
        return false;
    FT_GlyphSlot slot = face->ft->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_contours <= 0)
        return false;
    if (face->embolden) {
        // The strength fontconfig's synthetic bold is drawn with elsewhere.
        const auto strength = static_cast<FT_Pos>(face->upem / 24);
        FT_Outline_EmboldenXY(&slot->outline, strength, strength);
    }
    // Font units, y upwards, slanted as fontconfig asks, into user units.
    const double k = size / face->upem;
    const Matrix glyphSpace{k * face->xx,  -k * face->yx, k * face->xy,
                            -k * face->yy, glyph.x,       glyph.y};
    OutlineSink sink{&out, m * glyphSpace, {}, false};
    FT_Outline_Funcs funcs{};
    funcs.move_to = MoveTo;
    funcs.line_to = LineTo;
    funcs.conic_to = ConicTo;
    funcs.cubic_to = CubicTo;
    if (FT_Outline_Decompose(&slot->outline, &funcs, &sink) != 0)
        return false;
    if (sink.open)
        out.Close();
    return true;
}

bool HasFont(const Style& style) { return Fonts().Resolve(style) != nullptr; }

std::string SubstituteFor(const Style& style)
{
    if (IsGeneric(style.fontFamily) || style.fontFamily.empty())
        return "";
    const Face* face = Fonts().Resolve(style);
    if (face == nullptr)
        return "";
    for (const std::string& name : face->families)
        if (FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(name.c_str()),
                               reinterpret_cast<const FcChar8*>(style.fontFamily.c_str())) == 0)
            return "";
    return face->family;
}

#else

bool HaveFonts() { return false; }

ShapedText ShapeText(const Style& style, const std::string& utf8) { return HalfEm(style, utf8); }

bool GlyphOutline(const Glyph&, double, const Matrix&, Path&) { return false; }

bool HasFont(const Style&) { return false; }

std::string SubstituteFor(const Style&) { return ""; }

#endif

std::vector<double> KerningOf(const Style& style, const std::string& utf8)
{
    const std::vector<CodePoint> cps = Decode(utf8);
    std::vector<double> kern(cps.size(), 0);
    std::vector<std::size_t> index(utf8.size() + 1, cps.size());
    for (std::size_t i = 0; i < cps.size(); ++i)
        index[cps[i].at] = i;
    for (const Glyph& g : ShapeText(style, utf8).glyphs) {
        // A ligature's kerning belongs to no one character.
        const std::size_t at = g.begin < index.size() ? index[g.begin] : cps.size();
        const std::size_t next = at + 1 < cps.size() ? cps[at + 1].at : utf8.size();
        if (at < cps.size() && g.end == next)
            kern[at] += g.kern;
    }
    return kern;
}

double TextWidth(const Style& style, const std::string& utf8)
{
    return ShapeText(style, utf8).width;
}

}  // namespace svgreader
