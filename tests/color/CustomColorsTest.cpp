// The colour table, its lookup and colours used by name.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

SetColorDefData Rgb(const std::string& name, int r, int g, int b, int spot = 0)
{
    SetColorDefData d{};
    std::memcpy(d.name, name.data(), std::min(name.size(), sizeof d.name));
    d.color.model = 0;
    d.color.red = static_cast<unsigned short>(r);
    d.color.green = static_cast<unsigned short>(g);
    d.color.blue = static_cast<unsigned short>(b);
    d.spot = static_cast<unsigned short>(spot);
    return d;
}

SetColorDefData Cmyk(const std::string& name, double c, double m, double y, double k, int spot = 0)
{
    SetColorDefData d{};
    std::memcpy(d.name, name.data(), std::min(name.size(), sizeof d.name));
    d.color.model = 1;
    d.color.cyan = c;
    d.color.magenta = m;
    d.color.yellow = y;
    d.color.black = k;
    d.spot = static_cast<unsigned short>(spot);
    return d;
}

NAME_TAG Tag(const std::string& name)
{
    NAME_TAG t{};
    std::memcpy(t.name, name.data(), std::min(name.size(), sizeof t.name));
    return t;
}

}  // namespace

TEST(CustomColors, UsesAreWrittenInTheirProcessOrCustomForm)
{
    const struct {
        SetColorDefData definition;
        unsigned short use;
        const char* written;
    } cases[] = {
        {Cmyk("Red", 0, 1, 1, 0, 1), aiop::kSetFillColorByName,
         "0.0000 1.0000 1.0000 0.0000 (Red) 0.3000 x\n"},
        {Cmyk("Red", 0, 1, 1, 0, 1), aiop::kSetStrokeColorByName,
         "0.0000 1.0000 1.0000 0.0000 (Red) 0.3000 X\n"},
        {Rgb("Orange", 255, 128, 0, 1), aiop::kSetStrokeColorByName,
         "1.0000 0.5020 0.0000 (Orange) 0 1 XX\n"},
        {Rgb("Orange", 255, 128, 0, 1), aiop::kSetFillColorByName,
         "1.0000 0.5020 0.0000 (Orange) 0 1 Xx\n"},
        {Rgb("Gray", 128, 128, 128), aiop::kSetFillColorByName, "0.5020 g\n"},
        {Rgb("Gray", 128, 128, 128, 1), aiop::kSetFillColorByName,
         "0.5020 0.5020 0.5020 (Gray) 0 1 Xx\n"},
        {Cmyk("Ink", 0.25, 0, 0, 0.5), aiop::kSetStrokeColorByName,
         "0.2500 0.0000 0.0000 0.5000 K\n"},
    };
    for (const auto& c : cases) {
        ExportSession s;
        ASSERT_EQ(s.Record(aiop::kSetColorDef, c.definition), 1);
        s.filter.Mark();
        EXPECT_EQ(s.Record(c.use, Tag(c.definition.name)), 1);
        EXPECT_EQ(s.filter.SinceMark(), c.written) << c.definition.name;
    }
}

TEST(CustomColors, SolidFillTypeByNameWritesTheColour)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Rgb("Orange", 255, 128, 0, 1));
    SetFillTypeNameData fill{};
    fill.fillType = 1;
    std::strcpy(fill.name, "Orange");
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillTypeName, fill), 1);
    std::strcpy(fill.name, "Lemon");
    EXPECT_EQ(s.Record(aiop::kSetFillTypeName, fill), 0);
    EXPECT_EQ(s.filter.SinceMark(), "1.0000 0.5020 0.0000 (Orange) 0 1 Xx\n");
}

TEST(CustomColors, FirstOfTwoSameNamesWinsAndCaseMatters)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Rgb("Red", 255, 0, 0));
    s.Record(aiop::kSetColorDef, Cmyk("Red", 0, 1, 1, 0, 1));
    s.Record(aiop::kSetColorDef, Rgb("red", 0, 0, 255));
    s.filter.Mark();
    s.Record(aiop::kSetFillColorByName, Tag("Red"));
    s.Record(aiop::kSetFillColorByName, Tag("red"));
    EXPECT_EQ(s.filter.SinceMark(), "1.0000 0.0000 0.0000 Xa\n0.0000 0.0000 1.0000 Xa\n");
    int index = -1;
    EXPECT_EQ(s.filter.IsColorExistingByColorName("Red", index), 1);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(s.filter.IsColorExistingByColorName("RED", index), 0);
    EXPECT_EQ(index, kDefinitionSlots);
}

