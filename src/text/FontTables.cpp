// Host font names and their PostScript names, grouped by the first letter of the host name.
#include "text/FontTables.h"

// Only the rows of one letter are scanned, so a name must sit in the group of its
// first letter; the empty row ends the scan.
const HostFontRow hostFontTable[] = {
    // A
    {"Arial-Regular", 0},
    {"Arial-Bold", 1},
    {"Arial-Bold Italic", 2},
    {"Arial-Italic", 3},
    {"Arial Black-Regular", 4},
    {"Arial Narrow-Regular", 5},
    {"Arial Narrow-Bold", 6},
    {"Arial Narrow-Bold Italic", 7},
    {"Arial Rounded MT Bold-Bold", 8},
    {"Allegro BT-Regular", 9},
    {"AmerType Md BT-Medium", 10},
    {"Andale Mono-Regular", 11},
    {"AvantGarde Bk BT-Book", 12},
    {"AvantGarde Bk BT-Book Oblique", 13},
    {"AvantGarde Md BT-Medium", 14},
    {"AvantGarde Md BT-Medium Oblique", 15},
    {"", 0},
    // B
    {"BankGothic Md BT-Medium", 16},
    {"Benguiat Bk BT-Bold", 17},
    {"BernhardFashion BT-Regular", 18},
    {"BernhardMod BT-Bold", 19},
    {"BernhardMod BT-Bold Italic", 20},
    {"Book Antiqua-Regular", 21},
    {"Book Antiqua-Bold", 22},
    {"Book Antiqua-Bold Italic", 23},
    {"Book Antiqua-Italic", 24},
    {"Bookman Old Style-Regular", 25},
    {"Bookman Old Style-Bold", 26},
    {"Bookman Old Style-Bold Italic", 27},
    {"Bookman Old Style-Italic", 28},
    {"Bremen Bd BT-Bold", 29},
    {"Brush Script MT-Italic", 30},
    {"", 0},
    // C
    {"Century Gothic-Regular", 31},
    {"Century Gothic-Bold", 32},
    {"Century Gothic-Bold Italic", 33},
    {"Century Gothic-Italic", 34},
    {"Century Schoolbook-Regular", 35},
    {"Century Schoolbook-Bold", 36},
    {"Century Schoolbook-Bold Italic", 37},
    {"Century Schoolbook-Italic", 38},
    {"Charlesworth-Bold", 39},
    {"Comic Sans MS-Regular", 40},
    {"Comic Sans MS-Bold", 41},
    {"CopprplGoth Bd BT-Bold", 42},
    {"Courier New-Regular", 43},
    {"Courier New-Bold", 44},
    {"Courier New-Bold Italic", 45},
    {"Courier New-Italic", 46},
    {"", 0},
    // D
    {"Dauphin-Regular", 47},
    {"", 0},
    // E
    {"English111 Vivace BT-Regular", 48},
    {"", 0},
    // F
    {"Futura Lt BT-Light", 49},
    {"Futura Lt BT-Light Italic", 50},
    {"Futura Md BT-Bold", 51},
    {"Futura Md BT-Bold Italic", 52},
    {"Futura XBlk BT-Extra Black", 53},
    {"FuturaBlack BT-Regular", 54},
    {"", 0},
    // G
    {"Garamond-Regular", 55},
    {"Garamond-Bold", 56},
    {"Garamond-Italic", 57},
    {"Georgia-Regular", 58},
    {"Georgia-Bold", 59},
    {"Georgia-Bold Italic", 60},
    {"Georgia-Italic", 61},
    {"GoudyHandtooled BT-Regular", 62},
    {"GoudyOlSt BT-Bold", 63},
    {"GoudyOlSt BT-Bold Italic", 64},
    {"GoudyOlSt BT-Italic", 65},
    {"GoudyOlSt BT-Roman", 66},
    {"", 0},
    // H
    {"Haettenschweiler-Regular", 67},
    {"Humanst521 BT-Bold", 68},
    {"Humanst521 BT-Bold Italic", 69},
    {"Humanst521 BT-Italic", 70},
    {"Humanst521 BT-Roman", 71},
    {"", 0},
    // I
    {"Impact-Regular", 72},
    {"", 0},
    // J
    {"", 0},
    // K
    {"Kabel Bk BT-Book", 73},
    {"Kabel Ult BT-Ultra", 74},
    {"", 0},
    // L
    {"Lithograph-Bold", 75},
    {"LithographLight-Regular", 76},
    {"Lucida Console-Regular", 77},
    {"Lucida Sans Unicode-Regular", 78},
    {"", 0},
    // M
    {"Marlett-Regular", 79},
    {"MingLiU-Regular", 80},
    {"MS Hei-Regular", 81},
    {"MS Song-Regular", 82},
    {"", 0},
    // N
    {"", 0},
    // O
    {"OCR-A BT-Regular", 83},
    {"OCR-B-10 BT-Regular", 84},
    {"OzHandicraft BT-Roman", 85},
    {"", 0},
    // P
    {"PosterBodoni BT-Roman", 86},
    {"", 0},
    // Q
    {"", 0},
    // R
    {"", 0},
    // S
    {"Serifa BT-Bold", 87},
    {"Serifa BT-Italic", 88},
    {"Serifa BT-Roman", 89},
    {"Serifa Th BT-Thin", 90},
    {"Souvenir Lt BT-Demi", 91},
    {"Souvenir Lt BT-Demi Italic", 92},
    {"Souvenir Lt BT-Light", 93},
    {"Souvenir Lt BT-Light Italic", 94},
    {"Staccato222 BT-Regular", 95},
    {"Swiss911 XCm BT-Regular", 96},
    {"Symbol-Regular", 97},
    {"", 0},
    // T
    {"Tahoma-Regular", 98},
    {"Times New Roman-Regular", 99},
    {"Times New Roman-Bold", 100},
    {"Times New Roman-Bold Italic", 101},
    {"Times New Roman-Italic", 102},
    {"Trebuchet MS-Regular", 103},
    {"Trebuchet MS-Bold", 104},
    {"Trebuchet MS-Bold Italic", 105},
    {"Trebuchet MS-Italic", 106},
    {"TypoUpright BT-Regular", 107},
    {"", 0},
    // U
    {"", 0},
    // V
    {"Verdana-Regular", 108},
    {"Verdana-Bold", 109},
    {"Verdana-Bold Italic", 110},
    {"Verdana-Italic", 111},
    {"", 0},
    // W
    {"Webdings-Regular", 112},
    {"Wingdings-Regular", 113},
    {"", 0},
    // X
    {"", 0},
    // Y
    {"", 0},
    // Z
    {"ZapfEllipt BT-Roman", 114},
    {"ZapfEllipt BT-Bold", 115},
    {"ZapfEllipt BT-Bold Italic", 116},
    {"ZapfEllipt BT-Italic", 117},
    {"Zurich BlkEx BT-Black", 118},
    {"Zurich Ex BT-Regular", 119},
    {"", 0},
};

