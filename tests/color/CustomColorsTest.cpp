// The colour table, its lookup and colours used by name.
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
