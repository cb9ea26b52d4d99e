// The record-script reader: value forms, payload bytes, errors and their
// positions, the built-in sample and the documented examples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "RecordScript.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

using namespace recordscript;

namespace {

ParsedScript Parse(const std::string& text, const std::string& outDir = "/out")
{
    ParsedScript script;
    Diagnostic error;
    ParseOptions options;
    options.outDir = outDir;
    EXPECT_TRUE(ParseScript(text, options, script, error))
        << text << "\n" << error.line << ":" << error.column << ": " << error.message;
    return script;
}

Diagnostic ParseError(const std::string& text, bool fragment = false)
{
    ParsedScript script;
    Diagnostic error;
    ParseOptions options;
    options.sampleFragment = fragment;
    EXPECT_FALSE(ParseScript(text, options, script, error)) << text;
    return error;
}

// The payload of the only record of a one-line script, as its struct. Its
// fields are read as +field, a copy: gtest would bind a reference to a
// member that the packing may leave misaligned.
template <class T>
T Payload(const std::string& line)
{
    ParsedScript script = Parse(line);
    T value{};
    if (script.records.size() == 1 && script.records[0].payload.size() == sizeof(T))
        std::memcpy(&value, script.records[0].Bind(), sizeof(T));
    else
        ADD_FAILURE() << line << " did not give one record of " << sizeof(T) << " bytes";
    return value;
}

std::string Bytes(const Record& r)
{
    return std::string(r.data.begin(), r.data.end());
}

}  // namespace

TEST(RecordScript, ReadsEveryNumberForm)
{
    struct Case {
        const char* text;
        double x;
    } reals[] = {
        {"8.5", 8.5}, {"-1e3", -1000.0}, {".25", 0.25}, {"7", 7.0},       {"+7", 7.0},
        {"8.", 8.0},  {"0x1F", 31.0},    {"1E2", 100.0}, {"1e-999", 0.0}, {"-0.00001", -0.00001},
        {"0.0001e-330", 0.0}, {"12345e-999", 0.0},
    };
    for (const Case& c : reals)
        EXPECT_EQ(+Payload<MoveToData>(std::string("MoveTo ") + c.text + " 0").x, c.x) << c.text;

    const MoveToData odd = Payload<MoveToData>("MoveTo nan -inf");
    EXPECT_TRUE(std::isnan(odd.x));
    EXPECT_TRUE(std::isinf(odd.y) && odd.y < 0);

    // Integers fill their fields at their widths; hex is the field's bit pattern.
    const SetStrokeData stroke = Payload<SetStrokeData>("SetStroke -3 0.5 0xFFFF 32767 4");
    EXPECT_EQ(+stroke.style, -3);
    EXPECT_EQ(+stroke.width, 0.5);
    EXPECT_EQ(+stroke.cap, -1);
    EXPECT_EQ(+stroke.join, 32767);
    EXPECT_EQ(+stroke.miterLimit, 4.0);
    EXPECT_EQ(+Payload<SetTextAttrData>("SetTextAttr 4294967295").alignment, 4294967295u);
    EXPECT_EQ(+Payload<DefLayerData>("DefineLayer \"L\" -2147483648").visibility, INT32_MIN);
}

