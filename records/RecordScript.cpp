// Record-script reader: lines to records with payload bytes, handed on one
// by one, or the first error with its line and column.
#include "RecordScript.h"

#include <cstring>
#include <new>

#include "RecordTable.h"
#include "ScriptValues.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

namespace recordscript {
namespace {

// One string or byte block may not exceed this.
constexpr std::size_t kMaxBlockBytes = 16u << 20;
// Nor may ${OUTDIR} add more than this to a whole script: each expansion
// stays within its string, and without a total a short script of many
// ${OUTDIR} would hold far more than its text.
constexpr std::size_t kMaxOutDirBytes = 16u << 20;

enum class TokenKind { kBare, kString, kBytes };

struct Token {
    TokenKind kind = TokenKind::kBare;
    std::size_t start = 0;  // byte offset in the line
    std::string_view bare;
    std::vector<unsigned char> bytes;
};

template <class T>
void Put(std::vector<unsigned char>& payload, std::size_t offset, T value)
{
    std::memcpy(payload.data() + offset, &value, sizeof value);
}

}  // namespace

class ScriptReader::Parser {
public:
    Parser(const ParseOptions& options, ScriptHandler& handler) : options(options), handler(handler)
    {
    }

    bool ParseLine(std::string_view text, std::uint32_t lineNumber);
    bool Finish(std::uint32_t lastLine);

private:
    bool Fail(std::size_t offset, std::string message)
    {
        error.line = lineNumber;
        error.column = static_cast<std::uint32_t>(offset + 1);
        error.message = std::move(message);
        return false;
    }
    void SkipBlanks()
    {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return pos == line.size() || line[pos] == '#';
    }
    bool NextToken(Token& token);
    bool ScanString(Token& token);
    bool ScanBytes(Token& token);
    bool ParseDirective();
    bool ParseRecord();
    bool SetField(const RecordLayout& layout, const FieldLayout& field, Token& token,
                  Record& record);

public:
    const ParseOptions& options;
    ScriptHandler& handler;
    Diagnostic error;
    bool failed = false;
    std::uint32_t lines = 0;  // read so far

private:
    std::string_view line;
    std::size_t pos = 0;
    std::uint32_t lineNumber = 0;
    bool drawingSeen = false;
    std::size_t outDirBytes = 0;  // what ${OUTDIR} has added so far
    RowLayout rows;
};

bool ScriptReader::Parser::NextToken(Token& token)
{
    token.start = pos;
    token.bytes.clear();
    if (line[pos] == '"')
        return ScanString(token);
    if (line[pos] == '<')
        return ScanBytes(token);
    token.kind = TokenKind::kBare;
    const std::size_t start = pos;
    while (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '#')
        ++pos;
    token.bare = line.substr(start, pos - start);
    return true;
}

bool ScriptReader::Parser::ScanString(Token& token)
{
    token.kind = TokenKind::kString;
    static constexpr std::string_view kOutDir = "${OUTDIR}";
    std::vector<unsigned char>& bytes = token.bytes;
    ++pos;
    for (;;) {
        if (pos >= line.size())
            return Fail(token.start, "unterminated string");
        if (bytes.size() > kMaxBlockBytes)
            return Fail(token.start, "string longer than 16 MiB");
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            break;
        }
        if (c == '$' && line.substr(pos, kOutDir.size()) == kOutDir) {
            outDirBytes += options.outDir.size();
            if (outDirBytes > kMaxOutDirBytes)
                return Fail(pos, "${OUTDIR} adds more than 16 MiB to the script in all");
            bytes.insert(bytes.end(), options.outDir.begin(), options.outDir.end());
            pos += kOutDir.size();
            continue;
        }
        if (c != '\\') {
            bytes.push_back(static_cast<unsigned char>(c));
            ++pos;
            continue;
        }
        const std::size_t escape = pos++;
        if (pos >= line.size())
            return Fail(escape, "unterminated string");
        const char e = line[pos++];
        switch (e) {
        case '\\': bytes.push_back('\\'); break;
        case '"': bytes.push_back('"'); break;
        case 'n': bytes.push_back('\n'); break;
        case 'r': bytes.push_back('\r'); break;
        case 't': bytes.push_back('\t'); break;
        case 'x': {
            const int hi = pos < line.size() ? HexValue(line[pos]) : -1;
            const int lo = pos + 1 < line.size() ? HexValue(line[pos + 1]) : -1;
            if (hi < 0 || lo < 0)
                return Fail(escape, "\\x needs two hex digits");
            bytes.push_back(static_cast<unsigned char>(hi * 16 + lo));
            pos += 2;
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned value = static_cast<unsigned>(e - '0');
                for (int n = 1; n < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7';
                     ++n)
                    value = value * 8 + static_cast<unsigned>(line[pos++] - '0');
                if (value > 255)
                    return Fail(escape, "octal escape above \\377");
                bytes.push_back(static_cast<unsigned char>(value));
                break;
            }
            return Fail(escape, "unknown escape \\" + Shown(e) +
                                    " (use \\\\ \\\" \\n \\r \\t \\xHH or \\NNN)");
        }
    }
    if (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '#')
        return Fail(pos, "expected a blank after the string");
    return true;
}

