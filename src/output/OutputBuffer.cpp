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

int AAIExportFilter::CopyTempToExport(unsigned int count)
{
    if (count == 0)
        return 1;
    if (!WriteBufferToExportFile(1))
        return 0;
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
