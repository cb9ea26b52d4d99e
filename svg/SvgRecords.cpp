// The converter's records kept compact: see SvgRecords.h.
#include "SvgRecords.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "RecordTable.h"

namespace svgreader {

bool RecordBuffer::Write(std::uint16_t opcode, const void* payload, std::size_t size)
{
    Entry e{opcode, kPayload, 0, 0, 0};
    const recordscript::RecordLayout* layout = recordscript::FindRecordByOpcode(opcode);
    const unsigned char* pointed = nullptr;
    if (payload == nullptr) {
        e.kind = kNull;
    } else if (layout == nullptr || layout->payload == recordscript::PayloadKind::kZeroed) {
        e.kind = kZeroed;
    } else {
        if (size > std::numeric_limits<std::uint32_t>::max() / 2)
            return false;
        e.size = static_cast<std::uint32_t>(size);
        const auto* in = static_cast<const unsigned char*>(payload);
        for (std::size_t i = 0; i < layout->fieldCount; ++i) {
            const recordscript::FieldLayout& field = layout->fields[i];
            if (field.kind != recordscript::FieldKind::kText &&
                field.kind != recordscript::FieldKind::kBytes)
                continue;
            std::memcpy(&pointed, in + field.offset, sizeof pointed);
            std::size_t n = 0;
            if (field.kind == recordscript::FieldKind::kText) {
                std::uint32_t c = 0;
                std::memcpy(&c, in + field.aux, sizeof c);
                n = c;
            } else {
                n = rows.RowBytes(payload, size);
            }
            if (pointed == nullptr && n != 0)
                return false;
            if (n > std::numeric_limits<std::uint32_t>::max() / 2)
                return false;
            e.dataSize = static_cast<std::uint32_t>(n + 1);  // and a zero, as a script gives
            e.pointerAt = static_cast<std::uint32_t>(field.offset);
        }
    }
    try {
        const std::size_t at = bytes.size();
        bytes.resize(at + sizeof e + e.size + e.dataSize);
        std::memcpy(bytes.data() + at, &e, sizeof e);
        if (e.size != 0)
            std::memcpy(bytes.data() + at + sizeof e, payload, e.size);
        if (e.dataSize != 0) {
            unsigned char* data = bytes.data() + at + sizeof e + e.size;
            if (pointed != nullptr)
                std::memcpy(data, pointed, e.dataSize - 1);
            data[e.dataSize - 1] = 0;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    rows.Note(opcode, payload, size);
    ++count;
    return true;
}

void RecordBuffer::Read(std::size_t at, Entry& e) const
{
    std::memcpy(&e, bytes.data() + at, sizeof e);
}

void RecordBuffer::Truncate(std::size_t mark)
{
    std::size_t dropped = 0;
    for (std::size_t at = mark; at < bytes.size();) {
        Entry e;
        Read(at, e);
        at += sizeof e + e.size + e.dataSize;
        ++dropped;
    }
    bytes.resize(mark);
    count -= dropped;
}

void RecordBuffer::MoveFrom(std::size_t mark, RecordBuffer& tail)
{
    std::size_t moved = 0;
    for (std::size_t at = mark; at < bytes.size();) {
        Entry e;
        Read(at, e);
        at += sizeof e + e.size + e.dataSize;
        ++moved;
    }
    tail.bytes.insert(tail.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(mark),
                      bytes.end());
    tail.count += moved;
    bytes.resize(mark);
    count -= moved;
}

void RecordBuffer::Append(RecordBuffer& other)
{
    bytes.insert(bytes.end(), other.bytes.begin(), other.bytes.end());
    count += other.count;
    other.bytes.clear();
    other.count = 0;
}

void RecordBuffer::Swap(RecordBuffer& other)
{
    bytes.swap(other.bytes);
    std::swap(count, other.count);
    std::swap(rows, other.rows);
}

bool RecordBuffer::SendTo(recordscript::RecordSink& sink)
{
    bool all = true;
    for (std::size_t at = 0; at < bytes.size();) {
        Entry e;
        Read(at, e);
        unsigned char* payload = bytes.data() + at + sizeof e;
        bool sent = false;
        if (e.kind == kNull) {
            sent = sink.Write(e.opcode, nullptr, 0);
        } else if (e.kind == kZeroed) {
            sent = sink.Write(e.opcode, recordscript::ZeroedPayload(),
                              recordscript::kZeroedPayloadSize);
        } else if (e.dataSize == 0) {
            sent = sink.Write(e.opcode, payload, e.size);
        } else {
            block.assign(payload, payload + e.size);
            unsigned char* data = payload + e.size;
            std::memcpy(block.data() + e.pointerAt, &data, sizeof data);
            sent = sink.Write(e.opcode, block.data(), block.size());
        }
        all = sent && all;
        at += sizeof e + e.size + e.dataSize;
    }
    return all;
}

void PutChars(char* array, std::size_t size, std::string_view text)
{
    std::memcpy(array, text.data(), std::min(size, text.size()));
}

}  // namespace svgreader