bool ScriptReader::Parser::ScanBytes(Token& token)
{
    token.kind = TokenKind::kBytes;
    ++pos;
    int high = -1;
    std::size_t highAt = 0;
    for (;;) {
        if (pos >= line.size())
            return Fail(token.start, "unterminated byte data (missing '>')");
        const char c = line[pos];
        if (c == '>') {
            if (high >= 0)
                return Fail(highAt, "odd number of hex digits in byte data");
            ++pos;
            break;
        }
        if (IsBlank(c)) {
            ++pos;
            continue;
        }
        const int h = HexValue(c);
        if (h < 0)
            return Fail(pos, "invalid character '" + Shown(c) + "' in byte data");
        if (high < 0) {
            high = h;
            highAt = pos;
        } else {
            if (token.bytes.size() >= kMaxBlockBytes)
                return Fail(token.start, "byte data longer than 16 MiB");
            token.bytes.push_back(static_cast<unsigned char>(high * 16 + h));
            high = -1;
        }
        ++pos;
    }
    if (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '#')
        return Fail(pos, "expected a blank after the byte data");
    return true;
}

bool ScriptReader::Parser::ParseLine(std::string_view text, std::uint32_t number)
{
    line = text;
    pos = 0;
    lineNumber = number;
    if (AtEnd())
        return true;
    if (line[pos] == '@')
        return ParseDirective();
    return ParseRecord();
}

bool ScriptReader::Parser::ParseDirective()
{
    Token name;
    NextToken(name);
    if (name.bare == "@drawing") {
        if (!options.sampleFragment)
            return Fail(name.start, "@drawing belongs only in the built-in sample's fragments");
        if (drawingSeen)
            return Fail(name.start, "second @drawing line");
        drawingSeen = true;
        if (!AtEnd())
            return Fail(pos, "@drawing takes no fields");
        handler.OnDrawing();
        return true;
    }
    if (name.bare != "@file")
        return Fail(name.start,
                    "unknown directive " + Quoted(name.bare) + " (there are @file and @drawing)");

    FileDirective file;
    file.line = lineNumber;
    Token token;
    if (AtEnd())
        return Fail(pos, "@file needs a file name in double quotes");
    if (!NextToken(token))
        return false;
    if (token.kind != TokenKind::kString)
        return Fail(token.start, "@file needs a file name in double quotes");
    file.name.assign(token.bytes.begin(), token.bytes.end());
    // The file lands beside the output: a plain name, never a path.
    if (file.name.empty() || file.name == "." || file.name == ".." ||
        file.name.find_first_of(std::string("/\0", 2)) != std::string::npos ||
        file.name.size() > 255)
        return Fail(token.start, "@file needs a plain file name (no '/', not '.' or '..')");
    if (AtEnd())
        return Fail(pos, "@file needs its bytes as <hex digits>");
    if (!NextToken(token))
        return false;
    if (token.kind != TokenKind::kBytes)
        return Fail(token.start, "@file needs its bytes as <hex digits>");
    file.bytes = std::move(token.bytes);
    if (!AtEnd())
        return Fail(pos, "@file takes a name and byte data only");
    handler.OnFile(file);
    return true;
}

