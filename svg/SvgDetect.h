// Whether an input is SVG, known also to a build without the SVG front end.
#pragma once

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

namespace svgreader {

// By the file's name: .svg or .svgz, in any case.
inline bool IsSvgName(const std::string& path)
{
    for (const char* suffix : {".svg", ".svgz"}) {
        const std::size_t n = std::strlen(suffix);
        if (path.size() < n)
            continue;
        bool same = true;
        for (std::size_t i = 0; i < n && same; ++i)
            same = std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) == suffix[i];
        if (same)
            return true;
    }
    return false;
}

// By the first bytes: markup, or gzip. A record script never starts with
// '<' (byte data only comes after a record name).
inline bool LooksLikeSvg(std::string_view text)
{
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0x1F &&
        static_cast<unsigned char>(text[1]) == 0x8B)
        return true;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    return !text.empty() && text.front() == '<';
}

}  // namespace svgreader