const std::size_t hostFontRowCount = sizeof hostFontTable / sizeof hostFontTable[0];

const unsigned short letterStartTable[26] = {0,   17,  33,  50,  52,  54,  61,  74,  80,
                                             82,  83,  86,  91,  96,  97,  101, 103, 104,
                                             105, 117, 128, 129, 134, 137, 138, 139};

const char* const postScriptNameTable[] = {
    "ArialMT",                          // 0
    "Arial-BoldMT",                     // 1
    "Arial-BoldItalicMT",               // 2
    "Arial-ItalicMT",                   // 3
    "Arial-Black",                      // 4
    "ArialNarrow",                      // 5
    "ArialNarrow-Bold",                 // 6
    "ArialNarrow-BoldItalic",           // 7
    "ArialRoundedMTBold",               // 8
    "AllegroBT-Regular",                // 9
    "AmerTypewriterITCbyBT-Medium",     // 10
    "AndaleMono",                       // 11
    "AvantGardeITCbyBT-Book",           // 12
    "AvantGardeITCbyBT-BookOblique",    // 13
    "AvantGardeITCbyBT-Medium",         // 14
    "AvantGardeITCbyBT-MediumOblique",  // 15
    "BankGothicBT-Medium",              // 16
    "Benguiat-Bold",                    // 17
    "BernhardFashionBT-Regular",        // 18
    "BernhardModernBT-Bold",            // 19
    "BernhardModernBT-BoldItalic",      // 20
    "BookAntiqua",                      // 21
    "BookAntiqua-Bold",                 // 22
    "BookAntiqua-BoldItalic",           // 23
    "BookAntiqua-Italic",               // 24
    "BookmanOldStyle",                  // 25
    "BookmanOldStyle-Bold",             // 26
    "BookmanOldStyle-BoldItalic",       // 27
    "BookmanOldStyle-Italic",           // 28
    "BremenBT-Bold",                    // 29
    "BrushScriptMT",                    // 30
    "CenturyGothic",                    // 31
    "CenturyGothic-Bold",               // 32
    "CenturyGothic-BoldItalic",         // 33
    "CenturyGothic-Italic",             // 34
    "CenturySchoolbook",                // 35
    "CenturySchoolbook-Bold",           // 36
    "CenturySchoolbook-BoldItalic",     // 37
    "CenturySchoolbook-Italic",         // 38
    "CharlesworthBold",                 // 39
    "ComicSansMS",                      // 40
    "ComicSansMS-Bold",                 // 41
    "CopperplateGothicBT-Bold",         // 42
    "CourierNewPSMT",                   // 43
    "CourierNewPS-BoldMT",              // 44
    "CourierNewPS-BoldItalicMT",        // 45
    "CourierNewPS-ItalicMT",            // 46
    "DauphinPlain",                     // 47
    "English111VivaceBT-Regular",       // 48
    "FuturaBT-Light",                   // 49
    "FuturaBT-LightItalic",             // 50
    "FuturaBT-Bold",                    // 51
    "FuturaBT-BoldItalic",              // 52
    "FuturaBT-ExtraBlack",              // 53
    "FuturaBlackBT-Regular",            // 54
    "Garamond",                         // 55
    "Garamond-Bold",                    // 56
    "Garamond-Italic",                  // 57
    "Georgia",                          // 58
    "Georgia-Bold",                     // 59
    "Georgia-BoldItalic",               // 60
    "Georgia-Italic",                   // 61
    "GoudyHandtooledBT-Regular",        // 62
    "GoudyOldStyleBT-Bold",             // 63
    "GoudyOldStyleBT-BoldItalic",       // 64
    "GoudyOldStyleBT-Italic",           // 65
    "GoudyOldStyleBT-Roman",            // 66
    "Haettenschweiler",                 // 67
    "Humanist521BT-Bold",               // 68
    "Humanist521BT-BoldItalic",         // 69
    "Humanist521BT-Italic",             // 70
    "Humanist521BT-Roman",              // 71
    "Impact",                           // 72
    "KabelITCbyBT-Book",                // 73
    "KabelITCbyBT-Ultra",               // 74
    "Lithograph-Bold",                  // 75
    "LithographLight",                  // 76
    "LucidaConsole",                    // 77
    "LucidaSansUnicode",                // 78
    "Marlett",                          // 79
    "MingLiU",                          // 80
    "MS-Hei",                           // 81
    "MS-Song",                          // 82
    "OCRAbyBT-Regular",                 // 83
    "OCRB10PitchBT-Regular",            // 84
    "OzHandicraftBT-Roman",             // 85
    "PosterBodoniBT-Roman",             // 86
    "SerifaBT-Bold",                    // 87
    "SerifaBT-Italic",                  // 88
    "SerifaBT-Roman",                   // 89
    "SerifaBT-Thin",                    // 90
    "Souvenir-Demi",                    // 91
    "Souvenir-DemiItalic",              // 92
    "Souvenir-Light",                   // 93
    "Souvenir-LightItalic",             // 94
    "Staccato222BT-Regular",            // 95
    "Swiss911BT-ExtraCompressed",       // 96
    "SymbolMT",                         // 97
    "Tahoma",                           // 98
    "TimesNewRomanPSMT",                // 99
    "TimesNewRomanPS-BoldMT",           // 100
    "TimesNewRomanPS-BoldItalicMT",     // 101
    "TimesNewRomanPS-ItalicMT",         // 102
    "TrebuchetMS",                      // 103
    "TrebuchetMS-Bold",                 // 104
    "Trebuchet-BoldItalic",             // 105
    "TrebuchetMS-Italic",               // 106
    "TypoUprightBT-Regular",            // 107
    "Verdana",                          // 108
    "Verdana-Bold",                     // 109
    "Verdana-BoldItalic",               // 110
    "Verdana-Italic",                   // 111
    "Webdings",                         // 112
    "Wingdings-Regular",                // 113
    "ZapfElliptical711BT-Roman",        // 114
    "ZapfElliptical711BT-Bold",         // 115
    "ZapfElliptical711BT-BoldItalic",   // 116
    "ZapfElliptical711BT-Italic",       // 117
    "ZurichBT-BlackExtended",           // 118
    "ZurichBT-RomanExtended",           // 119
};

const std::size_t postScriptNameCount = sizeof postScriptNameTable / sizeof postScriptNameTable[0];
