// Replays fuzz input as a stream of host records and checks what the filter leaves on disk.
//
// Input layout, repeated until the input ends:
//   one selector byte: selector % (records + unknown opcodes + 2) picks a
//     record of the catalog, an opcode the filter does not know, "exportFile
//     again", or "send the next record with a null payload";
//   the record's payload: a fixed structure takes its size in bytes (zeros
//     past the end of the input); a text, a layer name or the pattern text
//     takes a 16-bit little-endian length and that many bytes (the host adds
//     the NUL); Bitmap takes firstRow and lastRow and then the rows of the
//     current image, bytesPerRow each.
// Record 17 always ends the stream.
//
// A fresh filter object serves each input, reached only through the host
// interface (exportFile, writeData). The singleton that getFilter hands out
// would carry one input's state into the next, so a crash would not
// reproduce from its input alone, and blocks still reachable from it would
// hide from the leak check; several exports in one input (selector "exportFile
// again") still exercise the reuse of one object.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzHost.h"
#include "RecordCatalog.h"
#include "filter/AAIExportFilter.h"

namespace {

using reliability::PayloadShape;

// The largest block of rows one Bitmap record may hand over; larger requests
// are cut to one row, as a host with little memory would send them.
constexpr std::size_t kMaxRowBytes = 1 << 20;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : at(data), end(data + size) {}
    bool Empty() const { return at == end; }
    std::uint8_t Byte() { return at < end ? *at++ : 0; }
    // Fills the whole block: input bytes first, zeros once the input is spent.
    void Fill(std::uint8_t* block, std::size_t size)
    {
        if (size == 0)
            return;
        const std::size_t n = std::min<std::size_t>(size, static_cast<std::size_t>(end - at));
        std::memcpy(block, at, n);
        std::memset(block + n, 0, size - n);
        at += n;
    }
    std::int16_t Word()
    {
        const unsigned low = Byte();
        const unsigned high = Byte();
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | high << 8));
    }
    // A length-prefixed string, with the NUL the host guarantees.
    std::vector<std::uint8_t> String()
    {
        const auto length = std::min<std::size_t>(static_cast<std::uint16_t>(Word()),
                                                  static_cast<std::size_t>(end - at));
        std::vector<std::uint8_t> text(length + 1, 0);
        Fill(text.data(), length);
        reliability::BreakNonFiniteWords(text.data(), length);
        return text;
    }

private:
    const std::uint8_t* at;
    const std::uint8_t* end;
};

// The rows a Bitmap record covers: the magnitude of the 16-bit difference.
std::size_t RowCount(std::int16_t firstRow, std::int16_t lastRow)
{
    const auto span = static_cast<std::int16_t>(static_cast<std::uint16_t>(lastRow - firstRow + 1));
    return static_cast<std::size_t>(span < 0 ? -static_cast<int>(span) : span);
}

// A small RGB TIFF that seeds link as "t.tif".
const std::uint8_t kLinkedTiff[] = {
    'I', 'I', 42, 0, 8, 0, 0, 0,  4, 0,
    0, 1, 3, 0, 1, 0, 0, 0, 40, 0, 0, 0,  // width 40
    1, 1, 3, 0, 1, 0, 0, 0, 30, 0, 0, 0,  // height 30
    2, 1, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0,   // 8 bits per sample
    6, 1, 3, 0, 1, 0, 0, 0, 2, 0, 0, 0,   // RGB
    0, 0, 0, 0,
};

FuzzHost& Host()
{
    static FuzzHost host;
    static const bool linked = (host.PutFile("t.tif", kLinkedTiff, sizeof kLinkedTiff), true);
    (void)linked;
    return host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzHost& host = Host();
    static const std::vector<std::uint8_t> ignored(reliability::kIgnoredPayloadSize, 0);
    const auto& catalog = reliability::Catalog();
    constexpr std::size_t kUnknownCount = sizeof reliability::kUnknownOpcodes / sizeof(unsigned short);
    const std::size_t exportAgain = catalog.size() + kUnknownCount;
    const std::size_t nullNext = exportAgain + 1;
    const std::size_t choices = nullNext + 1;

    host.StartInput();
    auto filter = std::make_unique<AAIExportFilter>();
    AHostExportFilter* h = filter.get();
    std::string target = host.target;
    h->exportFile(target.data());

    Input in(data, size);
    std::int16_t bytesPerRow = 0;  // of the image the filter last began
    bool sendNull = false;
    while (!in.Empty()) {
        const std::size_t choice = in.Byte() % choices;
        if (choice == exportAgain) {
            h->exportFile(target.data());
            continue;
        }
        if (choice == nullNext) {
            sendNull = true;
            continue;
        }
        if (choice >= catalog.size()) {
            const unsigned short op = reliability::kUnknownOpcodes[choice - catalog.size()];
            h->writeData(op, sendNull ? nullptr : const_cast<std::uint8_t*>(ignored.data()));
            sendNull = false;
            continue;
        }

        const reliability::RecordShape& record = catalog[choice];
        // Each payload lives in a block of exactly its size, so a read past
        // it is caught.
        std::vector<std::uint8_t> block;
        std::vector<std::uint8_t> text;
        std::vector<std::uint8_t> rows;
        void* payload = nullptr;
        switch (record.shape) {
        case PayloadShape::kIgnored:
            payload = const_cast<std::uint8_t*>(ignored.data());
            break;
        case PayloadShape::kFixed:
            block.resize(record.size);
            in.Fill(block.data(), block.size());
            reliability::BreakNonFiniteWords(block.data(), block.size());
            if (record.opcode == aiop::kPathBitmap) {
                host.ConfinePath(block.data());
            }
            payload = block.data();
            break;
        case PayloadShape::kCString:
            text = in.String();
            payload = text.data();
            break;
        case PayloadShape::kText: {
            text = in.String();
            block.resize(sizeof(_TextData));
            _TextData t{reinterpret_cast<char*>(text.data()), 0,
                        static_cast<std::uint32_t>(std::strlen(reinterpret_cast<char*>(text.data())))};
            std::memcpy(block.data(), &t, sizeof t);
            payload = block.data();
            break;
        }
        case PayloadShape::kBitmap: {
            BitmapData b{};
            b.firstRow = in.Word();
            b.lastRow = in.Word();
            const std::size_t perRow = bytesPerRow > 0 ? static_cast<std::size_t>(bytesPerRow) : 0;
            if (RowCount(b.firstRow, b.lastRow) * perRow > kMaxRowBytes)
                b.lastRow = b.firstRow;
            rows.resize(RowCount(b.firstRow, b.lastRow) * perRow);
            in.Fill(rows.data(), rows.size());
            b.rowData = rows.data();
            block.resize(sizeof b);
            std::memcpy(block.data(), &b, sizeof b);
            payload = block.data();
            break;
        }
        }
        if (sendNull)
            payload = nullptr;
        if (record.opcode == aiop::kBeginBitmap && payload != nullptr) {
            BeginBitmapData b;
            std::memcpy(&b, payload, sizeof b);
            bytesPerRow = b.colorModel == 2 ? 8 : b.bytesPerRow;
        }
        const int result = h->writeData(record.opcode, payload);
        sendNull = false;
        if (record.opcode == aiop::kEndPicture)
            host.CheckAfterEnd(result);
    }
    host.CheckAfterEnd(h->writeData(aiop::kEndPicture, nullptr));
    filter.reset();
    host.CheckNothingLeft();
    return 0;
}
