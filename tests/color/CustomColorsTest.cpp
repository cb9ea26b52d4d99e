// The colour table, its lookup and colours used by name.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

SetColorDefData Rgb(const std::string& name, unsigned short r, unsigned short g, unsigned short b, int spot = 0)
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
    s.Record(aiop::kSetColorDef, Rgb("Red", 255, 0, 0));
    s.Record(aiop::kSetColorDef, SetColorDefData{0, "Red", {1, 0, 0, 0, 0, 1, 1, 0}, 1});
    for (int i = 2; i < kDefinitionSlots; ++i)
        ASSERT_EQ(s.Record(aiop::kSetColorDef, Rgb("C" + std::to_string(i), 1, 2, 3)), 1);
    EXPECT_EQ(s.Record(aiop::kSetColorDef, Rgb("Late", 1, 2, 3)), 0);
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Red")), 1);
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("red")), 0);
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("C1023")), 1);
    EXPECT_EQ(s.Record(aiop::kSetFillTypeName, SetFillTypeNameData{1, 0, "Red"}), 1);
    EXPECT_EQ(s.filter.SinceMark(),
              "1.0000 0.0000 0.0000 Xa\n0.0039 0.0078 0.0118 Xa\n1.0000 0.0000 0.0000 Xa\n");
    // A failed use still becomes the current name.
    s.Record(aiop::kSetFillColorByName, Tag("Late"));
    EXPECT_STREQ(s.filter.graphicsState.fillColorName.name, "Late");
    EXPECT_EQ(s.filter.graphicsState.fillByName, 1);
}

TEST(CustomColors, NothingOfAnEarlierExportIsWritten)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Rgb("Old", 255, 255, 0, 1));
    s.Finish();
    s.filter.exportFile(s.target.data());
    ASSERT_EQ(s.Record(aiop::kBeginPicture, BeginPictureData{0, 0, 0, 8.5, 11}), 1);
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Old")), 0);
    // The freed slot still holds the old colour: an empty name must not find it.
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("")), 0);
    // A model other than CMYK is used as RGB, with the definition's own values.
    SetColorDefData odd = Rgb("Odd", 0, 0, 255);
    odd.color.model = 2;
    s.Record(aiop::kSetColorDef, odd);
    s.Record(aiop::kSetFillColorByName, Tag("Odd"));
    EXPECT_EQ(s.filter.SinceMark(), "0.0000 0.0000 1.0000 Xa\n");
}

TEST(CustomColors, UnterminatedNamesAreCutTo63Consistently)
{
    ExportSession s;
    const std::string full(64, 'n');
    s.Record(aiop::kSetColorDef, Rgb(full, 0, 0, 0, 1));
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag(full)), 1);
    EXPECT_EQ(s.Record(aiop::kSetStrokeColorByName, Tag(std::string(63, 'n'))), 1);
    const std::string name = "(" + std::string(63, 'n') + ") 0 1 ";
    EXPECT_EQ(s.filter.SinceMark(),
              "0.0000 0.0000 0.0000 " + name + "Xx\n0.0000 0.0000 0.0000 " + name + "XX\n");
    EXPECT_EQ(strnlen(s.filter.graphicsState.fillColorName.name, 64), 63u);
}
