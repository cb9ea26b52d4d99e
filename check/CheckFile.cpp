// Which check a file gets, by its name and its first bytes.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "Check.h"
#include "svg/SvgDetect.h"

namespace aicheck {

#ifndef AIEXPORT_HAVE_SVG
Report CheckSvg(const std::string& path, Profile)
{
    Report report;
    report.status = Status::kUnreadable;
    report.error = "aiexport: " + path +
                   " is SVG, and SVG input was not built into this aiexport (it needs "
                   "libsvgpp-dev, libxml2-dev and libstb-dev at build time)";
    return report;
}
#endif

Report CheckFile(const std::string& path, Profile profile)
{
    if (svgreader::IsSvgName(path))
        return CheckSvg(path, profile);
    Report report;
    report.status = Status::kUnreadable;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        report.error = "aiexport: cannot read " + path + ": " + std::strerror(errno);
        return report;
    }
    char head[512];
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        report.error = "aiexport: cannot read " + path + ": " + std::strerror(EIO);
        return report;
    }
    const std::string_view start(head, got);
    if (start.substr(0, 10) == "%!PS-Adobe")
        return CheckAi(path, profile);
    if (svgreader::LooksLikeSvg(start))
        return CheckSvg(path, profile);
    report.error = path + ": " +
                   (got == 0 ? std::string("empty")
                             : "neither an SVG drawing nor an Illustrator file (it does not "
                               "begin with %!PS-Adobe or with markup)");
    return report;
}

}  // namespace aicheck
