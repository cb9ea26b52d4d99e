// Record-script parser: text to records with payload bytes, or the first
// error with its line and column.
#include "RecordScript.h"

#include <cstring>
#include <new>

#include "RecordTable.h"
#include "ScriptValues.h"

namespace recordscript {
namespace {

// One string or byte block may not exceed this, so ${OUTDIR} expansion cannot
// blow a small script up without bound.
constexpr std::size_t kMaxBlockBytes = 16u << 20;

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

class Parser {
public:
    Parser(const ParseOptions& options, ParsedScript& out, Diagnostic& error)
        : options(options), out(out), error(error)
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

    const ParseOptions& options;
    ParsedScript& out;
    Diagnostic& error;
    std::string_view line;
    std::size_t pos = 0;
    std::uint32_t lineNumber = 0;
    bool drawingSeen = false;
};

bool Parser::NextToken(Token& token)
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

bool Parser::ScanString(Token& token)
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

bool Parser::ScanBytes(Token& token)
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

bool Parser::ParseLine(std::string_view text, std::uint32_t number)
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

bool Parser::ParseDirective()
{
    Token name;
    NextToken(name);
    if (name.bare == "@drawing") {
        if (!options.sampleFragment)
            return Fail(name.start, "@drawing belongs only in the built-in sample's fragments");
        if (drawingSeen)
            return Fail(name.start, "second @drawing line");
        drawingSeen = true;
        out.drawingStart = out.records.size();
        if (!AtEnd())
            return Fail(pos, "@drawing takes no fields");
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
    out.files.push_back(std::move(file));
    return true;
}

bool Parser::ParseRecord()
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
    out.records.push_back(std::move(record));
    return true;
}

bool Parser::SetField(const RecordLayout& layout, const FieldLayout& field, Token& token,
                      Record& record)
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

bool Parser::Finish(std::uint32_t lastLine)
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

}  // namespace

bool ParseScript(std::string_view text, const ParseOptions& options, ParsedScript& out,
                 Diagnostic& error)
{
    out = ParsedScript{};
    error = Diagnostic{};
    try {
        Parser parser(options, out, error);
        if (text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        std::uint32_t number = 0;
        while (!text.empty() || number == 0) {
            const std::size_t end = text.find('\n');
            const std::string_view line = text.substr(0, end);
            ++number;
            if (!parser.ParseLine(line, number))
                return false;
            if (end == std::string_view::npos)
                break;
            text.remove_prefix(end + 1);
        }
        if (!parser.Finish(number))
            return false;
        std::size_t bad = 0;
        if (!CheckRowData(out.records, bad, error.message)) {
            error.line = out.records[bad].line;
            error.column = out.records[bad].dataColumn != 0 ? out.records[bad].dataColumn : 1;
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        error.message = "out of memory";
        return false;
    }
}

}  // namespace recordscript
