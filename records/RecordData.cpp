// Records once parsed: the data pointer bound into the payload, and Bitmap
// rows checked against the BeginBitmap before them.
#include "RecordScript.h"

#include <cstring>

#include "RecordTable.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

namespace recordscript {
namespace {

template <class T>
T Get(const std::vector<unsigned char>& payload, std::size_t offset)
{
    T value{};
    std::memcpy(&value, payload.data() + offset, sizeof value);
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

// The filter reads a Bitmap's rows by the layout the last BeginBitmap gave,
// trusting the host for the length: a script must supply that many bytes, or
// the replay would read past the block.
bool CheckRowData(const std::vector<Record>& records, std::size_t& bad, std::string& message)
{
    std::int16_t bytesPerRow = 0;  // as the filter holds them before any image
    std::uint16_t colorModel = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        if (r.nullPayload)
            continue;
        if (r.opcode == aiop::kBeginBitmap) {
            bytesPerRow = Get<std::int16_t>(r.payload, offsetof(BeginBitmapData, bytesPerRow));
            colorModel = Get<std::uint16_t>(r.payload, offsetof(BeginBitmapData, colorModel));
            continue;
        }
        if (r.opcode != aiop::kBitmap || colorModel == 2 || bytesPerRow <= 0)
            continue;
        const long first = Get<std::int16_t>(r.payload, offsetof(BitmapData, firstRow));
        const long last = Get<std::int16_t>(r.payload, offsetof(BitmapData, lastRow));
        // The natural count of the range bounds every count a reader may
        // take from it, wrapped or reversed.
        const long rows = (last >= first ? last - first : first - last) + 1;
        const unsigned long need =
            static_cast<unsigned long>(rows) * static_cast<unsigned long>(bytesPerRow);
        const std::size_t given = r.data.empty() ? 0 : r.data.size() - 1;
        if (given < need) {
            bad = i;
            message = "Bitmap rows " + std::to_string(first) + " to " + std::to_string(last) +
                      " need " + std::to_string(need) + " bytes (" + std::to_string(rows) +
                      " rows of the " + std::to_string(bytesPerRow) +
                      " bytesPerRow of the last BeginBitmap); " + std::to_string(given) + " given";
            return false;
        }
    }
    return true;
}

}  // namespace recordscript
