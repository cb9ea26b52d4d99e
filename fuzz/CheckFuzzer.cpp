// Checks fuzz input as a file of its own (an Illustrator file, an SVG drawing
// or neither) under each profile; the report must be one finding a line and
// its status must agree with its findings.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = [] {
        char name[] = "/tmp/aiexport-fuzz-check.XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0)
            std::abort();
        ::close(fd);
        return std::string(name);
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();

    const aicheck::Profile profiles[] = {aicheck::Profile::kNone, aicheck::Profile::kCut,
                                         aicheck::Profile::kLaser, aicheck::Profile::kStock,
                                         aicheck::Profile::kPrint};
    const aicheck::Report report = aicheck::CheckFile(path, profiles[size % 5]);
    if (report.status == aicheck::Status::kUnreadable) {
        if (report.error.empty() || !report.findings.empty())
            std::abort();  // a refusal says why, and reports nothing else
        return 0;
    }
    if ((report.status == aicheck::Status::kClean) != report.findings.empty())
        std::abort();
    for (const aicheck::Finding& finding : report.findings) {
        const std::string text = finding.Text();
        if (finding.message.empty() || text.find_first_of("\n\r") != std::string::npos ||
            finding.line < 0)
            std::abort();
    }
    return 0;
}