TEST(RecordScript, LaysFieldsOutAsTheHostStructures)
{
    const SetColorDefData def = Payload<SetColorDefData>("SetColorDef 9 \"Spot\" 1 1 2 3 0.1 0.2 0.3 0.4 1");
    EXPECT_EQ(+def.tag, 9);
    EXPECT_STREQ(def.name, "Spot");
    EXPECT_EQ(+def.color.model, 1);
    EXPECT_EQ(+def.color.blue, 3);
    EXPECT_EQ(+def.color.black, 0.4);
    EXPECT_EQ(+def.spot, 1);

    const SetGradientRGNData stop =
        Payload<SetGradientRGNData>("SetGradientRGN 25 50 0 255 128 64 0 0 0 0 1 0.5 7");
    EXPECT_EQ(+stop.location, 25.0);
    EXPECT_EQ(+stop.stopColor.color.green, 128);
    EXPECT_EQ(+stop.stopColor.tinted, 1);
    EXPECT_EQ(+stop.stopColor.tint, 0.5);
    EXPECT_EQ(+stop.flags, 7);

    const SetCharAttrData attr = Payload<SetCharAttrData>("SetCharAttr \"Times\" \"Bold Italic\" 1 2 3 12 1 100");
    EXPECT_EQ(+attr.faceNameLength, 5);
    EXPECT_EQ(+attr.styleNameLength, 11);
    EXPECT_EQ(std::string(attr.styleName), "Bold Italic");
    EXPECT_EQ(+attr.kernClass, 3u);
    EXPECT_EQ(+attr.fontSize, 12.0);
    EXPECT_EQ(+attr.sizeIsEm, 1);
    EXPECT_EQ(+attr.horizontalScale, 100.0);

    const PathPostscriptData eps = Payload<PathPostscriptData>("PathPostscript \"a.eps\" 1 2 3 -4 5 6 7");
    EXPECT_EQ(+eps.placeScale, 3.0);
    EXPECT_EQ(+eps.boxLeft, -4);
    EXPECT_EQ(+eps.boxBottom, 7);

    // Trailing fields left out are zero, as is everything the script cannot name.
    const BeginPictureData picture = Payload<BeginPictureData>("BeginPicture 1 2");
    EXPECT_EQ(+picture.reserved, 0u);
    EXPECT_EQ(+picture.bottom, 2.0);
    EXPECT_EQ(+picture.width, 0.0);
    EXPECT_EQ(+picture.height, 0.0);

    ParsedScript ignored = Parse("Arc\nEndPicture\n2056");
    for (Record& r : ignored.records) {
        auto* block = static_cast<unsigned char*>(r.Bind());
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(std::vector<unsigned char>(block, block + 512), std::vector<unsigned char>(512, 0));
        block[0] = 1;  // a careless reader's scribble does not reach the next record
    }
}

TEST(RecordScript, DecodesStringEscapesAndOutDir)
{
    ParsedScript script = Parse(
        "Text \"a\\\\b\\\"c\\nd\\re\\tf\\x41\\x7e\\101\\0\\377\\7z é\"\n"
        "Text \"${OUTDIR}/p.tif \\x24{OUTDIR} $HOME\"\n"
        "Text\n",
        "/tmp/out dir");
    ASSERT_EQ(script.records.size(), 3u);
    EXPECT_EQ(Bytes(script.records[0]), std::string("a\\b\"c\nd\re\tfA~A\0\377\7z \xC3\xA9\0", 22));
    EXPECT_EQ(Bytes(script.records[1]), std::string("/tmp/out dir/p.tif ${OUTDIR} $HOME\0", 35));

    // The payload points at the characters, zero-terminated, and counts them.
    for (std::size_t i = 0; i < script.records.size(); ++i) {
        Record& r = script.records[i];
        const auto* text = static_cast<const _TextData*>(r.Bind());
        EXPECT_EQ(+text->text, reinterpret_cast<char*>(r.data.data()));
        EXPECT_EQ(+text->count, r.data.size() - 1);
        EXPECT_EQ(text->text[text->count], '\0');
        EXPECT_EQ(+text->field, 0);
    }

    // Strings that are the payload itself.
    ParsedScript direct = Parse("BeginLayer \"Top\"\nSetPatternTrans \"\"");
    EXPECT_EQ(direct.records[0].payload, (std::vector<unsigned char>{'T', 'o', 'p', 0}));
    EXPECT_EQ(direct.records[1].payload, std::vector<unsigned char>{0});
}

TEST(RecordScript, FillsFixedArraysUpToTheirLengthWithoutTerminator)
{
    const std::string name64(64, 'n');
    const NAME_TAG full = Payload<NAME_TAG>("SetFillColorByName 3 \"" + name64 + "\"");
    EXPECT_EQ(std::string(full.name, sizeof full.name), name64);

    const DefLayerData layer = Payload<DefLayerData>("DefineLayer \"" + std::string(256, 'L') + "\" 5");
    EXPECT_EQ(std::string(layer.name, 256), std::string(256, 'L'));
    EXPECT_EQ(+layer.visibility, 5);

    const PathBitmapData tiff = Payload<PathBitmapData>("PathBitmap \"" + std::string(258, 'p') + "\" 1");
    EXPECT_EQ(+tiff.fileType, 1);

    const SetCharAttrData attr = Payload<SetCharAttrData>("SetCharAttr \"" + name64 + "\"");
    EXPECT_EQ(+attr.faceNameLength, 64);
    EXPECT_EQ(+attr.styleNameLength, 0);

    struct Case {
        std::string line;
        std::string message;
    } tooLong[] = {
        {"SetFillColorByName 3 \"" + std::string(65, 'n') + "\"",
         "1:22: string of 65 bytes does not fit the 64-byte array for field 'name' of SetFillColorByName"},
        {"DefineLayer \"" + std::string(257, 'L') + "\"", "1:13: string of 257 bytes"},
        {"PathBitmap \"" + std::string(259, 'p') + "\"", "1:12: string of 259 bytes"},
        // An escape counts as the one byte it stands for; an expansion as its text.
        {"SetGradientDef 1 \"" + std::string(63, 'g') + "\\x41\\101\"", "1:18: string of 65 bytes"},
    };
    for (const Case& c : tooLong) {
        const Diagnostic e = ParseError(c.line);
        EXPECT_EQ((std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.message)
                      .substr(0, c.message.size()),
                  c.message);
    }
}

