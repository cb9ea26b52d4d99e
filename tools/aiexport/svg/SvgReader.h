// The SVG front end: an SVG document turned into the record script a host would send.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "RecordSink.h"

namespace svgreader {

struct Outcome {
    std::vector<std::string> warnings;  // one per kind of content left out
    std::string error;                  // when reading failed: FILE[:LINE]: message
    std::size_t work = 0;               // steps of work spent, as the budgets count them
    bool sent = false;                  // every record sent was taken
};

// Print preview quality: text and edges crisp at arm's length, a letter page
// of effects some 2 million pixels. Small pages get more (kMinFlattenPixels).
constexpr double kDefaultFlattenDpi = 150;
// The default resolution never gives a page fewer pixels along its longer
// side: icons and logos are placed enlarged.
constexpr int kMinFlattenPixels = 512;

struct Options {
    // Transparency, filters, masks and blend modes as images of the area they
    // cover; else drawn opaque and warned.
    bool flatten = true;
    double flattenDpi = 0;  // 0: the default above
    // Files the drawing may link: regular files inside its own directory or
    // below it (standard input has none), and inside `linkDir` when one is
    // named; none at all when `links` is false.
    std::string linkDir;
    bool links = true;
    // When set, receives each document handed to the renderer, as it reads it.
    std::vector<std::string>* rendered = nullptr;
};

// Whether this build can flatten effects (it was built with librsvg).
bool CanFlatten();

// Reads the SVG file at `path` ("-" with `stdinText` holding standard input)
// and, once the whole drawing is converted, sends its records to `sink`.
// Returns false with `outcome.error` set when the file cannot be read or is
// not well-formed SVG, or the drawing is too large; nothing is sent then.
bool ReadSvg(const std::string& path, const std::string& stdinText, recordscript::RecordSink& sink,
             Outcome& outcome, const Options& options = Options());

}  // namespace svgreader
