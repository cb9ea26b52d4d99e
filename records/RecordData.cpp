// Records once parsed: the data pointer bound into the payload, and Bitmap
// rows measured against the BeginBitmap before them.
#include <cstring>

#include "RecordScript.h"
#include "RecordTable.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

namespace recordscript {
namespace {

template <class T>
T Get(const void* payload, std::size_t offset)
{
    T value{};
    std::memcpy(&value, static_cast<const unsigned char*>(payload) + offset, sizeof value);
    return value;
}

}  // namespace

void* Record::Bind()
{
    if (nullPayload)
        return nullptr;
    if (zeroedPayload) {
        // One block for all of them keeps a script of many bare records
        // small; zeroed again each time in case a reader wrote into it.
        static unsigned char zeroes[kZeroedPayloadSize];
        std::memset(zeroes, 0, sizeof zeroes);
        return zeroes;
    }
    if (pointerOffset != kNoPointer && pointerOffset + sizeof(void*) <= payload.size()) {
        void* pointer = data.data();
        std::memcpy(payload.data() + pointerOffset, &pointer, sizeof pointer);
    }
    return payload.data();
}

std::size_t PayloadSize(const Record& record)
{
    return record.nullPayload     ? 0
           : record.zeroedPayload ? kZeroedPayloadSize
                                  : record.payload.size();
}

void RowLayout::Note(std::uint16_t opcode, const void* payload, std::size_t size)
{
    if (opcode != aiop::kBeginBitmap || payload == nullptr || size < sizeof(BeginBitmapData))
        return;
    bytesPerRow = Get<std::int16_t>(payload, offsetof(BeginBitmapData, bytesPerRow));
    colorModel = Get<std::uint16_t>(payload, offsetof(BeginBitmapData, colorModel));
}

std::size_t RowLayout::RowBytes(const void* bitmap, std::size_t size, long* rows) const
{
    // A placeholder image (model 2) and an empty layout read no rows.
    if (bitmap == nullptr || size < offsetof(BitmapData, rowData) || colorModel == 2 ||
        bytesPerRow <= 0)
        return 0;
    const long first = Get<std::int16_t>(bitmap, offsetof(BitmapData, firstRow));
    const long last = Get<std::int16_t>(bitmap, offsetof(BitmapData, lastRow));
    // The natural count of the range bounds every count a reader may take
    // from it, wrapped or reversed.
    const long count = (last >= first ? last - first : first - last) + 1;
    if (rows != nullptr)
        *rows = count;
    return static_cast<std::size_t>(count) * static_cast<std::size_t>(bytesPerRow);
}

bool RowLayout::Check(const void* bitmap, std::size_t size, std::size_t given,
                      std::string& message) const
{
    long rows = 0;
    const std::size_t need = RowBytes(bitmap, size, &rows);
    if (given >= need)
        return true;
    message = "Bitmap rows " +
              std::to_string(Get<std::int16_t>(bitmap, offsetof(BitmapData, firstRow))) + " to " +
              std::to_string(Get<std::int16_t>(bitmap, offsetof(BitmapData, lastRow))) + " need " +
              std::to_string(need) + " bytes (" + std::to_string(rows) + " rows of the " +
              std::to_string(bytesPerRow) + " bytesPerRow of the last BeginBitmap); " +
              std::to_string(given) + " given";
    return false;
}

std::size_t GivenRowBytes(const Record& record)
{
    return record.data.empty() ? 0 : record.data.size() - 1;  // less the terminator
}

bool CheckRowData(const std::vector<Record>& records, std::size_t& bad, std::string& message)
{
    RowLayout layout;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        if (r.nullPayload || r.zeroedPayload)
            continue;
        if (r.opcode == aiop::kBitmap &&
            !layout.Check(r.payload.data(), r.payload.size(), GivenRowBytes(r), message)) {
            bad = i;
            return false;
        }
        layout.Note(r.opcode, r.payload.data(), r.payload.size());
    }
    return true;
}

}  // namespace recordscript