TEST(RecordScript, ReadsByteDataAndChecksRowLengths)
{
    ParsedScript script = Parse(
        "BeginBitmap 3 2 3 8 0\n"
        "Bitmap 0 1 <00 ff AB  0102 03>\n"
        "Bitmap 5 5 <000102 99>\n"      // more than needed is fine
        "BeginBitmap 8 1 0 8 2\n"
        "Bitmap 0 100\n");              // colour model 2: the rows are not read
    ASSERT_EQ(script.records.size(), 5u);
    EXPECT_EQ(Bytes(script.records[1]), std::string("\x00\xFF\xAB\x01\x02\x03\x00", 7));
    const auto* rows = static_cast<const BitmapData*>(script.records[1].Bind());
    EXPECT_EQ(+rows->lastRow, 1);
    EXPECT_EQ(+rows->rowData, script.records[1].data.data());
    EXPECT_NE(+static_cast<const BitmapData*>(script.records[4].Bind())->rowData, nullptr);

    // Too few bytes for the rows would let the filter read past the block.
    struct Case {
        const char* text;
        unsigned line, column;
        const char* message;
    } shortRows[] = {
        {"BeginBitmap 3 2 3\nBitmap 0 1 <000102 0304>", 2, 12,
         "Bitmap rows 0 to 1 need 6 bytes (2 rows of the 3 bytesPerRow of the last BeginBitmap); 5 given"},
        {"BeginBitmap 1 1 2\nBitmap 3 0 <0000 0000 0000>", 2, 12, "Bitmap rows 3 to 0 need 8 bytes"},
        {"BeginBitmap 1 1 1\nBitmap", 2, 1, "Bitmap rows 0 to 0 need 1 bytes"},
    };
    for (const Case& c : shortRows) {
        const Diagnostic e = ParseError(c.text);
        EXPECT_EQ(e.line, c.line) << c.text;
        EXPECT_EQ(e.column, c.column) << c.text;
        EXPECT_EQ(e.message.substr(0, std::strlen(c.message)), c.message);
    }
}

TEST(RecordScript, TakesOpcodeNumbersNullAndComments)
{
    ParsedScript script = Parse(
        "\xEF\xBB\xBF# a comment\r\n"
        "\n"
        "261 1 2   # MoveTo by number\r\n"
        "  LineTo\t3 4#comment right after a field\n"
        "40\n"
        "MoveTo null\n"
        "EndPicture null\n"
        "Text \"# not a comment\"");
    ASSERT_EQ(script.records.size(), 6u);
    EXPECT_EQ(script.records[0].opcode, aiop::kMoveTo);
    EXPECT_EQ(script.records[0].line, 3u);
    EXPECT_EQ(+Payload<MoveToData>("261 1 2").y, 2.0);
    EXPECT_EQ(script.records[1].opcode, aiop::kLineTo);
    EXPECT_EQ(script.records[2].opcode, 40);
    EXPECT_TRUE(script.records[2].zeroedPayload);
    EXPECT_EQ(script.records[3].Bind(), nullptr);
    EXPECT_EQ(script.records[4].Bind(), nullptr);
    EXPECT_EQ(Bytes(script.records[5]), std::string("# not a comment\0", 16));
}

