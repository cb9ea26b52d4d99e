// The converter's reading of one drawing, as Convert() runs it.
#pragma once

#include <string>
#include <string_view>

#include "SvgConverter.h"

namespace svgreader {

// Reads the SVG file at `path` ("-" with `bytes` holding the drawing) into
// `result`, sending the records to `sink` when the drawing is complete.
void ReadSvg(const std::string& path, std::string_view bytes, recordscript::RecordSink& sink,
             Result& result, const Options& options);

}  // namespace svgreader
