// Typed records: one call per record of host/Records.def with its payload
// structure, as the host interface's writeData routes them, and the places
// they go: the module, a record script (ScriptPrinter.h), or a list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "RecordScript.h"
#include "RecordTable.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

class AHostExportFilter;

namespace recordscript {

// The block that records without a payload, or with one the filter never
// reads, are sent with: zeroed, kZeroedPayloadSize bytes.
const void* ZeroedPayload();

class RecordSink {
public:
    RecordSink() = default;
    RecordSink(const RecordSink&) = delete;
    RecordSink& operator=(const RecordSink&) = delete;
    virtual ~RecordSink() = default;

    // One call per record, named as the record and taking what its Payload
    // column says: nothing, the structure, or the string.
    // clang-format off
#define RECORDSINK_PARAM_NoPayload
#define RECORDSINK_PARAM_Ignored(Type)
#define RECORDSINK_PARAM_Struct(Type) const Type& payload
#define RECORDSINK_PARAM_String const char* string
#define RECORDSINK_SEND_NoPayload(op) Write(op, ZeroedPayload(), kZeroedPayloadSize)
#define RECORDSINK_SEND_Ignored(Type) RECORDSINK_SEND_NoPayload
#define RECORDSINK_SEND_Struct(Type) RECORDSINK_SEND_PAYLOAD
#define RECORDSINK_SEND_PAYLOAD(op) Write(op, &payload, sizeof payload)
#define RECORDSINK_SEND_String(op) WriteString(op, string)
#define AIEXPORT_RECORD(Name, opcode, Route, Payload, Fields) \
    bool Name(RECORDSINK_PARAM_##Payload) { return RECORDSINK_SEND_##Payload(aiop::k##Name); }
#include "host/Records.def"
    // clang-format on
#undef RECORDSINK_PARAM_NoPayload
#undef RECORDSINK_PARAM_Ignored
#undef RECORDSINK_PARAM_Struct
#undef RECORDSINK_PARAM_String
#undef RECORDSINK_SEND_NoPayload
#undef RECORDSINK_SEND_Ignored
#undef RECORDSINK_SEND_Struct
#undef RECORDSINK_SEND_PAYLOAD
#undef RECORDSINK_SEND_String

    // Every record arrives here as writeData takes it: `payload` null for a
    // null payload, else `size` readable bytes, with the bytes a pointer
    // field names (text, raster rows) where it points. False when the record
    // failed or could not be taken.
    virtual bool Write(std::uint16_t opcode, const void* payload, std::size_t size) = 0;

private:
    bool WriteString(std::uint16_t opcode, const char* string);
};

// Records sent to a filter through writeData, as a host sends them. The
// payload is copied first: the filter takes a pointer it may write through,
// and the caller's structure stays as it was.
class ModuleSink : public RecordSink {
public:
    explicit ModuleSink(AHostExportFilter& filter) : filter(filter) {}
    bool Write(std::uint16_t opcode, const void* payload, std::size_t size) override;

private:
    AHostExportFilter& filter;
    std::vector<unsigned char> block;
};

// Records kept, each with copies of its payload and of the bytes its pointer
// field refers to, as the script reader gives them; Bind() readies one for
// writeData.
class RecordList : public RecordSink {
public:
    std::vector<Record> records;
    bool Write(std::uint16_t opcode, const void* payload, std::size_t size) override;
    // Every record, in order, to another sink; false when any failed.
    bool SendTo(RecordSink& sink);

private:
    RowLayout rows;
};

}  // namespace recordscript
