// The record-script reader: value forms, exact-length strings, errors and their positions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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
        << text << "\n"
        << error.line << ":" << error.column << ": " << error.message;
    return script;
}

// "LINE:COLUMN: message" of a script that must not parse.
std::string ParseError(const std::string& text)
{
    ParsedScript script;
    Diagnostic error;
    EXPECT_FALSE(ParseScript(text, ParseOptions{}, script, error)) << text;
    return std::to_string(error.line) + ":" + std::to_string(error.column) + ": " + error.message;
}

// The payload of a one-record script as its struct. Fields are read as +field,
// a copy: gtest would bind a reference to a member the packing may misalign.
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

std::string Bytes(const Record& r) { return std::string(r.data.begin(), r.data.end()); }

}  // namespace

TEST(RecordScript, ReadsEveryNumberForm)
{
    const std::pair<const char*, double> reals[] = {
        {"8.5", 8.5},        {"-1e3", -1000.0}, {".25", 0.25},
        {"+7", 7.0},         {"8.", 8.0},       {"0x1F", 31.0},
        {"1E2", 100.0},      {"1e-999", 0.0},   {"-0.00001", -0.00001},
        {"12345e-999", 0.0},
    };
    for (const auto& [text, x] : reals)
        EXPECT_EQ(+Payload<MoveToData>(std::string("MoveTo ") + text + " 0").x, x) << text;
    const MoveToData odd = Payload<MoveToData>("MoveTo nan -inf");
    EXPECT_TRUE(std::isnan(odd.x));
    EXPECT_TRUE(std::isinf(odd.y) && odd.y < 0);

    // Integers fill their fields at their widths; hex is the field's bit pattern.
    const SetStrokeData stroke = Payload<SetStrokeData>("SetStroke -3 0.5 0xFFFF 32767 4");
    EXPECT_EQ(+stroke.style, -3);
    EXPECT_EQ(+stroke.cap, -1);
    EXPECT_EQ(+stroke.join, 32767);
    EXPECT_EQ(+stroke.miterLimit, 4.0);
    EXPECT_EQ(+Payload<SetTextAttrData>("SetTextAttr 4294967295").alignment, 4294967295u);
    EXPECT_EQ(+Payload<DefLayerData>("DefineLayer \"L\" -2147483648").visibility, INT32_MIN);
    // Trailing fields left out are zero.
    EXPECT_EQ(+Payload<BeginPictureData>("BeginPicture 1 2").width, 0.0);
}

TEST(RecordScript, ReadsStringsBytesOpcodesNullAndComments)
{
    ParsedScript script =
        Parse("\xEF\xBB\xBF# a comment\r\n"
              "Text \"a\\\\b\\\"c\\nd\\re\\tf\\x41\\x7e\\101\\0\\377\\7z \xC3\xA9\"\n"
              "Text \"${OUTDIR}/p.tif \\x24{OUTDIR} $HOME\"  # comment\n"
              "261 1 2\n"
              "40\n"
              "MoveTo null\n"
              "Text \"# not a comment\"\n"
              "BeginBitmap 3 2 3 8 0\n"
              "Bitmap 0 1 <00 ff AB  0102 03>\n",
              "/tmp/out dir");
    ASSERT_EQ(script.records.size(), 8u);
    EXPECT_EQ(Bytes(script.records[0]), std::string("a\\b\"c\nd\re\tfA~A\0\377\7z \xC3\xA9\0", 22));
    EXPECT_EQ(Bytes(script.records[1]), std::string("/tmp/out dir/p.tif ${OUTDIR} $HOME\0", 35));
    // The payload points at the characters, zero-terminated, and counts them.
    const auto* text = static_cast<const _TextData*>(script.records[0].Bind());
    EXPECT_EQ(+text->text, reinterpret_cast<char*>(script.records[0].data.data()));
    EXPECT_EQ(+text->count, 21u);
    EXPECT_EQ(script.records[2].opcode, aiop::kMoveTo);
    EXPECT_EQ(script.records[2].line, 4u);
    EXPECT_TRUE(script.records[3].zeroedPayload);
    EXPECT_EQ(script.records[4].Bind(), nullptr);
    EXPECT_EQ(Bytes(script.records[5]), std::string("# not a comment\0", 16));
    EXPECT_EQ(Bytes(script.records[7]), std::string("\x00\xFF\xAB\x01\x02\x03\x00", 7));
    EXPECT_EQ(+static_cast<const BitmapData*>(script.records[7].Bind())->lastRow, 1);
    // A string that is the payload itself.
    EXPECT_EQ(Parse("BeginLayer \"Top\"").records[0].payload,
              (std::vector<unsigned char>{'T', 'o', 'p', 0}));
}

