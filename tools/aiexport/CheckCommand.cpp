// aiexport --check: one finding a line on standard output, the reason a file
// cannot be checked on standard error.
#include "CheckCommand.h"

#include <cstdio>

int RunCheck(const std::vector<std::string>& files, aicheck::Profile profile)
{
    if (files.size() != 1) {
        std::fprintf(stderr, "aiexport: --check takes one FILE (an SVG drawing or an Illustrator "
                             "file)\nTry 'aiexport --help' for more information.\n");
        return 2;
    }
    const aicheck::Report report = aicheck::CheckFile(files[0], profile);
    if (report.status == aicheck::Status::kUnreadable) {
        std::fprintf(stderr, "%s\n", report.error.c_str());
        return 2;
    }
    for (const aicheck::Finding& finding : report.findings)
        std::printf("%s\n", finding.Text().c_str());
    if (std::fflush(stdout) != 0)
        return 2;
    return static_cast<int>(report.status);
}
