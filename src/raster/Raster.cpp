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

// The size announced in "%%BeginData:". Negative sizes count as empty, and
// the sum is taken in 64 bits: 32767 rows of 32767 bytes exceed an int.
long long DataSizeEstimate(int height, int bytesPerRow)
{
    const long long rows = height > 0 ? height : 0;
    const long long bytes = bytesPerRow > 0 ? bytesPerRow : 0;
    const long long n = rows * bytes;
    return 2 * n + (3 * n + 87) / 30;
}

// The count as an integer token.
std::size_t CountToString(char (&dst)[kMaxCountToken], long long value)
{
    char* end = std::to_chars(dst, dst + kMaxCountToken, value).ptr;
    *end++ = ' ';
    return static_cast<std::size_t>(end - dst);
}

}  // namespace

int AAIExportFilter::BeginBitmap(BeginBitmapData* data)
{
    if (data == nullptr)
        return 0;
    // An image still open ends here: its data must not hold this one's header.
    const bool ended = !rasterOpen || EndBitmap();
    // Rows that follow are laid out by this record, whatever becomes of it: a
    // refused one leaves no layout, never the previous image's, which would
    // read rows longer than the host gives.
    raster = RasterRecord{};
    if (!ended)
        return 0;
    RasterRecord image{data->width, data->height, data->bytesPerRow, data->bitDepth,
                       data->colorModel};
    // The matrix maps the image into host units; all six values scale to points.
    double place[6];
    for (int i = 0; i < 6; ++i)
        place[i] = DistanceToPS(graphicsState.matrix[i]);

    if (image.colorModel == kPlaceholderModel) {
        image.width = kPlaceholderWidth;
        image.height = kPlaceholderHeight;
        image.bytesPerRow = kPlaceholderBytesPerRow;
    }
    const token::Integer width{image.width};
    const token::Integer height{image.height};
    const int imageType = image.colorModel == 0 || image.colorModel == kPlaceholderModel
                              ? 1
                              : static_cast<std::int16_t>(image.colorModel);
    char size[kMaxCountToken];
    const std::size_t sizeLength =
        CountToString(size, DataSizeEstimate(image.height, image.bytesPerRow));
    // No alpha channel, reserved, ASCII data, not a mask. The count's blank
    // stays before the line end, as the integer format writes it.
    if (!output.Write("%AI5_BeginRaster\n() 0 XG\n[ ", token::Reals{place, 6}, "] ", width, height,
                      "0 Xh\n[ ", token::Reals{place, 6}, "] 0 0 ", width, height, width, height,
                      token::Integer{image.bitDepth == 1 ? 1 : 8}, token::Integer{imageType},
                      "0 0 0 0\n%%BeginData: ", token::Chars{size, sizeLength}, "\nXI\n"))
        return 0;
    raster = image;
    rasterOpen = true;
    brackets.Push(Bracket::kRaster);
    // Each image is placed by its own matrix; the next one starts from the identity.
    const double identity[6] = {1.0, 0.0, 0.0, 1.0, 0.0, 0.0};
    for (int i = 0; i < 6; ++i)
        graphicsState.matrix[i] = identity[i];
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
            if (output.Length() + reserve > output.Size() && !output.WriteBufferToExportFile(0))
                return 0;
            while (reserve > output.Size()) {
                if (!output.ExpendBufferSize())
                    return 0;
            }
            // The row number carries the line layout on from the previous row. What
            // a row writes stays below the reservation, so this never grows the buffer.
            if (!output.Write(token::Hex{row, bytesPerRow, i, inverted}))
                return 0;
        }
    }
    // Ends the record's last line, even one that is already complete.
    return output.Write("\n");
}

int AAIExportFilter::EndBitmap()
{
    if (rasterOpen)
        brackets.Remove(Bracket::kRaster);
    rasterOpen = false;
    const char* placeholder = raster.colorModel == kPlaceholderModel ? "%FFFFFFFFFFFFFFFF\n" : "";
    if (!output.Write(token::Text(placeholder), "%%EndData\nXH\n%AI5_EndRaster\nN\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}
