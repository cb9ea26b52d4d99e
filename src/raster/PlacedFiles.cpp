// Placed EPS files and linked TIFF files, named by path; the TIFF header read for its facts.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "filter/AAIExportFilter.h"

namespace {

constexpr unsigned short kTiffFileType = 1;
constexpr unsigned int kReadOnly = 1;

constexpr std::uint16_t kTiffMagic = 42;
constexpr std::uint16_t kTagImageWidth = 256;
constexpr std::uint16_t kTagImageLength = 257;
constexpr std::uint16_t kTagBitsPerSample = 258;
constexpr std::uint16_t kTagPhotometric = 262;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kPhotometricRGB = 2;
constexpr std::uint16_t kPhotometricSeparated = 5;
// Tag, field type, value count, value field.
constexpr long kEntrySize = 12;

// The host's path array need not hold a NUL: at most the whole array is taken.
template <std::size_t N>
std::size_t CopyBoundedPath(char (&to)[N + 1], const char (&from)[N])
{
    const void* end = std::memchr(from, '\0', N);
    const std::size_t length = end != nullptr ? static_cast<const char*>(end) - from : N;
    std::memcpy(to, from, length);
    to[length] = '\0';
    return length;
}

// Every exit of the header reader closes the file, whose copies stay open otherwise.
class CloseOnExit {
public:
    explicit CloseOnExit(AImportFile& f) : file(f) {}
    ~CloseOnExit() { file.Close(); }
    CloseOnExit(const CloseOnExit&) = delete;
    CloseOnExit& operator=(const CloseOnExit&) = delete;

private:
    AImportFile& file;
};

// Reads size bytes one at a time at the file's position: the first byte read
// lowest for little-endian, highest for big-endian. A byte that does not
// arrive counts as 0 and marks the read as short.
std::uint32_t ReadOrdered(AImportFile& file, int size, int littleEndian, bool* shortRead)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        unsigned char byte = 0;
        if (file.Read(&byte, 1) != 1) {
            byte = 0;
            if (shortRead != nullptr)
                *shortRead = true;
        }
        if (littleEndian)
            value |= static_cast<std::uint32_t>(byte) << (8 * i);
        else
            value = (value << 8) | byte;
    }
    return value;
}

struct TiffFacts {
    int imageType = 0;
    int bitsPerSample = 0;
    int width = 0;
    int height = 0;
};

}  // namespace

int AAIExportFilter::Read_INT32_FromFile(AImportFile file, int littleEndian, bool* shortRead)
{
    return static_cast<int>(Read_UINT32_FromFile(file, littleEndian, shortRead));
}

int AAIExportFilter::Read_INT16_FromFile(AImportFile file, int littleEndian, bool* shortRead)
{
    return static_cast<std::int16_t>(Read_UINT16_FromFile(file, littleEndian, shortRead));
}

unsigned int AAIExportFilter::Read_UINT32_FromFile(AImportFile file, int littleEndian,
                                                   bool* shortRead)
{
    return ReadOrdered(file, 4, littleEndian, shortRead);
}

unsigned short AAIExportFilter::Read_UINT16_FromFile(AImportFile file, int littleEndian,
                                                     bool* shortRead)
{
    return static_cast<unsigned short>(ReadOrdered(file, 2, littleEndian, shortRead));
}

