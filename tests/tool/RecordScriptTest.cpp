// The record-script reader: value forms, exact-length strings, errors and their
// positions, reading record by record; typed records to the module, a script or a list.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "RecordScript.h"
#include "RecordSink.h"
#include "ScriptPrinter.h"
#include "host/AHostExportFilter.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"
#include "support/Files.h"

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

namespace {

// Counts what the reader hands on, and when.
class Counter : public ScriptHandler {
public:
    void OnRecord(Record& record) override { opcodes.push_back(record.opcode); }
    void OnFile(FileDirective& file) override { files.push_back(file.name); }
    std::vector<std::uint16_t> opcodes;
    std::vector<std::string> files;
};

// The payload with its pointer field cleared, which differs between copies.
std::vector<unsigned char> Unbound(const Record& r)
{
    std::vector<unsigned char> bytes = r.payload;
    if (r.pointerOffset != kNoPointer && r.pointerOffset + sizeof(void*) <= bytes.size())
        std::fill_n(bytes.begin() + static_cast<long>(r.pointerOffset), sizeof(void*), 0);
    return bytes;
}

void ExpectSameRecords(const std::vector<Record>& a, const std::vector<Record>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].opcode, b[i].opcode) << i;
        EXPECT_EQ(a[i].nullPayload, b[i].nullPayload) << i;
        EXPECT_EQ(a[i].zeroedPayload, b[i].zeroedPayload) << i;
        if (!a[i].nullPayload) {
            EXPECT_EQ(Unbound(a[i]), Unbound(b[i])) << i;
        }
        EXPECT_EQ(a[i].data, b[i].data) << i;
    }
}

std::string Print(std::vector<Record>& records)
{
    ScriptPrinter printer;
    for (Record& r : records)
        EXPECT_TRUE(printer.Write(r.opcode, r.Bind(), PayloadSize(r))) << r.line;
    return printer.text;
}

}  // namespace

TEST(RecordScript, HandsEachRecordOnAsItsLineIsRead)
{
    ParseOptions options;
    Counter counter;
    ScriptReader reader(options, counter);
    EXPECT_TRUE(reader.Line("\xEF\xBB\xBF"
                            "BeginPicture 0 0 8.5 11"));
    EXPECT_EQ(counter.opcodes, std::vector<std::uint16_t>{aiop::kBeginPicture});
    EXPECT_TRUE(reader.Line("@file \"a.bin\" <00>"));
    EXPECT_EQ(counter.files, std::vector<std::string>{"a.bin"});
    EXPECT_TRUE(reader.Line("BeginBitmap 2 1 2 8 0  # rows of two bytes"));
    EXPECT_TRUE(reader.Line("Bitmap 0 0 <0102>"));
    EXPECT_EQ(counter.opcodes.size(), 3u);
    // Row data is checked against the layout as each record arrives.
    EXPECT_FALSE(reader.Line("Bitmap 0 1 <0102>"));
    EXPECT_EQ(reader.Error().line, 5u);
    EXPECT_EQ(reader.Error().column, 12u);
    // Nothing more is taken once a line failed.
    EXPECT_FALSE(reader.Line("EndPicture"));
    EXPECT_FALSE(reader.Finish());
    EXPECT_EQ(counter.opcodes.size(), 3u);
}

// The total that ${OUTDIR} adds to a script is bounded, not only each string.
TEST(RecordScript, OutDirExpansionIsBoundedOverTheWholeScript)
{
    const std::string outDir(2600, 'd');
    std::string line = "Text \"";
    for (int i = 0; i < 100; ++i)
        line += "${OUTDIR}";
    line += "\"\n";
    // 65 lines of 100 expansions add 16.9 MB to 59 KB of text.
    std::string text;
    for (int i = 0; i < 65; ++i)
        text += line;
    ParsedScript script;
    Diagnostic error;
    ParseOptions options;
    options.outDir = outDir;
    EXPECT_FALSE(ParseScript(text, options, script, error));
    EXPECT_EQ(error.message, "${OUTDIR} adds more than 16 MiB to the script in all");
    EXPECT_EQ(error.line, 65u);
    // The same script within the bound: all of it read, every expansion made.
    text.resize(line.size() * 60);
    ASSERT_TRUE(ParseScript(text, options, script, error)) << error.message;
    std::size_t held = 0;
    for (const Record& r : script.records)
        held += r.data.size();
    EXPECT_EQ(held, 60u * (100 * outDir.size() + 1));
}

