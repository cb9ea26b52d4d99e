// The records a script can name: opcode, payload layout and fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace recordscript {

enum class FieldKind : std::uint8_t {
    kU8,
    kU16,
    kI16,
    kU32,
    kI32,
    kF64,
    kChars,         // fixed char array of `size` bytes, or the whole payload when size is 0
    kCountedChars,  // fixed char array whose byte count sits in a u16 at `aux`
    kText,          // _TextData: pointer at `offset`, byte count at `aux`
    kBytes,         // BitmapData rows: pointer at `offset`
};

struct FieldLayout {
    const char* name;
    FieldKind kind;
    std::uint16_t offset;
    std::uint16_t size;
    std::uint16_t aux;
};

enum class PayloadKind : std::uint8_t {
    kStruct,   // `size` bytes laid out by the fields
    kZeroed,   // the filter ignores it: a zeroed block
    kCString,  // the payload is the string itself (char*)
};

struct RecordLayout {
    const char* name;
    std::uint16_t opcode;
    PayloadKind payload;
    std::uint16_t size;
    const FieldLayout* fields;
    std::uint8_t fieldCount;
};

// Big enough for any payload the filter ignores, so a future reader of one
// still finds zeros rather than the end of the block.
constexpr std::size_t kZeroedPayloadSize = 512;

const RecordLayout* FindRecordByName(std::string_view name);
const RecordLayout* FindRecordByOpcode(std::uint16_t opcode);
// The entry whose name matches ignoring case, for "did you mean".
const RecordLayout* FindRecordIgnoringCase(std::string_view name);
const RecordLayout* RecordTableBegin();
const RecordLayout* RecordTableEnd();

}  // namespace recordscript
