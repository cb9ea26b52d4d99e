// SVG text laid out in the installed fonts, and written as outlines. The
// drawings name fonts of fonts-dejavu-core and fonts-liberation only.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/Files.h"

#if defined(AIEXPORT_HAVE_SVG) && defined(AIEXPORT_HAVE_FONTS)

#include "ScriptPrinter.h"
#include "SvgConverter.h"
#include "SvgFonts.h"

namespace {

using svgreader::Glyph;
using svgreader::ShapeText;
using svgreader::Style;

Style Font(const std::string& family, double size = 100)
{
    Style s;
    s.fontFamily = family;
    s.fontSize = size;
    return s;
}

struct Converted {
    std::string script;                 // the records as --records prints them
    std::vector<std::string> warnings;  // as the tool prints them
};

Converted Read(const std::string& body, bool outlines)
{
    TempDir dir;
    WriteFile(dir.File("t.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'"
              " width='400' height='200'>" +
                  body + "</svg>");
    svgreader::Options options;
    options.textOutlines = outlines;
    recordscript::ScriptPrinter printer;
    const svgreader::Result result =
        svgreader::Convert(svgreader::Source::File(dir.File("t.svg")), printer, options);
    EXPECT_TRUE(result.converted) << result.error;
    Converted converted;
    converted.script = printer.text;
    for (const svgreader::Warning& warning : result.warnings)
        converted.warnings.push_back(warning.Text());
    return converted;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The extent across the page (inches) of every point of the records' paths.
std::pair<double, double> ExtentX(const std::string& script)
{
    std::istringstream lines(script);
    std::string line;
    double least = 1e9, most = -1e9;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        if (name != "MoveTo" && name != "LineTo" && name != "CurveTo")
            continue;
        double x = 0, y = 0;
        while (fields >> x >> y) {
            least = std::min(least, x);
            most = std::max(most, x);
        }
    }
    return {least, most};
}

}  // namespace

// What the fonts do to a line: kerning closes pairs, a ligature joins
// letters, right-to-left scripts run from the right and Arabic letters
// join; characters the font lacks come from a font that has them.
TEST(SvgText, ShapedByTheFont)
{
    const Style sans = Font("DejaVu Sans");
    EXPECT_LT(ShapeText(sans, "AV").width,
              ShapeText(sans, "A").width + ShapeText(sans, "V").width - 5);
    EXPECT_DOUBLE_EQ(ShapeText(sans, "HH").width, 2 * ShapeText(sans, "H").width);

    const auto ffi = ShapeText(Font("DejaVu Serif"), "ffi").glyphs;
    EXPECT_LT(ffi.size(), 3u);
    EXPECT_EQ(ffi.back().end, 3u);  // the last glyph stands for the letters up to the end

    // The first letter of a Hebrew word is its rightmost.
    const auto hebrew = ShapeText(sans, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D").glyphs;  // shalom
    ASSERT_EQ(hebrew.size(), 4u);
    EXPECT_EQ(hebrew.back().begin, 0u);
    EXPECT_GT(hebrew.back().x, hebrew.front().x);
    // A Latin word before it keeps its place and order.
    const auto mixed = ShapeText(sans, "ab \xD7\xA9\xD7\x9C").glyphs;
    ASSERT_EQ(mixed.size(), 5u);
    EXPECT_EQ(mixed[0].begin, 0u);
    EXPECT_EQ(mixed[1].begin, 1u);
    EXPECT_EQ(mixed[3].begin, 5u);  // the second Hebrew letter, drawn first of the two
    // Beh alone and joined between letters are different glyphs.
    const unsigned alone = ShapeText(sans, "\xD8\xA8").glyphs.at(0).id;
    const auto word =
        ShapeText(sans, "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7").glyphs;  // marhaba
    ASSERT_EQ(word.size(), 5u);
    for (const Glyph& g : word)
        EXPECT_NE(g.id, 0u);
    EXPECT_NE(word[1].id, alone);  // beh, second from the left

    for (const Glyph& g : ShapeText(Font("Liberation Sans"), "\xD7\xA9\xD7\x9C").glyphs)
        EXPECT_NE(g.id, 0u);  // Liberation has no Hebrew

    EXPECT_EQ(svgreader::SubstituteFor(Font("DejaVu Sans")), "");
    EXPECT_EQ(svgreader::SubstituteFor(Font("serif")), "");
    EXPECT_NE(svgreader::SubstituteFor(Font("No Such Family 1")), "");
}

// Weight and stretch as CSS computes them, which pick the font.
TEST(SvgText, WeightAndStretchPickTheFont)
{
    Style parent = Font("DejaVu Sans", 10), s = parent;
    svgreader::ApplyProperty(s, parent, "font-weight", "800", false);
    EXPECT_EQ(s.fontWeight, 800);
    EXPECT_TRUE(s.bold);
    EXPECT_GT(ShapeText(s, "HH").width, ShapeText(parent, "HH").width);
    parent.fontWeight = 700;
    svgreader::ApplyProperty(s, parent, "font-weight", "lighter", false);
    EXPECT_EQ(s.fontWeight, 400);
    svgreader::ApplyProperty(s, parent, "font-weight", "bolder", false);
    EXPECT_EQ(s.fontWeight, 900);
    svgreader::ApplyProperty(s, parent, "font-weight", "1001", false);
    EXPECT_EQ(s.fontWeight, 900);  // out of range: kept
    svgreader::ApplyProperty(s, parent, "font-stretch", "semi-condensed", false);
    EXPECT_EQ(s.fontStretch, 87.5);
    svgreader::ApplyProperty(s, parent, "font-stretch", "150%", false);
    EXPECT_EQ(s.fontStretch, 150);
    svgreader::ApplyProperty(s, parent, "font-stretch", "inherit", false);
    EXPECT_EQ(s.fontStretch, 100);
}

// Letter and word spacing widen the line as the live text's tracking does.
TEST(SvgText, SpacingWidensTheLine)
{
    Style s = Font("DejaVu Sans", 10);
    const double plain = ShapeText(s, "a b").width;
    s.letterSpacing = 2;
    s.wordSpacing = 5;
    EXPECT_DOUBLE_EQ(ShapeText(s, "a b").width, plain + 3 * 2 + 5);
}

// Outlined, a line lies where the text would: centred on its anchor, or
// ending at it; no text object is left, and the stroke strokes the glyphs.
TEST(SvgText, OutlinesTakeTheTextsPlace)
{
    const auto centred = Read("<text x='200' y='100' font-family='DejaVu Sans' font-size='40' "
                              "text-anchor='middle'>HOH<tspan font-weight='bold'>OH</tspan></text>",
                              true);
    EXPECT_FALSE(Contains(centred.script, "BeginText"));
    EXPECT_TRUE(Contains(centred.script, "BeginComposite"));
    const auto [left, right] = ExtentX(centred.script);
    EXPECT_NEAR((left + right) / 2, 200.0 / 96, 0.02);
    EXPECT_GT(right - left, 1.4);  // five capitals of some 0.75 em, 150 units

    const auto ended = Read("<text x='300' y='100' font-family='Liberation Serif' font-size='40' "
                            "text-anchor='end' fill='none' stroke='#f00'>Tail</text>",
                            true);
    EXPECT_FALSE(Contains(ended.script, "BeginText"));
    EXPECT_TRUE(Contains(ended.script, "SetStrokeColorByValue 0 255 0 0\n"));
    EXPECT_TRUE(Contains(ended.script, "SetFillType 5\n"));
    const auto [start, end] = ExtentX(ended.script);
    EXPECT_LE(end, 300.0 / 96);
    EXPECT_GT(end, 295.0 / 96);
    EXPECT_GT(start, 200.0 / 96);

    // Along a path and flowed into a frame, too.
    const auto laid = Read("<path id='p' d='M20 150H380'/>"
                           "<text font-family='DejaVu Sans'><textPath xlink:href='#p'>on it"
                           "</textPath></text><flowRoot font-family='DejaVu Sans'><flowRegion>"
                           "<rect width='100' height='100'/></flowRegion><flowPara>a few words "
                           "flowed</flowPara></flowRoot>",
                           true);
    EXPECT_FALSE(Contains(laid.script, "BeginText"));
    EXPECT_TRUE(Contains(laid.script, "BeginComposite"));
    EXPECT_TRUE(laid.warnings.empty()) << laid.warnings.front();

    // Text that clips: its outlines are the clipping region.
    const auto clip = Read("<clipPath id='c'><text x='10' y='100' font-family='DejaVu Sans' "
                           "font-size='80'>Clip</text></clipPath>"
                           "<rect width='400' height='200' fill='#0a0' clip-path='url(#c)'/>",
                           true);
    EXPECT_FALSE(Contains(clip.script, "BeginText"));
    EXPECT_TRUE(Contains(clip.script, "BeginClipRgn\nBeginComposite\nBeginPath\n")) << clip.script;
}

// Outlines of a text too long for the records are refused before they are
// held in memory whole.
TEST(SvgText, OutlinesBeyondTheBoundsAreRefused)
{
    TempDir dir;
    WriteFile(dir.File("long.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='9' height='9'>"
                                    "<text font-family='DejaVu Sans'>" +
                                        std::string(150000, 'W') + "</text></svg>");
    svgreader::Options options;
    options.textOutlines = true;
    recordscript::RecordList sent;
    const svgreader::Source source = svgreader::Source::File(dir.File("long.svg"));
    const svgreader::Result refused = svgreader::Convert(source, sent, options);
    EXPECT_FALSE(refused.converted);
    EXPECT_TRUE(Contains(refused.error, "MB of records (text as outlines)")) << refused.error;
    EXPECT_TRUE(sent.records.empty());
    options.textOutlines = false;
    const svgreader::Result text = svgreader::Convert(source, sent, options);
    EXPECT_TRUE(text.converted) << text.error;
}

// Without the option, only what 8-bit text cannot carry goes as outlines,
// in its place in the line, said once; the rest stays text.
TEST(SvgText, RunsBeyondLatin1AreOutlines)
{
    const auto mixed = Read("<text x='10' y='50' font-family='DejaVu Sans'>Caf\xC3\xA9 "
                            "<tspan fill='#00f'>\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1</tspan> "
                            "end</text><text x='10' y='90'>\xD0\x9C\xD0\xB8\xD1\x80</text>",
                            false);
    EXPECT_TRUE(Contains(mixed.script, "Text \"Caf\\xE9 \"\n")) << mixed.script;
    EXPECT_TRUE(Contains(mixed.script, "Text \" end\"\n"));
    EXPECT_TRUE(
        Contains(mixed.script, "SetFillColorByValue 0 0 0 255\nSetStroke 5\nBeginComposite"));
    EXPECT_FALSE(Contains(mixed.script, "?"));
    ASSERT_EQ(mixed.warnings.size(), 1u);
    EXPECT_TRUE(
        Contains(mixed.warnings[0],
                 "t.svg:1: warning: text with characters beyond Latin-1 written as outlines"))
        << mixed.warnings[0];
}

#endif
