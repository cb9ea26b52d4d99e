// The growable output buffer: append, flush, grow and the chunked copy.
#include "output/OutputWriter.h"

#include "platform/Platform.h"

namespace plat = aiexport_platform;

AOutputWriter::AOutputWriter(AImportFile& body, AImportFile& target) : body(&body), target(target)
{
    // One byte beyond bufferSize holds the NUL even when the text fills the block.
    buffer = static_cast<char*>(plat::Allocate(kInitialBufferSize + 1u));
    if (buffer != nullptr) {
        bufferSize = kInitialBufferSize;
        buffer[0] = '\0';
    }
}

AOutputWriter::~AOutputWriter() { plat::Free(buffer); }

unsigned int AOutputWriter::AppendStringToBuffer(char* destination, const char* text)
{
    const std::size_t length = std::strlen(text);
    std::memcpy(destination, text, length + 1);
    return static_cast<unsigned int>(length);
}

void AOutputWriter::Clear()
{
    bufferLength = 0;
    if (buffer != nullptr)
        buffer[0] = '\0';
}

int AOutputWriter::WriteBufferToExportFile(int toTarget)
{
    if (bufferLength > bufferSize)
        return 0;
    if (bufferLength == 0)
        return 1;
    if (toTarget && recording != nullptr) {
        if (recording->text.size() + bufferLength > recordingLimit)
            return 0;
        recording->text.append(buffer, bufferLength);
        Clear();
        return 1;
    }
    AImportFile& file = toTarget ? target : *body;
    const long written = file.Write(buffer, bufferLength);
    if (written != static_cast<long>(bufferLength)) {
        // The buffer keeps the text that did not reach the file, so a later
        // flush goes on where this one stopped instead of writing twice what
        // a disk that filled part way through took.
        if (written > 0) {
            const auto kept = bufferLength - static_cast<unsigned int>(written);
            std::memmove(buffer, buffer + written, kept + 1u);
            bufferLength = kept;
        }
        return 0;
    }
    if (!toTarget && writeBackEvery != 0) {
        sinceWriteBack += bufferLength;
        if (sinceWriteBack >= writeBackEvery) {
            body->StartWriteBack();
            sinceWriteBack = 0;
        }
    }
    Clear();
    return 1;
}

int AOutputWriter::ExpendBufferSize()
{
    if (bufferSize > 0x7fffffffu / 2)
        return 0;
    // A filter whose first block could not be allocated starts over here;
    // doubling a size of 0 would never make room.
    const unsigned int newSize = bufferSize == 0 ? kInitialBufferSize : bufferSize * 2;
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

int AOutputWriter::GrowFor(std::size_t n)
{
    while (static_cast<std::size_t>(bufferLength) + n >= bufferSize) {
        if (!ExpendBufferSize())
            return 0;
    }
    return 1;
}

int AOutputWriter::FlushIfAbove(unsigned int margin)
{
    if (bufferSize >= margin && bufferLength <= bufferSize - margin)
        return 1;
    return WriteBufferToExportFile(0);
}

int AOutputWriter::WriteRealsLine(const double* values, int count, const char* op)
{
    constexpr int kMaxInLine = 6;
    constexpr std::size_t kMaxOp = 8;
    if (count < 0)
        return 0;
    const std::size_t opLength = std::strlen(op);
    const std::size_t worst = static_cast<std::size_t>(count) * kMaxRealToken + opLength;
    if (count > kMaxInLine || opLength > kMaxOp ||
        static_cast<std::size_t>(bufferLength) + worst < bufferSize)
        return Write(token::Reals{values, count}, token::Chars{op, opLength});
    // Near the end: the line's real length decides, so ordinary numbers that
    // fit the headroom left by the flush never grow the buffer.
    char line[kMaxInLine * kMaxRealToken + kMaxOp + 1];
    char* out = line;
    for (int i = 0; i < count; ++i)
        out = fixed_point::PutReal(out, values[i]);
    std::memcpy(out, op, opLength);
    return Write(token::Chars{line, static_cast<std::size_t>(out - line) + opLength});
}

int AOutputWriter::CopyTempToExport(unsigned long long count)
{
    if (count == 0)
        return 1;
    if (!WriteBufferToExportFile(1))
        return 0;
    if (recording != nullptr) {
        recording->copies.emplace_back(recording->text.size(), count);
        return 1;
    }
    // File to file inside the kernel: the bytes do not pass through the
    // buffer, and one call replaces thousands of buffer-sized reads and writes.
    const long copied = body->CopyTo(target, count);
    if (copied >= 0 && static_cast<unsigned long long>(copied) == count)
        return 1;
    if (copied != plat::kCopyUnsupported) {
        buffer[0] = '\0';
        return 0;
    }
    while (count > 0) {
        const auto chunk = static_cast<unsigned int>(count < bufferSize ? count : bufferSize);
        if (body->Read(buffer, chunk) != static_cast<long>(chunk)) {
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

int AOutputWriter::WriteRecording(const TargetRecording& written)
{
    if (recording != nullptr)
        return 0;
    std::size_t at = 0;
    const auto writeUpTo = [&](std::size_t end) {
        const std::size_t length = end - at;
        if (length > 0 &&
            target.Write(written.text.data() + at, length) != static_cast<long>(length))
            return false;
        at = end;
        return true;
    };
    for (const auto& [where, count] : written.copies) {
        if (where < at || where > written.text.size() || !writeUpTo(where) ||
            !CopyTempToExport(count))
            return 0;
    }
    return writeUpTo(written.text.size()) ? 1 : 0;
}
