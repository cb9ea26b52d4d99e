// The font tables: every known host name, its PostScript name and its letter group.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "support/FilterProbe.h"
#include "text/FontTables.h"

namespace {

// The mapping in table order.
const std::pair<const char*, const char*> kMapping[] = {
    {"Arial-Regular", "ArialMT"},
    {"Arial-Bold", "Arial-BoldMT"},
    {"Arial-Bold Italic", "Arial-BoldItalicMT"},
    {"Arial-Italic", "Arial-ItalicMT"},
    {"Arial Black-Regular", "Arial-Black"},
    {"Arial Narrow-Regular", "ArialNarrow"},
    {"Arial Narrow-Bold", "ArialNarrow-Bold"},
    {"Arial Narrow-Bold Italic", "ArialNarrow-BoldItalic"},
    {"Arial Rounded MT Bold-Bold", "ArialRoundedMTBold"},
    {"Allegro BT-Regular", "AllegroBT-Regular"},
    {"AmerType Md BT-Medium", "AmerTypewriterITCbyBT-Medium"},
    {"Andale Mono-Regular", "AndaleMono"},
    {"AvantGarde Bk BT-Book", "AvantGardeITCbyBT-Book"},
    {"AvantGarde Bk BT-Book Oblique", "AvantGardeITCbyBT-BookOblique"},
    {"AvantGarde Md BT-Medium", "AvantGardeITCbyBT-Medium"},
    {"AvantGarde Md BT-Medium Oblique", "AvantGardeITCbyBT-MediumOblique"},
    {"BankGothic Md BT-Medium", "BankGothicBT-Medium"},
    {"Benguiat Bk BT-Bold", "Benguiat-Bold"},
    {"BernhardFashion BT-Regular", "BernhardFashionBT-Regular"},
    {"BernhardMod BT-Bold", "BernhardModernBT-Bold"},
    {"BernhardMod BT-Bold Italic", "BernhardModernBT-BoldItalic"},
    {"Book Antiqua-Regular", "BookAntiqua"},
    {"Book Antiqua-Bold", "BookAntiqua-Bold"},
    {"Book Antiqua-Bold Italic", "BookAntiqua-BoldItalic"},
    {"Book Antiqua-Italic", "BookAntiqua-Italic"},
    {"Bookman Old Style-Regular", "BookmanOldStyle"},
    {"Bookman Old Style-Bold", "BookmanOldStyle-Bold"},
    {"Bookman Old Style-Bold Italic", "BookmanOldStyle-BoldItalic"},
    {"Bookman Old Style-Italic", "BookmanOldStyle-Italic"},
    {"Bremen Bd BT-Bold", "BremenBT-Bold"},
    {"Brush Script MT-Italic", "BrushScriptMT"},
    {"Century Gothic-Regular", "CenturyGothic"},
    {"Century Gothic-Bold", "CenturyGothic-Bold"},
    {"Century Gothic-Bold Italic", "CenturyGothic-BoldItalic"},
    {"Century Gothic-Italic", "CenturyGothic-Italic"},
    {"Century Schoolbook-Regular", "CenturySchoolbook"},
    {"Century Schoolbook-Bold", "CenturySchoolbook-Bold"},
    {"Century Schoolbook-Bold Italic", "CenturySchoolbook-BoldItalic"},
    {"Century Schoolbook-Italic", "CenturySchoolbook-Italic"},
    {"Charlesworth-Bold", "CharlesworthBold"},
    {"Comic Sans MS-Regular", "ComicSansMS"},
    {"Comic Sans MS-Bold", "ComicSansMS-Bold"},
    {"CopprplGoth Bd BT-Bold", "CopperplateGothicBT-Bold"},
    {"Courier New-Regular", "CourierNewPSMT"},
    {"Courier New-Bold", "CourierNewPS-BoldMT"},
    {"Courier New-Bold Italic", "CourierNewPS-BoldItalicMT"},
    {"Courier New-Italic", "CourierNewPS-ItalicMT"},
    {"Dauphin-Regular", "DauphinPlain"},
    {"English111 Vivace BT-Regular", "English111VivaceBT-Regular"},
    {"Futura Lt BT-Light", "FuturaBT-Light"},
    {"Futura Lt BT-Light Italic", "FuturaBT-LightItalic"},
    {"Futura Md BT-Bold", "FuturaBT-Bold"},
    {"Futura Md BT-Bold Italic", "FuturaBT-BoldItalic"},
    {"Futura XBlk BT-Extra Black", "FuturaBT-ExtraBlack"},
    {"FuturaBlack BT-Regular", "FuturaBlackBT-Regular"},
    {"Garamond-Regular", "Garamond"},
    {"Garamond-Bold", "Garamond-Bold"},
    {"Garamond-Italic", "Garamond-Italic"},
    {"Georgia-Regular", "Georgia"},
    {"Georgia-Bold", "Georgia-Bold"},
    {"Georgia-Bold Italic", "Georgia-BoldItalic"},
    {"Georgia-Italic", "Georgia-Italic"},
    {"GoudyHandtooled BT-Regular", "GoudyHandtooledBT-Regular"},
    {"GoudyOlSt BT-Bold", "GoudyOldStyleBT-Bold"},
    {"GoudyOlSt BT-Bold Italic", "GoudyOldStyleBT-BoldItalic"},
    {"GoudyOlSt BT-Italic", "GoudyOldStyleBT-Italic"},
    {"GoudyOlSt BT-Roman", "GoudyOldStyleBT-Roman"},
    {"Haettenschweiler-Regular", "Haettenschweiler"},
    {"Humanst521 BT-Bold", "Humanist521BT-Bold"},
    {"Humanst521 BT-Bold Italic", "Humanist521BT-BoldItalic"},
    {"Humanst521 BT-Italic", "Humanist521BT-Italic"},
    {"Humanst521 BT-Roman", "Humanist521BT-Roman"},
    {"Impact-Regular", "Impact"},
    {"Kabel Bk BT-Book", "KabelITCbyBT-Book"},
    {"Kabel Ult BT-Ultra", "KabelITCbyBT-Ultra"},
    {"Lithograph-Bold", "Lithograph-Bold"},
    {"LithographLight-Regular", "LithographLight"},
    {"Lucida Console-Regular", "LucidaConsole"},
    {"Lucida Sans Unicode-Regular", "LucidaSansUnicode"},
    {"Marlett-Regular", "Marlett"},
    {"MingLiU-Regular", "MingLiU"},
    {"MS Hei-Regular", "MS-Hei"},
    {"MS Song-Regular", "MS-Song"},
    {"OCR-A BT-Regular", "OCRAbyBT-Regular"},
    {"OCR-B-10 BT-Regular", "OCRB10PitchBT-Regular"},
    {"OzHandicraft BT-Roman", "OzHandicraftBT-Roman"},
    {"PosterBodoni BT-Roman", "PosterBodoniBT-Roman"},
    {"Serifa BT-Bold", "SerifaBT-Bold"},
    {"Serifa BT-Italic", "SerifaBT-Italic"},
    {"Serifa BT-Roman", "SerifaBT-Roman"},
    {"Serifa Th BT-Thin", "SerifaBT-Thin"},
    {"Souvenir Lt BT-Demi", "Souvenir-Demi"},
    {"Souvenir Lt BT-Demi Italic", "Souvenir-DemiItalic"},
    {"Souvenir Lt BT-Light", "Souvenir-Light"},
    {"Souvenir Lt BT-Light Italic", "Souvenir-LightItalic"},
    {"Staccato222 BT-Regular", "Staccato222BT-Regular"},
    {"Swiss911 XCm BT-Regular", "Swiss911BT-ExtraCompressed"},
    {"Symbol-Regular", "SymbolMT"},
    {"Tahoma-Regular", "Tahoma"},
    {"Times New Roman-Regular", "TimesNewRomanPSMT"},
    {"Times New Roman-Bold", "TimesNewRomanPS-BoldMT"},
    {"Times New Roman-Bold Italic", "TimesNewRomanPS-BoldItalicMT"},
    {"Times New Roman-Italic", "TimesNewRomanPS-ItalicMT"},
    {"Trebuchet MS-Regular", "TrebuchetMS"},
    {"Trebuchet MS-Bold", "TrebuchetMS-Bold"},
    {"Trebuchet MS-Bold Italic", "Trebuchet-BoldItalic"},
    {"Trebuchet MS-Italic", "TrebuchetMS-Italic"},
    {"TypoUpright BT-Regular", "TypoUprightBT-Regular"},
    {"Verdana-Regular", "Verdana"},
    {"Verdana-Bold", "Verdana-Bold"},
    {"Verdana-Bold Italic", "Verdana-BoldItalic"},
    {"Verdana-Italic", "Verdana-Italic"},
    {"Webdings-Regular", "Webdings"},
    {"Wingdings-Regular", "Wingdings-Regular"},
    {"ZapfEllipt BT-Roman", "ZapfElliptical711BT-Roman"},
    {"ZapfEllipt BT-Bold", "ZapfElliptical711BT-Bold"},
    {"ZapfEllipt BT-Bold Italic", "ZapfElliptical711BT-BoldItalic"},
    {"ZapfEllipt BT-Italic", "ZapfElliptical711BT-Italic"},
    {"Zurich BlkEx BT-Black", "ZurichBT-BlackExtended"},
    {"Zurich Ex BT-Regular", "ZurichBT-RomanExtended"},
};

}  // namespace