int AAIExportFilter::GetBitmapInformation(const char* path, unsigned short fileType, int& imageType,
                                          int& bitsPerSample, int& width, int& height)
{
    if (path == nullptr || fileType != kTiffFileType)
        return 0;
    AImportFile file;
    if (!file.Open(path, kReadOnly))
        return 0;
    CloseOnExit closer(file);

    // Every offset is checked against the length before it is used, as
    // offset > length - need, so no sum can overflow; every read is checked
    // too, so a file that ends early fails instead of giving made-up facts.
    const long length = file.GetLength();
    bool shortRead = false;
    char order[2] = {};
    if (length < 8 || file.Read(order, 2) != 2)
        return 0;
    int little;
    if (order[0] == 'I' && order[1] == 'I')
        little = 1;
    else if (order[0] == 'M' && order[1] == 'M')
        little = 0;
    else
        return 0;
    if (Read_UINT16_FromFile(file, little, &shortRead) != kTiffMagic || shortRead)
        return 0;

    const std::uint32_t directory = Read_UINT32_FromFile(file, little, &shortRead);
    if (shortRead || directory > static_cast<unsigned long>(length - 2))
        return 0;
    if (file.Seek(static_cast<long>(directory), 0) != static_cast<long>(directory))
        return 0;
    const long entries = Read_UINT16_FromFile(file, little, &shortRead);
    if (shortRead || entries > (length - 2 - static_cast<long>(directory)) / kEntrySize)
        return 0;

    TiffFacts facts;
    for (long e = 0; e < entries; ++e) {
        const std::uint16_t tag = Read_UINT16_FromFile(file, little, &shortRead);
        const std::uint16_t type = Read_UINT16_FromFile(file, little, &shortRead);
        const std::uint32_t count = Read_UINT32_FromFile(file, little, &shortRead);
        // value16 is the entry's first value when it stands in the field, else
        // 0; value32 the whole field, for a LONG its value, else an offset.
        // Values that fit the four bytes stand in them: one or two SHORTs (a
        // grey image with alpha has two bits-per-sample values) or one LONG.
        std::uint32_t value16 = 0;
        std::uint32_t value32 = 0;
        const bool inlineShort = type == kTypeShort && (count == 1 || count == 2);
        if (inlineShort) {
            value16 = Read_UINT16_FromFile(file, little, &shortRead);
            Read_UINT16_FromFile(file, little, &shortRead);
        } else {
            value32 = Read_UINT32_FromFile(file, little, &shortRead);
            if (type == kTypeLong && count == 1)
                value16 = value32;
        }
        if (shortRead)
            return 0;

        switch (tag) {
        case kTagImageWidth:
            facts.width = static_cast<int>(type == kTypeShort ? value16 : value32);
            break;
        case kTagImageLength:
            facts.height = static_cast<int>(type == kTypeShort ? value16 : value32);
            break;
        case kTagBitsPerSample:
            if (count != 1 && !inlineShort) {
                // Several samples: the first sample's bit count, through the offset.
                const long resume = file.GetPosition();
                if (value32 > static_cast<unsigned long>(length - 2) ||
                    file.Seek(static_cast<long>(value32), 0) != static_cast<long>(value32))
                    return 0;
                value16 = Read_UINT16_FromFile(file, little, &shortRead);
                if (shortRead || file.Seek(resume, 0) != resume)
                    return 0;
            }
            facts.bitsPerSample = static_cast<int>(value16);
            break;
        case kTagPhotometric:
            facts.imageType = value16 == kPhotometricRGB         ? 3
                              : value16 == kPhotometricSeparated ? 4
                                                                 : 1;
            break;
        default: break;
        }
    }
    // Only the first directory is read.
    imageType = facts.imageType;
    bitsPerSample = facts.bitsPerSample;
    width = facts.width;
    height = facts.height;
    return 1;
}

int AAIExportFilter::PathPostscript(PathPostscriptData* data)
{
    if (data == nullptr)
        return 0;
    char path[sizeof data->filePath + 1];
    const std::size_t length = CopyBoundedPath(path, data->filePath);
    const double scale = data->placeScale;
    const double x = DistanceToPS(data->placeX) - data->boxLeft;
    const double y = DistanceToPS(data->placeY) - data->boxBottom;
    const double matrix[6] = {scale, 0.0, 0.0, scale, x, y};
    const double box[4] = {static_cast<double>(data->boxLeft), static_cast<double>(data->boxBottom),
                           static_cast<double>(data->boxRight), static_cast<double>(data->boxTop)};
    // The raw path is a comment line: a line break in it would let the rest
    // of the path out into the document, so breaks become blanks there.
    char comment[sizeof path];
    std::memcpy(comment, path, length + 1);
    std::replace(comment, comment + length, '\n', ' ');
    std::replace(comment, comment + length, '\r', ' ');
    // The path is escaped straight into the buffer, whatever its length.
    if (!output.Write("%AI5_BeginPlace\n[", token::Real{scale}, "0 0 ", token::Reals{matrix + 3, 3},
                      "] ", token::Reals{box, 4}, "\n(", token::Escaped(path), ") `\n%%",
                      token::Chars{comment, length}, "\n~\n%AI5_EndPlace\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}

int AAIExportFilter::PathBitmap(PathBitmapData* data)
{
    if (data == nullptr)
        return 0;
    char path[sizeof data->filePath + 1];
    CopyBoundedPath(path, data->filePath);
    int imageType = 0;
    int bitsPerSample = 0;
    int width = 0;
    int height = 0;
    if (!GetBitmapInformation(path, data->fileType, imageType, bitsPerSample, width, height))
        return 0;
    const double x = DistanceToPS(data->placeX);
    const double y = DistanceToPS(data->placeY);
    const double w = DistanceToPS(data->placeWidth);
    const double h = DistanceToPS(data->placeHeight);
    const double s = data->placeScale;
    const double place[3] = {s, x, y - s * h};
    const double bounds[4] = {0.0, 0.0, w, h};
    if (!output.Write("%AI5_File:\n%AI5_BeginRaster\n", Name(path), " 1 XG\n[ ", token::Real{s},
                      "0 0 ", token::Reals{place, 3}, "] ", token::Reals{bounds, 4},
                      token::Integer{width}, token::Integer{height}, token::Integer{bitsPerSample},
                      token::Integer{imageType}, "0 0 0 0 XF\n%AI5_EndRaster\nN\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}
