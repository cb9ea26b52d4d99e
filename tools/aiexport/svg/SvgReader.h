// The SVG front end: an SVG document turned into the record script a host would send.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace svgreader {

struct Outcome {
    std::string script;                 // the records, one a line
    std::vector<std::string> warnings;  // one per kind of content left out
    std::string error;                  // when reading failed: FILE[:LINE]: message
};

// Reads the SVG file at `path` ("-" with `stdinText` holding standard input).
// Returns false with `outcome.error` set when the file cannot be read or is
// not well-formed SVG; nothing of the drawing is kept then.
bool ReadSvg(const std::string& path, const std::string& stdinText, Outcome& outcome);


}  // namespace svgreader
