// The converter's records kept compact: see SvgRecords.h.
#include "SvgRecords.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "RecordTable.h"

namespace svgreader {

namespace {

// Large enough that a drawing takes few, small enough that the last one's
// slack is nothing beside the drawing.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

}  // namespace

bool RecordBuffer::Write(std::uint16_t opcode, const void* payload, std::size_t size)
{
    Entry e{opcode, kPayload, false, 0, 4};
    Pointed p{0, 0};
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
            if ((pointed == nullptr && n != 0) || n > std::numeric_limits<std::uint32_t>::max() / 2)
                return false;
            e.pointer = true;
            p.at = static_cast<std::uint32_t>(field.offset);
            p.size = static_cast<std::uint32_t>(n + 1);  // and a zero, as a script gives
        }
    }
    const bool longSize = e.size >= kLongSize;
    e.head = longSize ? 8 : 4;
    const std::size_t length = e.head + e.size + (e.pointer ? sizeof p + p.size : 0);
    unsigned char* out = nullptr;
    try {
        out = Grow(length);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::uint16_t word = static_cast<std::uint16_t>(e.kind | (e.pointer ? 4u : 0u) |
                                                          (longSize ? kLongSize : e.size) << 3);
    std::memcpy(out, &e.opcode, 2);
    std::memcpy(out + 2, &word, 2);
    if (longSize)
        std::memcpy(out + 4, &e.size, 4);
    out += e.head;
    if (e.size != 0)
        std::memcpy(out, payload, e.size);
    out += e.size;
    if (e.pointer) {
        std::memcpy(out, &p, sizeof p);
        out += sizeof p;
        if (pointed != nullptr)
            std::memcpy(out, pointed, p.size - 1);
        out[p.size - 1] = 0;
    }
    rows.Note(opcode, payload, size);
    ++count;
    return true;
}

std::size_t RecordBuffer::Length(const unsigned char* entry, Entry& e, Pointed& p)
{
    std::uint16_t word = 0;
    std::memcpy(&e.opcode, entry, 2);
    std::memcpy(&word, entry + 2, 2);
    e.kind = static_cast<Kind>(word & 3u);
    e.pointer = (word & 4u) != 0;
    e.size = word >> 3;
    e.head = 4;
    if (e.size == kLongSize) {
        std::memcpy(&e.size, entry + 4, 4);
        e.head = 8;
    }
    if (!e.pointer)
        return e.head + e.size;
    std::memcpy(&p, entry + e.head + e.size, sizeof p);
    return e.head + e.size + sizeof p + p.size;
}

unsigned char* RecordBuffer::Grow(std::size_t length)
{
    if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < length) {
        Block fresh(std::max(kBlockBytes, length));
        starts.reserve(starts.size() + 1);
        blocks.push_back(std::move(fresh));
        starts.push_back(bytes);
    }
    Block& last = blocks.back();
    last.resize(last.size() + length);  // within its capacity: nothing moves
    bytes += length;
    return last.data() + last.size() - length;
}

std::size_t RecordBuffer::Locate(std::size_t mark) const
{
    // The last block that starts at or before the mark.
    const auto after = std::upper_bound(starts.begin(), starts.end(), mark);
    return after == starts.begin() ? blocks.size()
                                   : static_cast<std::size_t>(after - starts.begin()) - 1;
}

void RecordBuffer::Truncate(std::size_t mark)
{
    if (mark >= bytes)
        return;
    std::size_t dropped = 0;
    Walk(mark, [&](const unsigned char*, const Entry&) { ++dropped; });
    const std::size_t block = Locate(mark);
    blocks[block].resize(mark - starts[block]);
    blocks.resize(block + 1);
    starts.resize(block + 1);
    bytes = mark;
    count -= dropped;
}

void RecordBuffer::MoveFrom(std::size_t mark, RecordBuffer& tail)
{
    Walk(mark, [&](const unsigned char* entry, const Entry&) {
        Entry e;
        Pointed p;
        const std::size_t length = Length(entry, e, p);
        std::memcpy(tail.Grow(length), entry, length);
        ++tail.count;
    });
    Truncate(mark);
}

void RecordBuffer::Append(RecordBuffer& other) { other.MoveFrom(0, *this); }

void RecordBuffer::Swap(RecordBuffer& other)
{
    blocks.swap(other.blocks);
    starts.swap(other.starts);
    std::swap(bytes, other.bytes);
    std::swap(count, other.count);
    std::swap(rows, other.rows);
}

bool RecordBuffer::SendTo(recordscript::RecordSink& sink)
{
    bool all = true;
    for (Block& b : blocks)
        for (std::size_t at = 0; at < b.size();) {
            unsigned char* entry = b.data() + at;
            Entry e;
            Pointed p;
            at += Length(entry, e, p);
            unsigned char* payload = entry + e.head;
            bool sent = false;
            if (e.kind == kNull) {
                sent = sink.Write(e.opcode, nullptr, 0);
            } else if (e.kind == kZeroed) {
                sent = sink.Write(e.opcode, recordscript::ZeroedPayload(),
                                  recordscript::kZeroedPayloadSize);
            } else if (!e.pointer) {
                sent = sink.Write(e.opcode, payload, e.size);
            } else {
                block.assign(payload, payload + e.size);
                unsigned char* data = payload + e.size + sizeof p;
                std::memcpy(block.data() + p.at, &data, sizeof data);
                sent = sink.Write(e.opcode, block.data(), block.size());
            }
            all = sent && all;
        }
    return all;
}

void PutChars(char* array, std::size_t size, std::string_view text)
{
    std::memcpy(array, text.data(), std::min(size, text.size()));
}

}  // namespace svgreader