TEST(RecordScript, FilesAreReadLineByLineAndAgainFromTheStart)
{
    TempDir dir;
    // A line longer than a read block, CRLF line ends, no newline at the end.
    const std::string text = "BeginPicture 0 0 8.5 11\r\nText \"" + std::string(200000, 'x') +
                             "\"\r\n\r\nBeginDrawingSection 8.5 11\r\nEndPicture";
    WriteFile(dir.File("s.records"), text);
    FileSource source;
    std::string error;
    ASSERT_TRUE(source.Open(dir.File("s.records"), error)) << error;
    const ParsedScript whole = Parse(text);
    for (int pass = 0; pass < 2; ++pass) {
        RecordList list;
        Diagnostic diagnostic;
        ASSERT_TRUE(SendScript(source, "/out", list, nullptr, diagnostic, error))
            << diagnostic.message;
        ExpectSameRecords(list.records, whole.records);
    }
    std::vector<FileDirective> files;
    Diagnostic diagnostic;
    WriteFile(dir.File("bad.records"), "@file \"f\" <00>\nBeginPicture\nMoveTo 1 x");
    FileSource bad;
    ASSERT_TRUE(bad.Open(dir.File("bad.records"), error));
    EXPECT_FALSE(CheckScript(bad, "/out", files, diagnostic, error));
    EXPECT_EQ(diagnostic.line, 3u);
    EXPECT_EQ(diagnostic.column, 10u);
    EXPECT_EQ(error, "");
}

// A script that fails on the way ends no picture: EndPicture and what follows
// it are sent only once the script has been read to its end.
TEST(RecordScript, AScriptThatFailsOnTheWayEndsNoPicture)
{
    TextSource source("BeginPicture 0 0 1 1\nBeginDrawingSection 1 1\nEndPicture\nMoveTo 1 x\n");
    RecordList list;
    Diagnostic diagnostic;
    std::string readError;
    EXPECT_FALSE(SendScript(source, "/out", list, nullptr, diagnostic, readError));
    ASSERT_EQ(list.records.size(), 2u);
    EXPECT_EQ(list.records[1].opcode, aiop::kBeginDrawingSection);
    EXPECT_EQ(diagnostic.line, 4u);
}

namespace {

// A filter that keeps every payload it is given, as bytes.
class RecordingFilter : public AHostExportFilter {
public:
    char* getFilterDescriptor() override { return nullptr; }
    int writeData(unsigned short opcode, void* payload) override
    {
        std::size_t size = 0;
        if (opcode == aiop::kMoveTo)
            size = sizeof(MoveToData);
        else if (opcode == aiop::kBeginLayer)
            size = std::strlen(static_cast<char*>(payload)) + 1;
        else if (payload != nullptr)
            size = kZeroedPayloadSize;
        const auto* bytes = static_cast<unsigned char*>(payload);
        seen.push_back({opcode, std::vector<unsigned char>(bytes, bytes + size)});
        // Writing into the block must not reach the caller's structure.
        if (payload != nullptr)
            std::memset(payload, 0x55, size);
        return opcode != aiop::kEndGroup;
    }
    std::vector<std::pair<unsigned short, std::vector<unsigned char>>> seen;
};

}  // namespace

TEST(RecordSink, TypedCallsReachTheModuleAsWriteDataTakesThem)
{
    RecordingFilter filter;
    ModuleSink sink(filter);
    const MoveToData move{1.5, -2};
    EXPECT_TRUE(sink.MoveTo(move));
    EXPECT_TRUE(sink.BeginLayer("Top"));
    EXPECT_TRUE(sink.BeginPath());
    EXPECT_FALSE(sink.EndGroup());  // the filter's result comes back
    EXPECT_TRUE(sink.Write(aiop::kEndPath, nullptr, 0));
    ASSERT_EQ(filter.seen.size(), 5u);
    EXPECT_EQ(+move.x, 1.5);
    MoveToData sent{};
    std::memcpy(&sent, filter.seen[0].second.data(), sizeof sent);
    EXPECT_EQ(+sent.y, -2.0);
    EXPECT_EQ(filter.seen[1].second, (std::vector<unsigned char>{'T', 'o', 'p', 0}));
    // Records without a payload get a zeroed block, every time.
    EXPECT_EQ(filter.seen[2].second, std::vector<unsigned char>(kZeroedPayloadSize, 0));
    EXPECT_EQ(filter.seen[3].second, std::vector<unsigned char>(kZeroedPayloadSize, 0));
    EXPECT_EQ(static_cast<const unsigned char*>(ZeroedPayload())[0], 0);
    EXPECT_TRUE(filter.seen[4].second.empty());
}

