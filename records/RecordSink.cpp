// Typed records to the filter or into a list.
#include "RecordSink.h"

#include <cstring>
#include <new>

#include "RecordTable.h"
#include "host/AHostExportFilter.h"

namespace recordscript {

const void* ZeroedPayload()
{
    static const unsigned char zeroes[kZeroedPayloadSize] = {};
    return zeroes;
}

bool RecordSink::WriteString(std::uint16_t opcode, const char* string)
{
    return Write(opcode, string, string != nullptr ? std::strlen(string) + 1 : 0);
}

bool ModuleSink::Write(std::uint16_t opcode, const void* payload, std::size_t size)
{
    if (payload == nullptr)
        return filter.writeData(opcode, nullptr) != 0;
    try {
        block.assign(static_cast<const unsigned char*>(payload),
                     static_cast<const unsigned char*>(payload) + size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return filter.writeData(opcode, block.data()) != 0;
}

bool RecordList::Write(std::uint16_t opcode, const void* payload, std::size_t size)
{
    try {
        Record record;
        record.opcode = opcode;
        const RecordLayout* layout = FindRecordByOpcode(opcode);
        if (payload == nullptr) {
            record.nullPayload = true;
        } else if (layout == nullptr || layout->payload == PayloadKind::kZeroed) {
            record.zeroedPayload = true;
        } else {
            if (layout->payload == PayloadKind::kStruct && size < layout->size)
                return false;  // shorter than the structure the filter reads
            const auto* bytes = static_cast<const unsigned char*>(payload);
            record.payload.assign(bytes, bytes + size);
            for (std::size_t i = 0; i < layout->fieldCount; ++i) {
                const FieldLayout& field = layout->fields[i];
                if (field.kind != FieldKind::kText && field.kind != FieldKind::kBytes)
                    continue;
                const unsigned char* pointed = nullptr;
                std::memcpy(&pointed, bytes + field.offset, sizeof pointed);
                std::size_t count = 0;
                if (field.kind == FieldKind::kText) {
                    std::uint32_t n = 0;
                    std::memcpy(&n, bytes + field.aux, sizeof n);
                    count = n;
                } else {
                    count = rows.RowBytes(payload, size);
                }
                if (pointed == nullptr && count != 0)
                    return false;
                record.data.assign(1, 0);  // never a null pointer, even for no bytes
                if (count != 0)
                    record.data.insert(record.data.begin(), pointed, pointed + count);
                record.pointerOffset = field.offset;
            }
        }
        rows.Note(opcode, payload, size);
        records.push_back(std::move(record));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool RecordList::SendTo(RecordSink& sink)
{
    bool all = true;
    for (Record& record : records)
        all = sink.Write(record.opcode, record.Bind(), PayloadSize(record)) && all;
    return all;
}

}  // namespace recordscript