TEST(RecordScript, FillsFixedArraysUpToTheirLengthWithoutTerminator)
{
    const std::string name64(64, 'n');
    const NAME_TAG full = Payload<NAME_TAG>("SetFillColorByName 3 \"" + name64 + "\"");
    EXPECT_EQ(std::string(full.name, sizeof full.name), name64);
    const DefLayerData layer =
        Payload<DefLayerData>("DefineLayer \"" + std::string(256, 'L') + "\" 5");
    EXPECT_EQ(std::string(layer.name, 256), std::string(256, 'L'));
    EXPECT_EQ(+layer.visibility, 5);
    EXPECT_EQ(+Payload<PathBitmapData>("PathBitmap \"" + std::string(258, 'p') + "\" 1").fileType,
              1);
    const SetCharAttrData attr = Payload<SetCharAttrData>("SetCharAttr \"" + name64 + "\"");
    EXPECT_EQ(+attr.faceNameLength, 64);

    const std::pair<std::string, std::string> tooLong[] = {
        {"SetFillColorByName 3 \"" + std::string(65, 'n') + "\"",
         "1:22: string of 65 bytes does not fit the 64-byte array for field 'name' of "
         "SetFillColorByName"},
        {"DefineLayer \"" + std::string(257, 'L') + "\"", "1:13: string of 257 bytes"},
        {"PathBitmap \"" + std::string(259, 'p') + "\"", "1:12: string of 259 bytes"},
        // An escape counts as the one byte it stands for.
        {"SetGradientDef 1 \"" + std::string(63, 'g') + "\\x41\\101\"", "1:18: string of 65 bytes"},
    };
    for (const auto& [line, message] : tooLong)
        EXPECT_EQ(ParseError(line).substr(0, message.size()), message);
}

TEST(RecordScript, ReportsErrorsWhereTheyAre)
{
    const char* const cases[][2] = {
        {"MoveTo 1 x", "1:10: expected a real number, got 'x' for field 'y' of MoveTo"},
        {"MoveTo 1 1.5.2", "1:10: expected a real number"},
        {"MoveTo 1e999", "1:8: real '1e999' is out of range for field 'x' of MoveTo"},
        {"MoveTo -100000e305", "1:8: real '-100000e305' is out of range"},
        {"MoveTo infinity", "1:8: expected a real number"},
        {"MoveTo \"1\"", "1:8: expected a real number for field 'x' of MoveTo"},
        {"SetFillType 65536", "1:13: '65536' is out of range (an integer 0..65535)"},
        {"SetFillType -1", "1:13: '-1' is out of range"},
        {"SetFillType 1.5", "1:13: expected an integer 0..65535, got '1.5'"},
        {"SetStroke 99999999999999999999999", "1:11: '99999999999999999999999' is out of range"},
        {"SetFillColorByName 1 Blue", "1:22: expected a string in double quotes"},
        {"Bitmap 0 0 \"00\"", "1:12: expected byte data in <...>"},
        {"\n\nmoveto 1 2", "3:1: unknown record 'moveto' (did you mean 'MoveTo'?)"},
        {"  \"MoveTo\" 1 2", "1:3: expected a record name or opcode"},
        {"65536", "1:1: opcode '65536' is not a number 0..65535"},
        {"40 1", "1:4: too many fields: opcode 40 takes none"},
        {"MoveTo 1 2 3", "1:12: too many fields: MoveTo takes 2 (x y)"},
        {"MoveTo 1 null", "1:10: null must be the only field"},
        {"Text \"abc\\", "1:10: unterminated string"},
        {"Text \"a\\q\"", "1:8: unknown escape \\q"},
        {"Text \"a\\x4\"", "1:8: \\x needs two hex digits"},
        {"Text \"\\400\"", "1:7: octal escape above \\377"},
        {"Text \"a\"b", "1:9: expected a blank after the string"},
        {"Bitmap 0 0 <0G>", "1:14: invalid character 'G' in byte data"},
        {"Bitmap 0 0 <001>", "1:15: odd number of hex digits"},
        {"Bitmap 0 0 <00", "1:12: unterminated byte data"},
        {"MoveTo \x01", "1:8: expected a real number, got '\\x01'"},
        {"@file \"a/b\" <00>", "1:7: @file needs a plain file name"},
        {"@file \"a\" <00> 1", "1:16: @file takes a name and byte data only"},
        // Too few bytes for the rows would let the filter read past the block.
        {"BeginBitmap 3 2 3\nBitmap 0 1 <000102 0304>",
         "2:12: Bitmap rows 0 to 1 need 6 bytes (2 rows of the 3 bytesPerRow of the last "
         "BeginBitmap); 5 given"},
        {"BeginBitmap 1 1 2\nBitmap 3 0 <0000 0000 0000>", "2:12: Bitmap rows 3 to 0 need 8 bytes"},
        {"BeginBitmap 1 1 1\nBitmap", "2:1: Bitmap rows 0 to 0 need 1 bytes"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseError(c[0]).substr(0, std::strlen(c[1])), c[1]) << c[0];
}
