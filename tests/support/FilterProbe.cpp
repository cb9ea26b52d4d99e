// Reads back what a probe filter has written so far.
#include "support/FilterProbe.h"

std::string FilterProbe::Written()
{
    std::string text;
    if (tempFile.IsOpen()) {
        const long end = tempFile.GetPosition();
        if (end > 0) {
            text.resize(static_cast<std::size_t>(end));
            tempFile.SeekToBegin();
            const long got = tempFile.Read(text.data(), static_cast<unsigned long>(end));
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            tempFile.Seek(end, 0);
        }
    }
    // From the drawing section on, the body may lie in the finished file
    // after its head.
    if (bodyInTarget && targetFile.IsOpen()) {
        const long end = targetFile.GetPosition();
        const auto head = static_cast<long>(headLength);
        if (end > head) {
            std::string rest(static_cast<std::size_t>(end - head), '\0');
            targetFile.Seek(head, 0);
            const long got = targetFile.Read(rest.data(), rest.size());
            rest.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            targetFile.Seek(end, 0);
            text += rest;
        }
    }
    if (output.HasBuffer())
        text.append(output.Data(), output.Length());
    return text;
}