TEST(FontTables, HoldEveryNameInOrderAndLookUpEach)
{
    std::size_t next = 0;
    for (std::size_t row = 0; row < hostFontRowCount; ++row) {
        const HostFontRow& r = hostFontTable[row];
        if (r.name[0] == '\0')
            continue;
        ASSERT_LT(next, std::size(kMapping));
        EXPECT_STREQ(r.name, kMapping[next].first) << row;
        ASSERT_LT(r.postScriptIndex, postScriptNameCount) << r.name;
        EXPECT_STREQ(postScriptNameTable[r.postScriptIndex], kMapping[next].second) << r.name;
        EXPECT_STREQ(FilterProbe::LookUpPostScriptName(r.name), kMapping[next].second) << r.name;
        ++next;
    }
    EXPECT_EQ(next, std::size(kMapping));
}

TEST(FontTables, EveryRowIsReachedThroughItsLetterGroup)
{
    std::size_t reached = 0;
    for (int letter = 0; letter < 26; ++letter) {
        std::size_t row = letterStartTable[letter];
        ASSERT_LT(row, hostFontRowCount);
        // A group starts after the end of the one before it.
        EXPECT_TRUE(row == 0 || hostFontTable[row - 1].name[0] == '\0') << char('A' + letter);
        for (; hostFontTable[row].name[0] != '\0'; ++row) {
            ASSERT_LT(row + 1, hostFontRowCount);
            EXPECT_EQ(hostFontTable[row].name[0], 'A' + letter) << hostFontTable[row].name;
            ++reached;
        }
    }
    EXPECT_EQ(reached, std::size(kMapping));
    EXPECT_EQ(hostFontTable[hostFontRowCount - 1].name[0], '\0');
}