// Typed calls give the records the reader gives for the same script, in a
// list and as printed text.
TEST(RecordSink, TypedRecordsAreTheRecordsOfTheirScript)
{
    const std::string script = "BeginPicture 0 0 8.5 11\n"
                               "BeginLayer \"Top\"\n"
                               "SetFillType 5\n"
                               "SetStroke 5\n"
                               "SetFillColorByValue 0 255 0 128\n"
                               "SetGradientRGN 100 50 0 255 255 255\n"
                               "SetPatternDef 1 \"Tile\" 2 3\n"
                               "SetCharAttr \"Helvetica\" \"Bold\" 0 0 1 12 1 1 0 0 0 1\n"
                               "Text \"a\\\"b\\\\c \\x24{OUTDIR} \\xE9\\x00\"\n"
                               "BeginBitmap 2 2 6 8 3\n"
                               "Bitmap 0 1 <000102030405060708090A0B>\n"
                               "MoveTo null\n"
                               "40\n"
                               "EndPicture\n";
    RecordList list;
    BeginPictureData picture{};
    picture.width = 8.5;
    picture.height = 11;
    list.BeginPicture(picture);
    list.BeginLayer("Top");
    list.SetFillType(5);
    SetStrokeData stroke{};
    stroke.style = 5;
    list.SetStroke(stroke);
    SetColorByValueData color{};
    color.red = 255;
    color.blue = 128;
    list.SetFillColorByValue(color);
    SetGradientRGNData stop{};
    stop.location = 100;
    stop.midpoint = 50;
    stop.stopColor.color.red = stop.stopColor.color.green = stop.stopColor.color.blue = 255;
    list.SetGradientRGN(stop);
    SetPatternDefData tile{};
    tile.tag = 1;
    std::memcpy(tile.name, "Tile", 4);
    tile.tileWidth = 2;
    tile.tileHeight = 3;
    list.SetPatternDef(tile);
    SetCharAttrData attr{};
    attr.faceNameLength = 9;
    std::memcpy(attr.faceName, "Helvetica", 9);
    attr.styleNameLength = 4;
    std::memcpy(attr.styleName, "Bold", 4);
    attr.kernClass = 1;
    attr.fontSize = 12;
    attr.sizeIsEm = 1;
    attr.horizontalScale = 1;
    attr.attributeValueD = 1;
    list.SetCharAttr(attr);
    char chars[] = "a\"b\\c ${OUTDIR} \xE9";
    list.Text(_TextData{chars, 0, sizeof chars});  // the terminator counted in
    BeginBitmapData image{};
    image.width = 2;
    image.height = 2;
    image.bytesPerRow = 6;
    image.bitDepth = 8;
    image.colorModel = 3;
    list.BeginBitmap(image);
    unsigned char rows[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    list.Bitmap(BitmapData{0, 1, rows});
    list.Write(aiop::kMoveTo, nullptr, 0);
    list.Write(40, ZeroedPayload(), kZeroedPayloadSize);
    list.EndPicture();

    const ParsedScript parsed = Parse(script);
    ExpectSameRecords(list.records, parsed.records);
    ScriptPrinter printer;
    EXPECT_TRUE(list.SendTo(printer));
    EXPECT_EQ(printer.text, script);
}

// The printer writes what the SVG reader writes today: each pinned --records
// output, read and printed again, is the same text.
TEST(RecordSink, PrinterWritesTheSvgReadersScriptsByteForByte)
{
    const std::string dir = AIEXPORT_SOURCE_DIR "/tests/svg";
    DIR* listing = ::opendir(dir.c_str());
    ASSERT_NE(listing, nullptr);
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() > 8 && name.compare(name.size() - 8, 8, ".records") == 0)
            names.push_back(name);
    }
    ::closedir(listing);
    EXPECT_GE(names.size(), 6u);
    for (const std::string& name : names) {
        const std::string text = ReadFile(dir + "/" + name);
        const std::size_t header = text.find('\n') + 1;
        ASSERT_EQ(text.rfind("# Records from ", 0), 0u) << name;
        ParsedScript parsed = Parse(text);
        ScriptPrinter printer;
        printer.Comment(text.substr(2, header - 3));
        for (Record& r : parsed.records)
            ASSERT_TRUE(printer.Write(r.opcode, r.Bind(), PayloadSize(r))) << name << ":" << r.line;
        EXPECT_EQ(printer.text, text) << name;
    }
}

TEST(RecordSink, PrinterRefusesWhatNoScriptHolds)
{
    ScriptPrinter printer;
    EXPECT_FALSE(printer.MoveTo(MoveToData{std::nan(""), 0}));
    EXPECT_FALSE(printer.LineTo(LineToData{0, -HUGE_VAL}));
    EXPECT_FALSE(printer.Text(_TextData{nullptr, 0, 3}));
    EXPECT_EQ(printer.text, "");
    // Rounding dust is 0, and there is no -0.
    EXPECT_TRUE(printer.MoveTo(MoveToData{1e-12, -0.0}));
    EXPECT_EQ(printer.text, "MoveTo 0 0\n");
    printer.text.clear();
    // What a printed real reads back as, for typed records to match their script.
    EXPECT_EQ(AsPrinted(0.1 + 0.2), 0.3);
    EXPECT_EQ(AsPrinted(2.0 / 3), 0.6666666667);
    EXPECT_EQ(AsPrinted(-1e-12), 0.0);
    EXPECT_FALSE(std::signbit(AsPrinted(-1e-12)));
    EXPECT_EQ(AsPrinted(1.7976931348623157e308), 1.7976931348623157e308);
    // The largest reals are written so that they read back.
    EXPECT_TRUE(printer.MoveTo(MoveToData{1.7976931348623157e308, -1.7976931348623157e308}));
    ParsedScript back = Parse(printer.text);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(Print(back.records), printer.text);
}

