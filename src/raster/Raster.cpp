// Embedded raster images: the header, the rows as hexadecimal comment lines, the trailer.
#include <charconv>
#include <cstdint>

#include "filter/AAIExportFilter.h"

namespace {

// The colour model whose image the host does not hand over: a white 8 by 1
// placeholder stands in for it.
constexpr std::uint16_t kPlaceholderModel = 2;
constexpr int kPlaceholderWidth = 8;
constexpr int kPlaceholderHeight = 1;
constexpr int kPlaceholderBytesPerRow = 8;

// Sign, nineteen digits of a 64-bit count, blank.
constexpr unsigned kMaxCountToken = 1 + 19 + 1;
// Twelve placement values, eight integers, the size estimate and the literal text.
constexpr unsigned kRasterHeaderRoom =
    12 * kMaxRealToken + 8 * kMaxIntegerToken + kMaxCountToken + 128;
constexpr unsigned kRasterTrailerRoom = 96;
static_assert(kRasterHeaderRoom < kInitialBufferSize);

bool IsInvertedModel(std::uint16_t model) { return model == 0 || model == 1; }

// The rows of a Bitmap record, from its 16-bit row numbers: the difference
// wraps as the host's 16-bit arithmetic does, and its magnitude is taken.
// That never exceeds the rows of the range the numbers span, so the host's
// block of rows is never read past its end.
int RowCount(std::int16_t firstRow, std::int16_t lastRow)
{
    const auto bits = static_cast<std::uint16_t>(lastRow - firstRow + 1);
    const int span = bits >= 0x8000u ? static_cast<int>(bits) - 0x10000 : static_cast<int>(bits);
    return span < 0 ? -span : span;
}

// The room reserved before each row: pairs of digits plus a generous count
// of line ends and "%" marks.
unsigned int RowReserve(int bytesPerRow)
{
    const auto n = static_cast<unsigned int>(bytesPerRow);
    return 2 * n + (2 * n) / 30 + 4;
}

// What one row can really write: the pairs, at most one "%" and one line end
// per started line, and the NUL. Always below RowReserve, so once the
// reservation holds this never grows the buffer.
std::size_t RowTextLimit(int bytesPerRow)
{
    const auto n = static_cast<std::size_t>(bytesPerRow);
    return 2 * n + 2 * ((n - 1) / 30 + 1);
}

// The size announced in "%%BeginData:". Negative sizes count as empty, and
// the sum is taken in 64 bits: 32767 rows of 32767 bytes exceed an int.
long long DataSizeEstimate(int height, int bytesPerRow)
{
    const long long rows = height > 0 ? height : 0;
    const long long bytes = bytesPerRow > 0 ? bytesPerRow : 0;
    const long long n = rows * bytes;
    return 2 * n + (3 * n + 87) / 30;
}

unsigned int CountToString(char* dst, long long value)
{
    char* end = std::to_chars(dst, dst + kMaxCountToken, value).ptr;
    *end++ = ' ';
    *end = '\0';
    return static_cast<unsigned int>(end - dst);
}

}  // namespace

int AAIExportFilter::BeginBitmap(BeginBitmapData* data)
{
    if (data == nullptr)
        return 0;
    if (!EnsureRoom(kRasterHeaderRoom))
        return 0;

    raster = RasterRecord{data->width, data->height, data->bytesPerRow, data->bitDepth,
                          data->colorModel};
    // The matrix maps the image into host units; all six values scale to points.
    double place[6];
    for (int i = 0; i < 6; ++i)
        place[i] = DistanceToPS(graphicsState.matrix[i]);

    bufferLength += AppendStringToBuffer(buffer + bufferLength, "%AI5_BeginRaster\n() 0 XG\n[ ");
    for (double v : place)
        bufferLength += FloatToString(buffer + bufferLength, v);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "] ");

    if (raster.colorModel == kPlaceholderModel) {
        raster.width = kPlaceholderWidth;
        raster.height = kPlaceholderHeight;
        raster.bytesPerRow = kPlaceholderBytesPerRow;
    }
    bufferLength += IntegerToString(buffer + bufferLength, raster.width);
    bufferLength += IntegerToString(buffer + bufferLength, raster.height);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "0 Xh\n[ ");
    for (double v : place)
        bufferLength += FloatToString(buffer + bufferLength, v);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "] 0 0 ");

    // Each image is placed by its own matrix; the next one starts from the identity.
    const double identity[6] = {1.0, 0.0, 0.0, 1.0, 0.0, 0.0};
    for (int i = 0; i < 6; ++i)
        graphicsState.matrix[i] = identity[i];

    bufferLength += IntegerToString(buffer + bufferLength, raster.width);
    bufferLength += IntegerToString(buffer + bufferLength, raster.height);
    bufferLength += IntegerToString(buffer + bufferLength, raster.width);
    bufferLength += IntegerToString(buffer + bufferLength, raster.height);
    bufferLength += IntegerToString(buffer + bufferLength, raster.bitDepth == 1 ? 1 : 8);
    const int imageType = raster.colorModel == 0 || raster.colorModel == kPlaceholderModel
                              ? 1
                              : static_cast<std::int16_t>(raster.colorModel);
    bufferLength += IntegerToString(buffer + bufferLength, imageType);
    // No alpha channel, reserved, ASCII data, not a mask.
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "0 0 0 0\n%%BeginData: ");
    bufferLength += CountToString(buffer + bufferLength,
                                  DataSizeEstimate(raster.height, raster.bytesPerRow));
    // The count's blank stays before the line end, as the integer format writes it.
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "\nXI\n");
    return 1;
}

int AAIExportFilter::Bitmap(BitmapData* data)
{
    if (data == nullptr)
        return 0;
    if (raster.colorModel == kPlaceholderModel)
        return 1;

    const int rows = RowCount(data->firstRow, data->lastRow);
    const int bytesPerRow = raster.bytesPerRow;
    if (rows > 0 && bytesPerRow > 0) {
        if (data->rowData == nullptr)
            return 0;
        const unsigned int reserve = RowReserve(bytesPerRow);
        const bool inverted = IsInvertedModel(raster.colorModel);
        const unsigned char* row = data->rowData;
        for (int i = 0; i < rows; ++i, row += bytesPerRow) {
            // Rows stream through the buffer: flush first, grow only for a
            // row larger than the whole buffer.
            if (bufferLength + reserve > bufferSize && !WriteBufferToExportFile(0))
                return 0;
            while (reserve > bufferSize) {
                if (!ExpendBufferSize())
                    return 0;
            }
            if (!EnsureRoom(RowTextLimit(bytesPerRow)))
                return 0;
            // The row number carries the line layout on from the previous row.
            bufferLength += inverted ? HexToPSCommentHexStringInverted(buffer + bufferLength, row,
                                                                       bytesPerRow, i)
                                     : HexToPSCommentHexString(buffer + bufferLength, row,
                                                               bytesPerRow, i);
        }
    }
    // Ends the record's last line, even one that is already complete.
    if (!EnsureRoom(1))
        return 0;
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "\n");
    return 1;
}

int AAIExportFilter::EndBitmap()
{
    if (!EnsureRoom(kRasterTrailerRoom))
        return 0;
    if (raster.colorModel == kPlaceholderModel)
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "%FFFFFFFFFFFFFFFF\n");
    bufferLength +=
        AppendStringToBuffer(buffer + bufferLength, "%%EndData\nXH\n%AI5_EndRaster\nN\n");
    return WriteBufferToExportFile(0);
}
