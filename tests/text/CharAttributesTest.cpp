// Character and paragraph attributes: font names, em sizes, spacing, scale, leading, tracking.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "text/TextSupport.h"

namespace {

// What one character-attribute record writes at the start of an object.
std::string CharAttrOutput(const SetCharAttrData& d)
{
    ExportSession s;
    s.Record(aiop::kBeginText);
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetCharAttr, d), 1);
    return s.filter.SinceMark();
}

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n') + 1);
}

}  // namespace

TEST(CharAttr, WritesTheTableNameOrTheJoinedHostName)
{
    const std::string face64(64, 'F');
    const std::string style64(64, 's');
    const std::pair<SetCharAttrData, std::string> cases[] = {
        {CharAttr("Arial", "Regular"), "/_ArialMT "},
        {CharAttr("Souvenir Lt BT", "Light Italic"), "/_Souvenir-LightItalic "},
        {CharAttr("Trebuchet MS", "Bold Italic"), "/_Trebuchet-BoldItalic "},
        {CharAttr("MS Song", "Regular"), "/_MS-Song "},
        {CharAttr("Zurich Ex BT", "Regular"), "/_ZurichBT-RomanExtended "},
        // Not looked up or not found: the joined name as it is, blanks included.
        {CharAttr("arial", "Regular"), "/_arial-Regular "},
        {CharAttr("Arial", "bold"), "/_Arial-bold "},
        {CharAttr("Foo Bar", "Bold"), "/_Foo Bar-Bold "},
        {CharAttr("Quux", "Regular"), "/_Quux-Regular "},
        {CharAttr("", "Regular"), "/_-Regular "},
        {CharAttr("\xC4rial", "Regular"), "/_\xC4rial-Regular "},
        // Names that fill their arrays without a terminator are read to the array's end.
        {CharAttr(face64, style64), "/_" + face64 + "-" + style64 + " "},
    };
    for (const auto& [record, token] : cases)
        EXPECT_EQ(FirstLine(CharAttrOutput(record)), token + "17.6327 13.2245 -4.4082 Tf\n")
            << token;
}

TEST(CharAttr, UnterminatedNamesCompareWhole)
{
    ExportSession s;
    const SetCharAttrData full = CharAttr(std::string(64, 'F'), std::string(64, 's'));
    s.Record(aiop::kBeginText);
    s.Record(aiop::kSetCharAttr, full);
    SendText(s, "A");
    s.filter.Mark();
    // The same names again write nothing; one byte less is another font.
    EXPECT_EQ(s.Record(aiop::kSetCharAttr, full), 1);
    EXPECT_EQ(s.filter.SinceMark(), "");
    EXPECT_EQ(s.Record(aiop::kSetCharAttr, CharAttr(std::string(64, 'F'), std::string(63, 's'))),
              1);
    EXPECT_EQ(FirstLine(s.filter.SinceMark()), "(A) Tx 1 15 Tk\n");
}

TEST(CharAttr, EmSizeComesFromTheSizeAndItsFactor)
{
    struct Case {
        double size;
        int sizeIsEm;
        const char* operands;
    };
    const Case cases[] = {
        {12, 1, "12.0000 9.0000 -3.0000 "},  {12, 0, "17.6327 13.2245 -4.4082 "},
        {7.9, 0, "11.8500 8.8875 -2.9625 "}, {8, 0, "11.7551 8.8163 -2.9388 "},
        {200, 0, "266.6667 200.0000 -66.6667 "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstLine(CharAttrOutput(CharAttr("Arial", "Regular", c.size, c.sizeIsEm))),
                  std::string("/_ArialMT ") + c.operands + "Tf\n")
            << c.size << " " << c.sizeIsEm;
}

TEST(CalculateFontFactor, EachBoundBelongsToTheLargerSizes)
{
    const double below = -1.0;  // nextafter toward it
    const std::pair<double, double> cases[] = {
        {-5, 2.0 / 3},
        {std::nextafter(8.0, below), 2.0 / 3},
        {8, 49.0 / 72},
        {std::nextafter(49.0, below), 49.0 / 72},
        {49, 25.0 / 36},
        {std::nextafter(200.0 / 3, below), 25.0 / 36},
        {200.0 / 3, 17.0 / 24},
        {std::nextafter(85.0, below), 17.0 / 24},
        {85, 35.0 / 48},
        {std::nextafter(1295.0 / 12, below), 35.0 / 48},
        {1295.0 / 12, 0.75},
        {1e300, 0.75},
    };
    for (const auto& [size, ratio] : cases)
        EXPECT_EQ(FilterProbe::CalculateFontFactor(size), ratio) << size;
}
