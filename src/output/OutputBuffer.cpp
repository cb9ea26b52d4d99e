// The growable output buffer: append, flush, grow and the chunked copy.
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "platform/Platform.h"

namespace plat = aiexport_platform;

unsigned int AAIExportFilter::AppendStringToBuffer(char* destination, const char* text)
{
    const std::size_t length = std::strlen(text);
    std::memcpy(destination, text, length + 1);
    return static_cast<unsigned int>(length);
}

int AAIExportFilter::WriteBufferToExportFile(int toTarget)
{
    if (bufferLength > bufferSize)
        return 0;
    if (bufferLength == 0)
        return 1;
    AImportFile& file = toTarget ? targetFile : tempFile;
    if (file.Write(buffer, bufferLength) != static_cast<long>(bufferLength))
        return 0;  // the buffer keeps its text
    bufferLength = 0;
    buffer[0] = '\0';
    return 1;
}

int AAIExportFilter::ExpendBufferSize()
{
    if (bufferSize > 0x7fffffffu / 2)
        return 0;
    // A filter whose first block could not be allocated starts over here;
    // doubling a size of 0 would never make room.
    const unsigned int newSize = bufferSize == 0 ? kInitialBufferSize : bufferSize * 2;
    // One byte beyond bufferSize holds the NUL even when the text fills the block.
    auto* block = static_cast<char*>(plat::Allocate(newSize + 1u));
    if (block == nullptr)
        return 0;
    if (bufferLength > 0)
        std::memcpy(block, buffer, bufferLength);
    block[bufferLength] = '\0';
    plat::Free(buffer);
    buffer = block;
    bufferSize = newSize;
    return 1;
}

int AAIExportFilter::EnsureRoom(std::size_t n)
{
    while (static_cast<std::size_t>(bufferLength) + n >= bufferSize) {
        if (!ExpendBufferSize())
            return 0;
    }
    return 1;
}

int AAIExportFilter::FlushIfAbove(unsigned int margin)
{
    if (bufferSize >= margin && bufferLength <= bufferSize - margin)
        return 1;
    return WriteBufferToExportFile(0);
}

int AAIExportFilter::Append(const char* text)
{
    const std::size_t length = std::strlen(text);
    if (!EnsureRoom(length))
        return 0;
    std::memcpy(buffer + bufferLength, text, length + 1);
    bufferLength += static_cast<unsigned int>(length);
    return 1;
}

int AAIExportFilter::AppendFloat(double value)
{
    if (!EnsureRoom(kMaxRealToken))
        return 0;
    bufferLength += FloatToString(buffer + bufferLength, value);
    return 1;
}

int AAIExportFilter::AppendInteger(int value)
{
    if (!EnsureRoom(kMaxIntegerToken))
        return 0;
    bufferLength += IntegerToString(buffer + bufferLength, value);
    return 1;
}

int AAIExportFilter::AppendRealsLine(const double* values, int count, const char* op)
{
    constexpr int kMaxInLine = 6;
    constexpr std::size_t kMaxOp = 8;
    if (count < 0)
        return 0;
    const std::size_t opLength = std::strlen(op);
    const std::size_t worst = static_cast<std::size_t>(count) * kMaxRealToken + opLength;
    if (count > kMaxInLine || opLength > kMaxOp ||
        static_cast<std::size_t>(bufferLength) + worst < bufferSize) {
        if (!EnsureRoom(worst))
            return 0;
        char* out = buffer + bufferLength;
        for (int i = 0; i < count; ++i)
            out += FloatToString(out, values[i]);
        std::memcpy(out, op, opLength + 1);
        bufferLength = static_cast<unsigned int>(out + opLength - buffer);
        return 1;
    }
    // Near the end: the line's real length decides, so ordinary numbers that
    // fit the headroom left by the flush never grow the buffer.
    char line[kMaxInLine * kMaxRealToken + kMaxOp + 1];
    char* out = line;
    for (int i = 0; i < count; ++i)
        out += FloatToString(out, values[i]);
    const std::size_t length = static_cast<std::size_t>(out - line) + opLength;
    if (!EnsureRoom(length))
        return 0;
    std::memcpy(out, op, opLength + 1);
    std::memcpy(buffer + bufferLength, line, length + 1);
    bufferLength += static_cast<unsigned int>(length);
    return 1;
}

int AAIExportFilter::CopyTempToExport(unsigned int count)
{
    if (count == 0)
        return 1;
    if (!WriteBufferToExportFile(1))
        return 0;
    // File to file inside the kernel: the bytes do not pass through the
    // buffer, and one call replaces thousands of buffer-sized reads and writes.
    const long copied = tempFile.CopyTo(targetFile, count);
    if (copied == static_cast<long>(count))
        return 1;
    if (copied != plat::kCopyUnsupported) {
        buffer[0] = '\0';
        return 0;
    }
    while (count > 0) {
        const unsigned int chunk = count < bufferSize ? count : bufferSize;
        if (tempFile.Read(buffer, chunk) != static_cast<long>(chunk)) {
            buffer[0] = '\0';
            return 0;
        }
        bufferLength = chunk;
        if (!WriteBufferToExportFile(1))
            return 0;
        count -= chunk;
    }
    return 1;
}
