// The font tables: every known host name is reached through its letter group.
#include <gtest/gtest.h>

#include "support/FilterProbe.h"
#include "text/FontTables.h"

TEST(FontTables, EveryRowIsFoundThroughItsLetterGroup)
{
    std::size_t names = 0;
    for (int letter = 0; letter < 26; ++letter) {
        std::size_t row = letterStartTable[letter];
        ASSERT_LT(row, hostFontRowCount);
        EXPECT_TRUE(row == 0 || hostFontTable[row - 1].name[0] == '\0') << char('A' + letter);
        for (; hostFontTable[row].name[0] != '\0'; ++row, ++names) {
            ASSERT_LT(row + 1, hostFontRowCount) << "a group without its end row";
            const HostFontRow& r = hostFontTable[row];
            EXPECT_EQ(r.name[0], 'A' + letter) << r.name;
            ASSERT_LT(r.postScriptIndex, postScriptNameCount) << r.name;
            // No earlier row of the group shadows this one.
            EXPECT_EQ(FilterProbe::LookUpPostScriptName(r.name),
                      postScriptNameTable[r.postScriptIndex])
                << r.name;
        }
    }
    // Rows outside every group could never be found.
    std::size_t rows = 0;
    for (std::size_t row = 0; row < hostFontRowCount; ++row)
        rows += hostFontTable[row].name[0] != '\0';
    EXPECT_EQ(names, rows);
    EXPECT_EQ(names, 120u) << "131 names less the 11 house typefaces";
    EXPECT_STREQ(FilterProbe::LookUpPostScriptName("Zurich Ex BT-Regular"),
                 "ZurichBT-RomanExtended");
}
