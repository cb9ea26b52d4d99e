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

// size bytes of a block read whole, in the file's byte order.
std::uint32_t Ordered(const unsigned char* at, int size, bool little)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value = little ? value | static_cast<std::uint32_t>(at[i]) << (8 * i) : value << 8 | at[i];
    return value;
}

// Reads count bytes at offset whole; false when the seek or the read falls short.
bool ReadAt(AImportFile& file, long offset, void* to, long count)
{
    return file.Seek(offset, 0) == offset &&
           file.Read(to, static_cast<unsigned long>(count)) == count;
}

// The facts of the first directory, from the header, the directory as one
// block and, for several bits-per-sample values, the first of them: a few
// reads whatever the directory's length. false for a file that is no TIFF or
// ends early.
bool ReadTiffFacts(AImportFile& file, LinkedFileFacts& facts)
{
    // Every offset is checked against the length before it is used, as
    // offset > length - need, so no sum can overflow.
    const long length = file.GetLength();
    unsigned char header[8];
    if (length < 8 || !ReadAt(file, 0, header, 8))
        return false;
    bool little;
    if (header[0] == 'I' && header[1] == 'I')
        little = true;
    else if (header[0] == 'M' && header[1] == 'M')
        little = false;
    else
        return false;
    if (Ordered(header + 2, 2, little) != kTiffMagic)
        return false;
    const std::uint32_t directory = Ordered(header + 4, 4, little);
    unsigned char countField[2];
    if (directory > static_cast<unsigned long>(length - 2) ||
        !ReadAt(file, static_cast<long>(directory), countField, 2))
        return false;
    const long entries = static_cast<long>(Ordered(countField, 2, little));
    if (entries > (length - 2 - static_cast<long>(directory)) / kEntrySize)
        return false;
    AOwnedArray<unsigned char> block;
    if (entries > 0 && (!block.Reserve(static_cast<std::size_t>(entries * kEntrySize), 0) ||
                        file.Read(block.Data(), static_cast<unsigned long>(entries * kEntrySize)) !=
                            entries * kEntrySize))
        return false;

    for (long e = 0; e < entries; ++e) {
        const unsigned char* entry = block.Data() + e * kEntrySize;
        const std::uint32_t tag = Ordered(entry, 2, little);
        const std::uint32_t type = Ordered(entry + 2, 2, little);
        const std::uint32_t count = Ordered(entry + 4, 4, little);
        // value16 is the entry's first value when it stands in the field, else
        // 0; value32 the whole field, for a LONG its value, else an offset.
        // Values that fit the four bytes stand in them: one or two SHORTs (a
        // grey image with alpha has two bits-per-sample values) or one LONG.
        const bool inlineShort = type == kTypeShort && (count == 1 || count == 2);
        const std::uint32_t value32 = inlineShort ? 0 : Ordered(entry + 8, 4, little);
        std::uint32_t value16 = inlineShort                       ? Ordered(entry + 8, 2, little)
                                : type == kTypeLong && count == 1 ? value32
                                                                  : 0;
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
                unsigned char first[2];
                if (value32 > static_cast<unsigned long>(length - 2) ||
                    !ReadAt(file, static_cast<long>(value32), first, 2))
                    return false;
                value16 = Ordered(first, 2, little);
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
    return true;
}

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
    // A file named by many records is read once a picture.
    const LinkedFileFacts* known = nullptr;
    for (const LinkedFileFacts& f : linkedFiles) {
        if (std::strcmp(f.path, path) == 0) {
            known = &f;
            break;
        }
    }
    LinkedFileFacts read{};
    if (known == nullptr) {
        const std::size_t length = std::strlen(path);
        if (length >= sizeof read.path)
            return 0;
        std::memcpy(read.path, path, length + 1);
        AImportFile file;
        const bool opened = file.Open(path, kReadOnly) != 0;
        if (opened) {
            CloseOnExit closer(file);
            read.ok = ReadTiffFacts(file, read) ? 1 : 0;
            // A file that cannot be opened now may be there for a later
            // record; one that cannot be kept is read again.
            linkedFiles.Append(read);
        }
        known = &read;
    }
    if (!known->ok)
        return 0;
    imageType = known->imageType;
    bitsPerSample = known->bitsPerSample;
    width = known->width;
    height = known->height;
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
    // The raw path is a comment line: a line feed, return or form feed in it
    // would let the rest of the path out into the document as code, so every
    // control byte becomes a blank there.
    char comment[sizeof path];
    std::memcpy(comment, path, length + 1);
    std::replace_if(
        comment, comment + length,
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, ' ');
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