TEST(RecordScript, ReportsErrorsWhereTheyAre)
{
    struct Case {
        const char* text;
        unsigned line, column;
        const char* message;
    } cases[] = {
        {"MoveTo 1 x", 1, 10, "expected a real number, got 'x' for field 'y' of MoveTo"},
        {"MoveTo 1 1.5.2", 1, 10, "expected a real number"},
        {"MoveTo 1e999", 1, 8, "real '1e999' is out of range for field 'x' of MoveTo"},
        {"MoveTo 0x", 1, 8, "expected a real number"},
        {"MoveTo 0.01e311", 1, 8, "real '0.01e311' is out of range"},
        {"MoveTo -100000e305", 1, 8, "real '-100000e305' is out of range"},
        {"MoveTo infinity", 1, 8, "expected a real number"},
        {"MoveTo \"1\"", 1, 8, "expected a real number for field 'x' of MoveTo"},
        {"SetFillType 65536", 1, 13, "'65536' is out of range (an integer 0..65535)"},
        {"SetFillType -1", 1, 13, "'-1' is out of range"},
        {"SetFillType 1.5", 1, 13, "expected an integer 0..65535, got '1.5'"},
        {"SetStroke 0x10000", 1, 11, "'0x10000' is out of range"},
        {"SetStroke 99999999999999999999999", 1, 11, "'99999999999999999999999' is out of range"},
        {"SetFillColorByName 1 Blue", 1, 22, "expected a string in double quotes"},
        {"Bitmap 0 0 \"00\"", 1, 12, "expected byte data in <...>"},
        {"\n\nmoveto 1 2", 3, 1, "unknown record 'moveto' (did you mean 'MoveTo'?)"},
        {"Frobnicate", 1, 1, "unknown record 'Frobnicate'"},
        {"  \"MoveTo\" 1 2", 1, 3, "expected a record name or opcode"},
        {"<00>", 1, 1, "expected a record name or opcode"},
        {"65536", 1, 1, "opcode '65536' is not a number 0..65535"},
        {"12x", 1, 1, "opcode '12x' is not a number"},
        {"40 1", 1, 4, "too many fields: opcode 40 takes none"},
        {"EndPath 1", 1, 9, "too many fields: EndPath takes none"},
        {"MoveTo 1 2 3", 1, 12, "too many fields: MoveTo takes 2 (x y)"},
        {"MoveTo 1 null", 1, 10, "null must be the only field"},
        {"MoveTo null 1", 1, 8, "null must be the only field"},
        {"Text \"abc", 1, 6, "unterminated string"},
        {"Text \"abc\\", 1, 10, "unterminated string"},
        {"Text \"a\\q\"", 1, 8, "unknown escape \\q"},
        {"Text \"a\\x4\"", 1, 8, "\\x needs two hex digits"},
        {"Text \"\\400\"", 1, 7, "octal escape above \\377"},
        {"Text \"a\"b", 1, 9, "expected a blank after the string"},
        {"Bitmap 0 0 <0G>", 1, 14, "invalid character 'G' in byte data"},
        {"Bitmap 0 0 <001>", 1, 15, "odd number of hex digits"},
        {"Bitmap 0 0 <00", 1, 12, "unterminated byte data"},
        {"Bitmap 0 0 <#>", 1, 13, "invalid character '#'"},
        {"MoveTo \x01", 1, 8, "expected a real number, got '\\x01'"},
        {"@drawing", 1, 1, "@drawing belongs only in the built-in sample's fragments"},
        {"@include \"x\"", 1, 1, "unknown directive '@include'"},
        {"@file x <00>", 1, 7, "@file needs a file name in double quotes"},
        {"@file \"a/b\" <00>", 1, 7, "@file needs a plain file name"},
        {"@file \"..\" <00>", 1, 7, "@file needs a plain file name"},
        {"@file \"a\\0\" <00>", 1, 7, "@file needs a plain file name"},
        {"@file \"a\"", 1, 10, "@file needs its bytes as <hex digits>"},
        {"@file \"a\" <00> 1", 1, 16, "@file takes a name and byte data only"},
    };
    for (const Case& c : cases) {
        const Diagnostic e = ParseError(c.text);
        EXPECT_EQ(e.line, c.line) << c.text;
        EXPECT_EQ(e.column, c.column) << c.text;
        EXPECT_EQ(e.message.substr(0, std::strlen(c.message)), c.message) << c.text;
    }
}

TEST(RecordScript, ReadsFileDirectivesAndFragments)
{
    ParsedScript script = Parse("@file \"tiny.tif\" <49 49 2A00>\nEndPicture");
    ASSERT_EQ(script.files.size(), 1u);
    EXPECT_EQ(script.files[0].name, "tiny.tif");
    EXPECT_EQ(script.files[0].bytes, (std::vector<unsigned char>{0x49, 0x49, 0x2A, 0x00}));
    EXPECT_EQ(script.files[0].line, 1u);

    ParsedScript fragment;
    Diagnostic error;
    ParseOptions options;
    options.sampleFragment = true;
    ASSERT_TRUE(ParseScript("BeginGroup\n@drawing\nEndGroup\nEndGroup", options, fragment, error));
    EXPECT_EQ(fragment.drawingStart, 1u);
    EXPECT_EQ(fragment.records.size(), 3u);

    EXPECT_EQ(ParseError("BeginGroup\nEndGroup\n", true).message.substr(0, 29),
              "a sample fragment needs a lin");
    const Diagnostic twice = ParseError("@drawing\n@drawing", true);
    EXPECT_EQ(twice.line, 2u);
    EXPECT_EQ(twice.message, "second @drawing line");
}