bool ScriptReader::Parser::ParseRecord()
{
    if (line[pos] == '"' || line[pos] == '<')
        return Fail(pos, "expected a record name or opcode");
    Token head;
    NextToken(head);
    const std::string_view name = head.bare;
    const RecordLayout* layout = nullptr;
    Record record;
    record.line = lineNumber;
    if (IsDigit(name[0])) {
        long long opcode = 0;
        if (ParseInteger(name, RangeOf(FieldKind::kU16), opcode) != NumberResult::kOk)
            return Fail(head.start, "opcode " + Quoted(name) + " is not a number 0..65535");
        record.opcode = static_cast<std::uint16_t>(opcode);
        layout = FindRecordByOpcode(record.opcode);
    } else {
        layout = FindRecordByName(name);
        if (layout == nullptr) {
            std::string message = "unknown record " + Quoted(name);
            if (const RecordLayout* near = FindRecordIgnoringCase(name))
                message += std::string(" (did you mean '") + near->name + "'?)";
            return Fail(head.start, message);
        }
        record.opcode = layout->opcode;
    }

    if (layout == nullptr || layout->payload == PayloadKind::kZeroed)
        record.zeroedPayload = true;
    else if (layout->payload == PayloadKind::kCString)
        record.payload.assign(1, 0);
    else
        record.payload.assign(layout->size, 0);
    if (layout != nullptr) {
        for (std::size_t i = 0; i < layout->fieldCount; ++i) {
            const FieldLayout& field = layout->fields[i];
            if (field.kind == FieldKind::kText || field.kind == FieldKind::kBytes) {
                record.data.assign(1, 0);  // never a null pointer, even for no bytes
                record.pointerOffset = field.offset;
            }
        }
    }

    const std::size_t fieldCount = layout != nullptr ? layout->fieldCount : 0;
    const std::string recordName = layout != nullptr ? layout->name : "opcode " + std::string(name);
    std::size_t index = 0;
    while (!AtEnd()) {
        Token token;
        if (!NextToken(token))
            return false;
        if (token.kind == TokenKind::kBare && token.bare == "null") {
            if (index != 0 || !AtEnd())
                return Fail(token.start, "null must be the only field");
            record.nullPayload = true;
            break;
        }
        if (index >= fieldCount) {
            std::string message = "too many fields: " + recordName + " takes ";
            if (fieldCount == 0)
                return Fail(token.start, message + "none");
            message += std::to_string(fieldCount) + " (";
            for (std::size_t i = 0; i < fieldCount; ++i)
                message += (i ? " " : "") + std::string(layout->fields[i].name);
            return Fail(token.start, message + ")");
        }
        if (!SetField(*layout, layout->fields[index], token, record))
            return false;
        ++index;
    }
    // The filter reads as many row bytes as the last BeginBitmap's layout
    // says; a record that gives fewer is refused here, where it is.
    void* payload = record.Bind();
    const std::size_t size = PayloadSize(record);
    std::string shortfall;
    if (record.opcode == aiop::kBitmap && payload != nullptr &&
        !rows.Check(payload, size, GivenRowBytes(record), shortfall))
        return Fail(record.dataColumn != 0 ? record.dataColumn - 1 : 0, shortfall);
    rows.Note(record.opcode, payload, size);
    handler.OnRecord(record);
    return true;
}

