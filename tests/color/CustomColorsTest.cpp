// The colour table, its lookup and colours used by name.
#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

SetColorDefData Def(const std::string& name, unsigned short r, unsigned short g, unsigned short b,
                    int spot = 0)
{
    SetColorDefData d{0, {}, {0, r, g, b, 0, 0, 0, 0}, static_cast<unsigned short>(spot)};
    std::memcpy(d.name, name.data(), std::min(name.size(), sizeof d.name));  // 64: no terminator
    return d;
}

NAME_TAG Tag(const std::string& name)
{
    NAME_TAG t{};
    std::memcpy(t.name, name.data(), std::min(name.size(), sizeof t.name));
    return t;
}

}  // namespace

TEST(CustomColors, TableHolds1024AndTheFirstSameNameWins)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Def("Red", 255, 0, 0));
    s.Record(aiop::kSetColorDef, SetColorDefData{0, "Red", {1, 0, 0, 0, 0, 1, 1, 0}, 1});
    for (int i = 2; i < kDefinitionSlots; ++i)
        ASSERT_EQ(s.Record(aiop::kSetColorDef, Def("C" + std::to_string(i), 1, 2, 3)), 1);
    EXPECT_EQ(s.Record(aiop::kSetColorDef, Def("Late", 1, 2, 3)), 0);
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Red")), 1);
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("red")), 0);
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("C1023")), 1);
    EXPECT_EQ(s.Record(aiop::kSetFillTypeName, SetFillTypeNameData{1, 0, "Red"}), 1);
    EXPECT_EQ(s.SinceMark(),
              "1.0000 0.0000 0.0000 Xa\n0.0039 0.0078 0.0118 Xa\n1.0000 0.0000 0.0000 Xa\n");
}

TEST(CustomColors, NothingOfAnEarlierExportIsWritten)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Def("Old", 255, 255, 0, 1));
    ASSERT_EQ(s.NextPicture(), 1);
    s.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Old")), 0);
    // The freed slot still holds the old colour: an empty name must not find it.
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("")), 0);
    // A model other than CMYK is used as RGB, with the definition's own values.
    SetColorDefData odd = Def("Odd", 0, 0, 255);
    odd.color.model = 2;
    s.Record(aiop::kSetColorDef, odd);
    s.Record(aiop::kSetFillColorByName, Tag("Odd"));
    EXPECT_EQ(s.SinceMark(), "0.0000 0.0000 1.0000 Xa\n");
}

TEST(CustomColors, InATileANameIsSkippedOnlyWhileItsColourIsInForce)
{
    // Three squares in one tile: red by name, blue, red by name. The third is
    // red, in an item of its own; a repeat of the name right after it adds
    // nothing. Blue comes by value, or as a solid fill by name; for strokes too.
    struct Case {
        unsigned short byName;
        unsigned short blue;  // 0: a solid fill by name
        const char* red;
    };
    const Case kCases[] = {
        {aiop::kSetFillColorByName, aiop::kSetFillColorByValue, "1.0000 0.0000 0.0000 Xa\n"},
        {aiop::kSetFillColorByName, 0, "1.0000 0.0000 0.0000 Xa\n"},
        {aiop::kSetStrokeColorByName, aiop::kSetStrokeColorByValue, "1.0000 0.0000 0.0000 XA\n"},
    };
    for (const Case& c : kCases) {
        ExportSession s(8.5, 11, false);
        s.Record(aiop::kSetColorDef, Def("Red", 255, 0, 0));
        s.Record(aiop::kSetColorDef, Def("Blue", 0, 0, 255));
        s.Record(aiop::kSetPatternDef, SetPatternDefData{0, "Tile", 1, 1, 0, 0, 0, 0});
        s.Record(aiop::kBeginPattern);
        s.Mark();
        for (int square = 0; square < 4; ++square) {
            if (square == 1 && c.blue != 0)
                s.Record(c.blue, Rgb(0, 0, 255));
            else if (square == 1)
                s.Record(aiop::kSetFillTypeName, SetFillTypeNameData{1, 0, "Blue"});
            else
                s.Record(c.byName, Tag("Red"));
            Box(s, 10 * square, 0, 10 * square + 10, 10);
        }
        const std::string tile = s.SinceMark();
        std::size_t reds = 0;
        for (std::size_t at = tile.find(c.red); at != std::string::npos;
             at = tile.find(c.red, at + 1))
            ++reds;
        EXPECT_EQ(reds, 2u) << c.byName << "\n" << tile;
        EXPECT_EQ(std::count(tile.begin(), tile.end(), '@'), 3) << c.byName;
    }
}

TEST(CustomColors, TheNamedColourInForceEndsWithThePicture)
{
    ExportSession s(8.5, 11, false);
    s.Record(aiop::kSetColorDef, Def("Red", 255, 0, 0));
    s.Record(aiop::kSetPatternDef, SetPatternDefData{0, "Tile", 1, 1, 0, 0, 0, 0});
    s.Record(aiop::kBeginPattern);
    s.Record(aiop::kSetFillColorByName, Tag("Red"));
    Box(s, 0, 0, 10, 10);
    ASSERT_EQ(s.NextPicture(), 1);
    // The same tile in the next picture, its first path without a colour.
    s.Record(aiop::kSetColorDef, Def("Red", 255, 0, 0));
    s.Record(aiop::kSetPatternDef, SetPatternDefData{0, "Tile", 1, 1, 0, 0, 0, 0});
    s.Record(aiop::kBeginPattern);
    Box(s, 0, 0, 10, 10);
    s.Mark();
    s.Record(aiop::kSetFillColorByName, Tag("Red"));
    EXPECT_NE(s.SinceMark().find("1.0000 0.0000 0.0000 Xa\n"), std::string::npos);
}
