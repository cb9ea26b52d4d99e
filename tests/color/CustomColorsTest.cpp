// The colour table, its lookup and colours used by name.
#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

// model 0: r g b in 0-255; model 1: c m y k.
SetColorDefData Def(const std::string& name, int model, double a, double b, double c, double k = 0,
                    int spot = 0)
{
    SetColorDefData d{};
    std::memcpy(d.name, name.data(), std::min(name.size(), sizeof d.name));
    d.color.model = static_cast<unsigned short>(model);
    if (model == 0)
        d.color = {0, static_cast<unsigned short>(a), static_cast<unsigned short>(b),
                   static_cast<unsigned short>(c), 0, 0, 0, 0};
    else
        d.color = {1, 0, 0, 0, a, b, c, k};
    d.spot = static_cast<unsigned short>(spot);
    return d;
}

NAME_TAG Tag(const std::string& name)
{
    NAME_TAG t{};
    std::memcpy(t.name, name.data(), std::min(name.size(), sizeof t.name));
    return t;
}

void NextPicture(ExportSession& s)
{
    s.Finish();
    s.filter.exportFile(s.target.data());
    ASSERT_EQ(s.Record(aiop::kBeginPicture, BeginPictureData{0, 0, 0, 8.5, 11}), 1);
}

}  // namespace

TEST(CustomColors, TableHolds1024AndTheFirstSameNameWins)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Def("Red", 0, 255, 0, 0));
    s.Record(aiop::kSetColorDef, Def("Red", 1, 0, 1, 1, 0, 1));
    for (int i = 2; i < kDefinitionSlots; ++i)
        ASSERT_EQ(s.Record(aiop::kSetColorDef, Def("C" + std::to_string(i), 0, 1, 2, 3)), 1);
    EXPECT_EQ(s.Record(aiop::kSetColorDef, Def("Late", 0, 1, 2, 3)), 0);
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Red")), 1);
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("red")), 0);
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("C1023")), 1);
    SetFillTypeNameData solid{1, 0, "Red"};
    EXPECT_EQ(s.Record(aiop::kSetFillTypeName, solid), 1);
    EXPECT_EQ(s.filter.SinceMark(),
              "1.0000 0.0000 0.0000 Xa\n0.0039 0.0078 0.0118 Xa\n1.0000 0.0000 0.0000 Xa\n");
    // A failed use still becomes the current name.
    EXPECT_STREQ(s.filter.graphicsState.fillColorName.name, "C1023");
    s.Record(aiop::kSetFillColorByName, Tag("Late"));
    EXPECT_STREQ(s.filter.graphicsState.fillColorName.name, "Late");
    EXPECT_EQ(s.filter.graphicsState.fillByName, 1);
}

TEST(CustomColors, NothingOfAnEarlierExportIsWritten)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Def("Old", 0, 255, 255, 0, 0, 1));
    NextPicture(s);
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("Old")), 0);
    // The freed slot still holds the old colour: an empty name must not find it.
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag("")), 0);
    // A model other than CMYK is used as RGB, with the definition's own values.
    SetColorDefData odd = Def("Odd", 0, 0, 0, 255);
    odd.color.model = 2;
    s.Record(aiop::kSetColorDef, odd);
    s.Record(aiop::kSetFillColorByName, Tag("Odd"));
    EXPECT_EQ(s.filter.SinceMark(), "0.0000 0.0000 1.0000 Xa\n");
}

TEST(CustomColors, UnterminatedNamesAreCutTo63Consistently)
{
    ExportSession s;
    const std::string full(64, 'n');
    s.Record(aiop::kSetColorDef, Def(full, 0, 0, 0, 0, 0, 1));
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kSetFillColorByName, Tag(full)), 1);
    EXPECT_EQ(s.Record(aiop::kSetStrokeColorByName, Tag(std::string(63, 'n'))), 1);
    const std::string name = "(" + std::string(63, 'n') + ") 0 1 ";
    EXPECT_EQ(s.filter.SinceMark(),
              "0.0000 0.0000 0.0000 " + name + "Xx\n0.0000 0.0000 0.0000 " + name + "XX\n");
    EXPECT_EQ(strnlen(s.filter.graphicsState.fillColorName.name, 64), 63u);
}

TEST(CustomColors, RepeatedNameIsSkippedOnlyWithinATile)
{
    ExportSession s;
    s.Record(aiop::kSetColorDef, Def("Gray", 0, 128, 128, 128));
    s.filter.Mark();
    s.Record(aiop::kSetFillColorByName, Tag("Gray"));
    s.Record(aiop::kSetFillColorByName, Tag("Gray"));
    s.filter.inPatternDefinition = 1;
    s.filter.patternTileAttribWritten = 1;  // the tile item is already open
    s.Record(aiop::kSetFillColorByName, Tag("Gray"));
    s.filter.patternTileFirstPath = 1;
    s.Record(aiop::kSetFillColorByName, Tag("Gray"));
    EXPECT_EQ(s.filter.SinceMark(), "0.5020 g\n0.5020 g\n0.5020 g\n");
}