bool ScriptReader::Parser::SetField(const RecordLayout& layout, const FieldLayout& field,
                                    Token& token, Record& record)
{
    const std::string where = std::string(" for field '") + field.name + "' of " + layout.name;
    const bool wantsString = field.kind == FieldKind::kChars ||
                             field.kind == FieldKind::kCountedChars ||
                             field.kind == FieldKind::kText;
    const bool wantsBytes = field.kind == FieldKind::kBytes;
    const TokenKind expected = wantsString  ? TokenKind::kString
                               : wantsBytes ? TokenKind::kBytes
                                            : TokenKind::kBare;
    if (token.kind != expected)
        return Fail(token.start, std::string("expected ") + KindName(field.kind) + where);

    std::vector<unsigned char>& payload = record.payload;
    switch (field.kind) {
    case FieldKind::kF64: {
        double value = 0.0;
        const NumberResult r = ParseReal(token.bare, value);
        if (r == NumberResult::kOutOfRange)
            return Fail(token.start, "real " + Quoted(token.bare) + " is out of range" + where);
        if (r != NumberResult::kOk)
            return Fail(token.start, "expected a real number, got " + Quoted(token.bare) + where);
        Put(payload, field.offset, value);
        return true;
    }
    case FieldKind::kChars:
    case FieldKind::kCountedChars: {
        const std::vector<unsigned char>& bytes = token.bytes;
        if (field.size == 0) {  // the payload is the string
            payload = bytes;
            payload.push_back(0);
            return true;
        }
        if (bytes.size() > field.size)
            return Fail(token.start, "string of " + std::to_string(bytes.size()) +
                                         " bytes does not fit the " + std::to_string(field.size) +
                                         "-byte array" + where);
        // A string as long as the array goes without terminator, as a
        // careless host would send it.
        if (!bytes.empty())
            std::memcpy(payload.data() + field.offset, bytes.data(), bytes.size());
        if (field.kind == FieldKind::kCountedChars)
            Put(payload, field.aux, static_cast<std::uint16_t>(bytes.size()));
        return true;
    }
    case FieldKind::kText:
        record.data = token.bytes;
        record.data.push_back(0);
        Put(payload, field.aux, static_cast<std::uint32_t>(token.bytes.size()));
        return true;
    case FieldKind::kBytes:
        record.data = token.bytes;
        record.data.push_back(0);
        record.dataColumn = static_cast<std::uint32_t>(token.start + 1);
        return true;
    default: break;
    }

    const Range range = RangeOf(field.kind);
    long long value = 0;
    const NumberResult r = ParseInteger(token.bare, range, value);
    if (r == NumberResult::kOutOfRange)
        return Fail(token.start,
                    Quoted(token.bare) + " is out of range (" + KindName(field.kind) + ")" + where);
    if (r != NumberResult::kOk)
        return Fail(token.start, "expected " + std::string(KindName(field.kind)) + ", got " +
                                     Quoted(token.bare) + where);
    switch (field.kind) {
    case FieldKind::kU8: Put(payload, field.offset, static_cast<std::uint8_t>(value)); break;
    case FieldKind::kU16: Put(payload, field.offset, static_cast<std::uint16_t>(value)); break;
    case FieldKind::kI16: Put(payload, field.offset, static_cast<std::int16_t>(value)); break;
    case FieldKind::kU32: Put(payload, field.offset, static_cast<std::uint32_t>(value)); break;
    case FieldKind::kI32: Put(payload, field.offset, static_cast<std::int32_t>(value)); break;
    default: break;
    }
    return true;
}

bool ScriptReader::Parser::Finish(std::uint32_t lastLine)
{
    if (options.sampleFragment && !drawingSeen) {
        error.line = lastLine;
        error.column = 1;
        error.message =
            "a sample fragment needs a line @drawing between its definitions and its drawing";
        return false;
    }
    return true;
}

ScriptReader::ScriptReader(const ParseOptions& options, ScriptHandler& handler)
    : parser(std::make_unique<Parser>(options, handler))
{
}

ScriptReader::~ScriptReader() = default;

const Diagnostic& ScriptReader::Error() const { return parser->error; }

bool ScriptReader::Line(std::string_view text)
{
    if (parser->failed)
        return false;
    // A byte-order mark before the first line is no part of it.
    if (parser->lines == 0 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    ++parser->lines;
    try {
        parser->failed = !parser->ParseLine(text, parser->lines);
    } catch (const std::bad_alloc&) {
        parser->error = Diagnostic{parser->lines, 1, "out of memory"};
        parser->failed = true;
    }
    return !parser->failed;
}

bool ScriptReader::Finish()
{
    if (parser->failed)
        return false;
    // An empty text is one empty line, as an editor shows it.
    parser->failed = !parser->Finish(parser->lines == 0 ? 1 : parser->lines);
    return !parser->failed;
}

bool ReadText(std::string_view text, ScriptReader& reader)
{
    for (;;) {
        const std::size_t end = text.find('\n');
        if (!reader.Line(text.substr(0, end)))
            return false;
        if (end == std::string_view::npos)
            return reader.Finish();
        text.remove_prefix(end + 1);
        if (text.empty())
            return reader.Finish();
    }
}

namespace {

class ListHandler : public ScriptHandler {
public:
    explicit ListHandler(ParsedScript& out) : out(out) {}
    void OnRecord(Record& record) override { out.records.push_back(std::move(record)); }
    void OnFile(FileDirective& file) override { out.files.push_back(std::move(file)); }
    void OnDrawing() override { out.drawingStart = out.records.size(); }

private:
    ParsedScript& out;
};

}  // namespace

bool ParseScript(std::string_view text, const ParseOptions& options, ParsedScript& out,
                 Diagnostic& error)
{
    out = ParsedScript{};
    error = Diagnostic{};
    try {
        ListHandler handler(out);
        ScriptReader reader(options, handler);
        if (ReadText(text, reader))
            return true;
        error = reader.Error();
        return false;
    } catch (const std::bad_alloc&) {
        error.message = "out of memory";
        return false;
    }
}

}  // namespace recordscript