TEST(RecordScript, SampleComposesAroundTheFrame)
{
    Replay sample;
    std::string source;
    Diagnostic error;
    ASSERT_TRUE(ComposeSample("/out", sample, source, error))
        << source << ":" << error.line << ":" << error.column << ": " << error.message;
    ASSERT_GE(kSampleFragmentCount, 1u);
    EXPECT_STREQ(kSampleFragments[0].name, "00-frame.records");
    for (std::size_t i = 1; i < kSampleFragmentCount; ++i)
        EXPECT_LT(std::strcmp(kSampleFragments[i - 1].name, kSampleFragments[i].name), 0);

    ASSERT_GE(sample.records.size(), 3u);
    EXPECT_EQ(sample.records.front().opcode, aiop::kBeginPicture);
    EXPECT_EQ(sample.records.back().opcode, aiop::kEndPicture);
    std::size_t sections = 0;
    for (const Record& r : sample.records)
        sections += r.opcode == aiop::kBeginDrawingSection;
    EXPECT_EQ(sections, 1u);
    const auto* picture = static_cast<const BeginPictureData*>(sample.records.front().Bind());
    EXPECT_EQ(+picture->width, 8.5);
    EXPECT_EQ(+picture->height, 11.0);
}

// Each example block of the reference parses, and every record has an example.
TEST(RecordScript, DocumentedExamplesCoverEveryRecord)
{
    std::ifstream in(AIEXPORT_SOURCE_DIR "/docs/record-script.md");
    ASSERT_TRUE(in) << "docs/record-script.md";
    std::vector<std::string> blocks;
    std::string fragment;
    std::string* current = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        if (current == nullptr && line == "```records")
            current = &blocks.emplace_back();
        else if (current == nullptr && line == "```fragment")
            current = &fragment;
        else if (current != nullptr && line == "```")
            current = nullptr;
        else if (current != nullptr)
            *current += line + "\n";
    }
    ASSERT_FALSE(blocks.empty());
    std::vector<bool> seen(65536, false);
    for (const std::string& block : blocks)
        for (const Record& r : Parse(block).records)
            seen[r.opcode] = true;
    ParsedScript sample;
    Diagnostic error;
    ParseOptions options;
    options.sampleFragment = true;
    EXPECT_TRUE(ParseScript(fragment, options, sample, error)) << error.line << ": " << error.message;
    for (std::uint16_t opcode : RecordOpcodes())
        EXPECT_TRUE(seen[opcode]) << RecordName(opcode) << " has no example";
}

// Whatever the bytes, the reader answers: no crash, no hang, no runaway memory.
TEST(RecordScript, SurvivesMangledInput)
{
    const std::string seed =
        "BeginPicture 0 0 8.5 11\nSetColorDef 1 \"A\\x41\" 0 1 2 3\nBeginBitmap 2 2 2 8 0\n"
        "Bitmap 0 1 <00 01 02 03>\n@file \"f\" <00>\nText \"${OUTDIR}\\n\"\nMoveTo null\n261 1 2\n";
    std::mt19937 random(12345);
    const char alphabet[] = "\"\\<>#@ \t\n0123456789.-+xeE${}OUTDIRnulinf\xFF";
    for (int round = 0; round < 4000; ++round) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % (text.size() + 1);
            switch (random() % 3) {
            case 0: text.insert(at, 1, alphabet[random() % (sizeof alphabet - 1)]); break;
            case 1: if (at < text.size()) text.erase(at, 1); break;
            default: if (at < text.size()) text[at] = static_cast<char>(random() % 256); break;
            }
        }
        ParsedScript script;
        Diagnostic error;
        ParseOptions options;
        options.outDir = "/out";
        options.sampleFragment = round % 2 == 0;
        if (ParseScript(text, options, script, error)) {
            for (Record& r : script.records)
                r.Bind();
        } else {
            EXPECT_GE(error.line, 1u);
            EXPECT_GE(error.column, 1u);
            EXPECT_FALSE(error.message.empty());
        }
    }
}