namespace {

// A real printed to ten digits and read back through text: the long way,
// which the quick one must match for every double.
double PrintedAndRead(double value)
{
    if (!std::isfinite(value))
        return value;
    std::string text;
    AppendReal(text, value);
    double read = 0;
    std::from_chars(text.data() + 1, text.data() + text.size(), read);
    return read;
}

std::uint64_t Bits(double v)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

double FromBits(std::uint64_t bits)
{
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Counts the values, of `values`, whose quick rounding is not bit for bit
// their printed text read back; prints the first few.
template <class Values>
int Mismatches(const Values& values)
{
    int wrong = 0;
    for (double v : values) {
        for (double signed_v : {v, -v}) {
            const double want = PrintedAndRead(signed_v);
            const double got = AsPrinted(signed_v);
            if (Bits(want) != Bits(got) && !(std::isnan(want) && std::isnan(got))) {
                if (++wrong <= 5)
                    ADD_FAILURE() << std::hexfloat << signed_v << ": " << got << " instead of "
                                  << want;
            }
        }
    }
    return wrong;
}

}  // namespace

TEST(RecordSink, AsPrintedIsThePrintedTextReadBackForEveryDouble)
{
    std::mt19937_64 random(21);
    std::vector<double> values;
    // Any bit pattern: every magnitude, subnormals, infinities and NaNs.
    for (int i = 0; i < 300000; ++i)
        values.push_back(FromBits(random()));
    // Magnitudes drawings have, spread evenly over the decades, and the
    // coordinates of a page with a few decimals, as SVG writes them.
    std::uniform_real_distribution<double> decades(-12, 12);
    std::uniform_real_distribution<double> page(0, 5000);
    for (int i = 0; i < 500000; ++i) {
        values.push_back(std::pow(10.0, decades(random)));
        values.push_back(page(random));
        values.push_back(std::round(page(random) * 100) / 100);
        values.push_back(std::round(page(random) * 1000) / 1000 * 0.75);
    }
    // Exact ties at the eleventh digit, which go to the even tenth: an odd
    // X over 2^j is X * 5^j over 10^j, ending in 5.
    for (int j = 0; j <= 15; ++j) {
        double five = std::pow(5.0, j);
        const auto least = static_cast<std::uint64_t>(std::ceil(1e10 / five));
        const auto most = static_cast<std::uint64_t>(1e11 / five);
        if (least >= most)
            continue;
        std::uniform_int_distribution<std::uint64_t> pick(least, most - 1);
        for (int i = 0; i < 20000; ++i) {
            const std::uint64_t x = pick(random) | 1;
            values.push_back(std::ldexp(static_cast<double>(x), -j));
            values.push_back(std::ldexp(static_cast<double>(x), -j - 40));  // below 1e-9
            values.push_back(static_cast<double>(x) * 1e3);                 // above 1e10
        }
    }
    // Each power of ten, the dust bound, a rounding that carries into the
    // next decade, the largest reals and the least: a few ulps either side.
    std::vector<double> edges = {1e-9,
                                 9.9999999995e-10,
                                 1e10,
                                 9999999999.5,
                                 0.99999999995,
                                 1.797693134e308,
                                 1.7976931348623157e308,
                                 4.9e-324,
                                 2.2250738585072014e-308,
                                 0.1 + 0.2,
                                 2.0 / 3};
    for (int p = -30; p <= 30; ++p) {
        edges.push_back(std::pow(10.0, p));
        edges.push_back(std::pow(10.0, p) * (1 - 5e-11));
    }
    for (double edge : edges) {
        double below = edge;
        double above = edge;
        for (int i = 0; i < 64; ++i) {
            values.push_back(below);
            values.push_back(above);
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, HUGE_VAL);
        }
    }
    values.push_back(0.0);
    EXPECT_EQ(Mismatches(values), 0) << "of " << 2 * values.size() << " values";
    // Dust below 1e-9 reads back as +0, not -0.
    EXPECT_FALSE(std::signbit(AsPrinted(-5e-10)));
    EXPECT_EQ(AsPrinted(-0.0), 0.0);
    EXPECT_FALSE(std::signbit(AsPrinted(-0.0)));
}
