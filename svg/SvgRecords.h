// The converter's records: typed, kept compact until they are sent on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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

    std::size_t Mark() const { return bytes; }
    std::size_t Count() const { return count; }
    // Everything written since `mark` dropped, or moved to the end of `tail`.
    void Truncate(std::size_t mark);
    void MoveFrom(std::size_t mark, RecordBuffer& tail);
    // `other`'s records added at the end, `other` left empty.
    void Append(RecordBuffer& other);
    void Swap(RecordBuffer& other);

    // Each record in order: `visit(opcode, payload, size)`, payload null
    // for a record sent with none or with a zeroed block.
    template <typename Visit>
    void ForEach(Visit visit) const
    {
        Walk(0, [&](const unsigned char* entry, const Entry& e) {
            visit(e.opcode, e.kind == kPayload ? entry + e.head : nullptr,
                  static_cast<std::size_t>(e.size));
        });
    }
    // Every record, in order, to `sink`; false when any failed.
    bool SendTo(recordscript::RecordSink& sink);

private:
    enum Kind : std::uint8_t { kPayload, kNull, kZeroed };
    // Each record: its head (the opcode, and a word of the kind, whether a
    // Pointed follows and the payload's size, or 8191 and the size in four
    // bytes), its payload, and for a payload with a pointer field a Pointed
    // and the bytes it refers to. Most records take four bytes besides their
    // payloads.
    struct Entry {
        std::uint16_t opcode;
        Kind kind;
        bool pointer;
        std::uint32_t size;  // of the payload kept
        std::uint8_t head;   // bytes of the head
    };
    static constexpr std::uint32_t kLongSize = 8191;
    struct Pointed {
        std::uint32_t at;    // the pointer field's offset in the payload
        std::uint32_t size;  // of the bytes that follow
    };
    static std::size_t Length(const unsigned char* entry, Entry& e, Pointed& p);
    // Room for `length` more bytes, in the last block or a new one: records
    // never move once written, and no block is ever copied to grow.
    unsigned char* Grow(std::size_t length);
    // `visit(entry, e)` for each record from `mark` on.
    template <typename Visit>
    void Walk(std::size_t mark, Visit visit) const
    {
        std::size_t block = Locate(mark);
        std::size_t at = block < blocks.size() ? mark - starts[block] : 0;
        for (; block < blocks.size(); ++block, at = 0)
            while (at < blocks[block].size()) {
                const unsigned char* entry = blocks[block].data() + at;
                Entry e;
                Pointed p;
                at += Length(entry, e, p);
                visit(entry, e);
            }
    }
    std::size_t Locate(std::size_t mark) const;

    // A fixed allocation filled from its start; bytes past its size are
    // never read, so none is cleared.
    class Block {
    public:
        Block() = default;
        explicit Block(std::size_t room) : bytes(new unsigned char[room]), room(room) {}
        unsigned char* data() { return bytes.get(); }
        const unsigned char* data() const { return bytes.get(); }
        std::size_t size() const { return used; }
        std::size_t capacity() const { return room; }
        void resize(std::size_t n) { used = n; }  // within its capacity

    private:
        std::unique_ptr<unsigned char[]> bytes;
        std::size_t room = 0;
        std::size_t used = 0;
    };
    std::vector<Block> blocks;
    std::vector<std::size_t> starts;  // of each block, as a mark
    std::size_t bytes = 0;
    std::size_t count = 0;
    recordscript::RowLayout rows;
    std::vector<unsigned char> block;  // a payload being sent
};

// `text` into a fixed array of `size` bytes, cut to fit; the rest stays zero.
void PutChars(char* array, std::size_t size, std::string_view text);

}  // namespace svgreader