TEST(CustomColors, TableHolds1024Definitions)
{
    ExportSession s;
    for (int i = 0; i < kDefinitionSlots; ++i)
        ASSERT_EQ(s.Record(aiop::kSetColorDef, Rgb("C" + std::to_string(i), i % 256, 0, 0)), 1) << i;
    EXPECT_EQ(s.Record(aiop::kSetColorDef, Rgb("Late", 1, 2, 3)), 0);
    int index = -1;
    EXPECT_EQ(s.filter.IsColorExistingByColorName("C1023", index), 1);
    EXPECT_EQ(index, 1023);
    EXPECT_EQ(s.filter.IsColorExistingByColorName("Late", index), 0);
}

TEST(CustomColors, UndefinedNameFailsButBecomesTheCurrentName)
{
    ExportSession s;
    s.filter.Mark();
    NAME_TAG tag = Tag("Nowhere");
    tag.tag = 9;
    EXPECT_EQ(s.Record(aiop::kSetStrokeColorByName, tag), 0);
    EXPECT_EQ(s.filter.SinceMark(), "");
    EXPECT_EQ(s.filter.graphicsState.strokeByName, 1);
    EXPECT_STREQ(s.filter.graphicsState.strokeColorName.name, "Nowhere");
    EXPECT_EQ(s.filter.graphicsState.strokeColorName.tag, 9);
}

TEST(CustomColors, EmptyNameFindsNoFreeSlot)
{
    // A free slot keeps the colour of whatever it held before, even in an
    // earlier export; an empty name must not write that.
    ExportSession s;
    s.filter.colorTable[0].spot = 1;
    s.filter.colorTable[0].color.red = 200;
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("")), 0);
    EXPECT_EQ(s.filter.SinceMark(), "");
}

TEST(CustomColors, ModelOtherThanCmykWritesItsOwnRgbValues)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Rgb("Old", 255, 255, 0));
    s.Finish();
    ASSERT_EQ(s.filter.exportFile(s.target.data()), 1);
    BeginPictureData picture{0, 0.0, 0.0, 8.5, 11.0};
    ASSERT_EQ(s.Record(aiop::kBeginPicture, picture), 1);

    // Same slot, a definition of model 2: it is used as RGB, with its own values.
    SetColorDefData odd = Cmyk("Odd", 0.5, 0.5, 0.5, 0.5);
    odd.color.model = 2;
    odd.color.red = 0;
    odd.color.green = 0;
    odd.color.blue = 255;
    s.Record(aiop::kSetColorDef, odd);
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Odd")), 1);
    EXPECT_EQ(s.filter.SinceMark(), "0.0000 0.0000 1.0000 Xa\n");
}

TEST(CustomColors, DefinitionOfAnEarlierExportIsGone)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Rgb("Red", 255, 0, 0));
    s.Finish();
    ASSERT_EQ(s.filter.exportFile(s.target.data()), 1);
    BeginPictureData picture{0, 0.0, 0.0, 8.5, 11.0};
    ASSERT_EQ(s.Record(aiop::kBeginPicture, picture), 1);
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Red")), 0);
    EXPECT_EQ(s.filter.SinceMark(), "");
}

TEST(CustomColors, UnterminatedNamesAreCutTo63Consistently)
{
    ExportSession s;
    const std::string full(64, 'n');  // fills the array, no terminator
    ASSERT_EQ(s.Record(aiop::kSetColorDef, Rgb(full, 0, 0, 0, 1)), 1);
    EXPECT_EQ(strnlen(s.filter.colorTable[0].name, 64), 63u);

    const std::string want = "0.0000 0.0000 0.0000 (" + std::string(63, 'n') + ") 0 1 Xx\n";
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag(full)), 1);
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag(std::string(63, 'n'))), 1);
    EXPECT_EQ(s.filter.SinceMark(), want + want);
    EXPECT_EQ(strnlen(s.filter.graphicsState.fillColorName.name, 64), 63u);
}

TEST(CustomColors, RepeatedNameIsSkippedOnlyWithinATile)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Rgb("Gray", 128, 128, 128));
    s.filter.Mark();
    s.Record(aiop::kSetFillColorByName, Tag("Gray"));
    s.Record(aiop::kSetFillColorByName, Tag("Gray"));
    EXPECT_EQ(s.filter.SinceMark(), "0.5020 g\n0.5020 g\n");

    // Inside a tile whose first path has begun, the colour is already in force.
    s.filter.inPatternDefinition = 1;
    s.filter.patternTileAttribWritten = 1;
    s.filter.patternTileFirstPath = 0;
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Gray")), 1);
    EXPECT_EQ(s.filter.SinceMark(), "");
    s.filter.patternTileFirstPath = 1;
    s.Record(aiop::kSetFillColorByName, Tag("Gray"));
    EXPECT_EQ(s.filter.SinceMark(), "0.5020 g\n");
}
