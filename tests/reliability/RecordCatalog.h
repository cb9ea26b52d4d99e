// Every record a host can send, with the shape of its payload, and the checks
// a finished document must pass; shared by the hostile-host tests and the fuzzers.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "RecordTable.h"

namespace reliability {

enum class PayloadShape {
    kIgnored,  // the filter does not read it: a zeroed block is sent
    kFixed,    // a structure of `size` bytes, names in fixed arrays
    kText,     // _TextData pointing at NUL-terminated characters
    kCString,  // the payload itself is a NUL-terminated string
    kBitmap,   // BitmapData pointing at rows of the current image
};

struct RecordShape {
    unsigned short opcode;
    PayloadShape shape;
    std::size_t size;                // bytes of the payload structure
    std::vector<std::size_t> reals;  // offsets of the doubles the filter reads
};

// Opcodes the filter knows nothing of; they must be accepted and ignored.
constexpr unsigned short kUnknownOpcodes[] = {0, 40, 41, 1290, 1297, 1301, 2056, 65535};

// A zeroed block for records whose payload is not read; larger than any
// structure the host could mean by it.
constexpr std::size_t kIgnoredPayloadSize = recordscript::kZeroedPayloadSize;

// In opcode order, shaped by the record table the replay tool reads scripts with.
inline const std::vector<RecordShape>& Catalog()
{
    using recordscript::FieldKind;
    using recordscript::PayloadKind;
    static const std::vector<RecordShape> records = [] {
        std::vector<RecordShape> shapes;
        for (auto r = recordscript::RecordTableBegin(); r != recordscript::RecordTableEnd(); ++r) {
            RecordShape shape{r->opcode, PayloadShape::kIgnored, 0, {}};
            if (r->payload == PayloadKind::kCString)
                shape.shape = PayloadShape::kCString;
            if (r->payload == PayloadKind::kStruct) {
                shape.shape = PayloadShape::kFixed;
                shape.size = r->size;
            }
            for (auto field = r->fields; field != r->fields + r->fieldCount; ++field) {
                if (field->kind == FieldKind::kF64)
                    shape.reals.push_back(field->offset);
                if (field->kind == FieldKind::kText)
                    shape.shape = PayloadShape::kText;
                if (field->kind == FieldKind::kBytes)
                    shape.shape = PayloadShape::kBitmap;
            }
            shapes.push_back(shape);
        }
        return shapes;
    }();
    return records;
}

// Breaks every "nan" and "inf" (any case) in host bytes, so that such a word
// in a finished document can only come from formatting a number.
inline void BreakNonFiniteWords(unsigned char* bytes, std::size_t size)
{
    for (std::size_t i = 0; i + 3 <= size; ++i) {
        char w[4] = {static_cast<char>(std::tolower(bytes[i])),
                     static_cast<char>(std::tolower(bytes[i + 1])),
                     static_cast<char>(std::tolower(bytes[i + 2])), '\0'};
        if (std::strcmp(w, "nan") == 0 || std::strcmp(w, "inf") == 0)
            bytes[i + 2] = '_';
    }
}

// Is this word a printed non-finite number ("nan", "-nan", "inf", "Infinity"...)?
inline bool IsNonFiniteWord(const std::string& word)
{
    std::string w;
    for (char c : word)
        w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!w.empty() && (w[0] == '-' || w[0] == '+'))
        w.erase(0, 1);
    return w == "nan" || w == "inf" || w == "infinity";
}

// A finished document: its first line, its last line, and no number that is
// not finite. Returns "" when sound, else what is wrong.
inline std::string DocumentFault(const std::string& text)
{
    static const char kFirst[] = "%!PS-Adobe-3.0";
    static const char kLast[] = "%%EOF\n";
    if (text.compare(0, sizeof kFirst - 1, kFirst) != 0)
        return "does not begin with " + std::string(kFirst);
    if (text.size() < sizeof kLast - 1 ||
        text.compare(text.size() - (sizeof kLast - 1), sizeof kLast - 1, kLast) != 0)
        return "does not end with %%EOF and a line feed";
    static const char kDelimiters[] = " \t\r\n()[]{}<>/%:,;";
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(kDelimiters, at, sizeof kDelimiters - 1);
        if (start == std::string::npos)
            break;
        std::size_t end = text.find_first_of(kDelimiters, start, sizeof kDelimiters - 1);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        if (word.size() <= 9 && IsNonFiniteWord(word))
            return "holds the word '" + word + "' at byte " + std::to_string(start);
        at = end;
    }
    return "";
}

}  // namespace reliability
