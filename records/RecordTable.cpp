// The records a script can name: those of host/Records.def, with the payload
// fields the filter reads laid out by the host's packed structures.
#include "RecordTable.h"

#include <algorithm>
#include <cstddef>

#include "host/Opcodes.h"
#include "host/Payloads.h"

namespace recordscript {
namespace {

using K = FieldKind;

constexpr std::uint16_t Off(std::size_t offset) { return static_cast<std::uint16_t>(offset); }

// The Fields column of host/Records.def, within the payload type `S`.
// clang-format off
#define Field(kind, member) Named(kind, member, member)
#define Named(kind, name, member) FieldLayout{#name, K::k##kind, Off(offsetof(S, member)), 0, 0},
#define Whole(kind, name) FieldLayout{#name, K::k##kind, 0, 0, 0},
#define Chars(member) \
    FieldLayout{#member, K::kChars, Off(offsetof(S, member)), Off(sizeof(S::member)), 0},
#define CountedChars(member, length)                                                         \
    FieldLayout{#member, K::kCountedChars, Off(offsetof(S, member)), Off(sizeof(S::member)), \
                Off(offsetof(S, length))},
#define TextPointer(name, member, count) \
    FieldLayout{#name, K::kText, Off(offsetof(S, member)), 0, Off(offsetof(S, count))},
#define BytePointer(name, member) FieldLayout{#name, K::kBytes, Off(offsetof(S, member)), 0, 0},
#define Color(path)                                                                           \
    Named(U16, model, path model) Named(U16, red, path red) Named(U16, green, path green)      \
    Named(U16, blue, path blue) Named(F64, cyan, path cyan) Named(F64, magenta, path magenta) \
    Named(F64, yellow, path yellow) Named(F64, black, path black)

// The Payload column: the type fields are laid out in, and the block a script sends.
#define PAYLOAD_TYPE_NoPayload void
#define PAYLOAD_TYPE_Ignored(Type) Type
#define PAYLOAD_TYPE_Struct(Type) Type
#define PAYLOAD_TYPE_String char
#define PAYLOAD_BLOCK_NoPayload PayloadKind::kZeroed, kZeroedPayloadSize
#define PAYLOAD_BLOCK_Ignored(Type) PayloadKind::kZeroed, kZeroedPayloadSize
#define PAYLOAD_BLOCK_Struct(Type) PayloadKind::kStruct, sizeof(Type)
#define PAYLOAD_BLOCK_String PayloadKind::kCString, 0
// clang-format on

// Each record's fields, closed by an empty entry so that every list has one.
// clang-format off
#define AIEXPORT_RECORD(Name, opcode, Route, Payload, Fields) \
    namespace fields_##Name {                                 \
    using S = PAYLOAD_TYPE_##Payload;                         \
    constexpr FieldLayout kList[] = {Fields FieldLayout{}};   \
    }
#include "host/Records.def"
// clang-format on

template <std::size_t N>
constexpr RecordLayout Layout(const char* name, std::uint16_t opcode, PayloadKind payload,
                              std::size_t size, const FieldLayout (&fields)[N])
{
    return {name, opcode, payload, Off(size), fields, static_cast<std::uint8_t>(N - 1)};
}

constexpr RecordLayout kRecords[] = {
// clang-format off
#define AIEXPORT_RECORD(Name, opcode, Route, Payload, Fields) \
    Layout(#Name, aiop::k##Name, PAYLOAD_BLOCK_##Payload, fields_##Name::kList),
#include "host/Records.def"
    // clang-format on
};

// Names too plain to leave defined.
#undef Field
#undef Named
#undef Whole
#undef Chars
#undef CountedChars
#undef TextPointer
#undef BytePointer
#undef Color

constexpr bool InOpcodeOrder()
{
    for (std::size_t i = 1; i < sizeof kRecords / sizeof kRecords[0]; ++i)
        if (kRecords[i - 1].opcode >= kRecords[i].opcode)
            return false;
    return true;
}
static_assert(InOpcodeOrder(), "the table is searched by opcode in order");

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const RecordLayout* RecordTableBegin() { return kRecords; }
const RecordLayout* RecordTableEnd() { return kRecords + sizeof kRecords / sizeof kRecords[0]; }

const RecordLayout* FindRecordByName(std::string_view name)
{
    for (const RecordLayout* r = RecordTableBegin(); r != RecordTableEnd(); ++r)
        if (name == r->name)
            return r;
    return nullptr;
}

const RecordLayout* FindRecordByOpcode(std::uint16_t opcode)
{
    const RecordLayout* r =
        std::lower_bound(RecordTableBegin(), RecordTableEnd(), opcode,
                         [](const RecordLayout& e, std::uint16_t op) { return e.opcode < op; });
    return r != RecordTableEnd() && r->opcode == opcode ? r : nullptr;
}

const RecordLayout* FindRecordIgnoringCase(std::string_view name)
{
    for (const RecordLayout* r = RecordTableBegin(); r != RecordTableEnd(); ++r) {
        const std::string_view candidate = r->name;
        if (candidate.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = Lower(candidate[i]) == Lower(name[i]);
        if (same)
            return r;
    }
    return nullptr;
}

}  // namespace recordscript
