// The converter's records: typed, kept compact until they are sent on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "RecordSink.h"
#include "ScriptPrinter.h"

namespace svgreader {

using recordscript::AsPrinted;

// Records kept in one block in the order written, each as its payload and
// the bytes its pointer field refers to, so that a part of the drawing can
// be taken back (a group that drew nothing) or moved (to make room for a
// flattened image) before anything is sent. Offsets into it are marks.
class RecordBuffer : public recordscript::RecordSink {
public:
    bool Write(std::uint16_t opcode, const void* payload, std::size_t size) override;

    std::size_t Mark() const { return bytes.size(); }
    std::size_t Count() const { return count; }
    // Everything written since `mark` dropped, or moved to the end of `tail`.
    void Truncate(std::size_t mark);
    void MoveFrom(std::size_t mark, RecordBuffer& tail);
    // `other`'s records added at the end, `other` left empty.
    void Append(RecordBuffer& other);
    void Swap(RecordBuffer& other);

    // Each record in order; `visit(opcode, payload, size)` with payload null
    // for a record sent with none or a zeroed block.
    template <typename Visit>
    void ForEach(Visit visit) const
    {
        for (std::size_t at = 0; at < bytes.size();) {
            Entry e;
            Read(at, e);
            visit(e.opcode, e.kind == kPayload ? bytes.data() + at + sizeof e : nullptr,
                  static_cast<std::size_t>(e.size));
            at += sizeof e + e.size + e.dataSize;
        }
    }
    // Every record, in order, to `sink`; false when any failed.
    bool SendTo(recordscript::RecordSink& sink);

private:
    enum Kind : std::uint8_t { kPayload, kNull, kZeroed };
    struct Entry {
        std::uint16_t opcode;
        Kind kind;
        std::uint32_t size;       // of the payload kept
        std::uint32_t dataSize;   // of the bytes after it that its pointer refers to
        std::uint32_t pointerAt;  // the pointer field's offset in the payload
    };
    void Read(std::size_t at, Entry& e) const;

    std::vector<unsigned char> bytes;
    std::size_t count = 0;
    recordscript::RowLayout rows;
    std::vector<unsigned char> block;  // a payload being sent
};

// `text` into a fixed array of `size` bytes, cut to fit; the rest stays zero.
void PutChars(char* array, std::size_t size, std::string_view text);

}  // namespace svgreader
