// The SVG converter: an SVG drawing turned into the typed records a host
// would send for it. Its one entry is Convert().
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "RecordSink.h"

namespace svgreader {

// Print preview quality: text and edges crisp at arm's length, a letter page
// of effects some 2 million pixels. Small pages get more (kMinFlattenPixels).
constexpr double kDefaultFlattenDpi = 150;
// The default resolution never gives a page fewer pixels along its longer
// side: icons and logos are placed enlarged.
constexpr int kMinFlattenPixels = 384;

struct Options {
    // Transparency, filters, masks and blend modes as images of the area they
    // cover; else drawn opaque and warned.
    bool flatten = true;
    double flattenDpi = 0;  // 0: the default above
    // How effects are flattened: as vectors where the colour arithmetic is
    // exact and within the budget of pieces (balanced), as vectors wherever
    // exact (vector), or always as images (raster).
    enum class FlattenMode { kBalanced, kVector, kRaster };
    FlattenMode flattenMode = FlattenMode::kBalanced;
    // Files the drawing may link: regular files inside its own directory or
    // below it (a drawing given as bytes has none), and inside `linkDir` when
    // one is named; none at all when `links` is false.
    std::string linkDir;
    bool links = true;
    // When set, receives each document handed to the renderer, as it reads it.
    std::vector<std::string>* rendered = nullptr;
    // Every text element as filled paths instead of text.
    bool textOutlines = false;

    // What strokes become: as drawn, hairlines (solid, 0.0001 pt wide: the
    // output device's thinnest line), or the filled areas they cover.
    enum class Strokes { kAsDrawn, kHairlines, kOutlines };
    Strokes strokes = Strokes::kAsDrawn;
    // A layer "CutContour" last, stroking the outer outline of the art with
    // the custom colour "CutContour" (100 % magenta) as a hairline.
    bool cutContour = false;
    // A layer "Registration" of three marks at the corners of the art, for
    // cutters that find the print by them.
    bool registrationMarks = false;
    // The drawing's layers as groups of one art layer: cutters take one.
    // Hidden layers are left out, as they are not to be cut or printed.
    bool oneArtLayer = false;
    // Colours by value written as CMYK (naive conversion, full black
    // generation); images stay RGB.
    bool cmyk = false;
    // Swatches (a gradient of one stop, or one marked as a solid paint)
    // written as named custom colours.
    bool spotColors = false;

    // The page: as the drawing gives it, trimmed to the art, or of a size
    // (inches) with the art centred on it. The art keeps its size either way.
    struct Page {
        enum class Kind { kAsDrawn, kArt, kSize };
        Kind kind = Kind::kAsDrawn;
        double width = 0, height = 0;
    };
    Page page;
};

// What to convert: a file, or a drawing's bytes (plain or gzip-compressed).
struct Source {
    static Source File(std::string path) { return Source{std::move(path), {}, true}; }
    // `bytes` must outlive the conversion; messages name it "<stdin>".
    static Source Bytes(std::string_view bytes) { return Source{"-", bytes, false}; }

    std::string path;  // "-" for bytes
    std::string_view bytes;
    bool isFile = true;
};

// One per kind of content the records cannot carry, at its first element.
struct Warning {
    enum class Kind {
        kLeftOut,      // `message` names what was left out
        kDrawnOpaque,  // effects drawn opaque instead of flattened; `message` says why
        kText,         // text written otherwise than asked or laid out in another font
    };
    std::string file;  // the drawing as messages name it
    long line = 0;     // of that element; 0 when unknown or for the whole drawing
    Kind kind = Kind::kLeftOut;
    std::string message;

    // "FILE[:LINE]: warning: ...", as the tool prints it.
    std::string Text() const;
};

struct Result {
    // False when the drawing cannot be read, is not well-formed SVG or is too
    // large to convert: `error` says why ("FILE[:LINE]: message") and
    // nothing was sent.
    bool converted = false;
    std::string error;
    std::vector<Warning> warnings;
    bool sent = false;     // the sink took every record
    std::size_t work = 0;  // steps of work spent, as the bounds count them
};

// Converts `source` and, once the whole drawing is converted, sends its
// records to `sink` from BeginPicture to EndPicture. The process is left as
// it was found: libxml2's handlers and entity loader are restored.
Result Convert(const Source& source, recordscript::RecordSink& sink,
               const Options& options = Options());

// Whether this build can flatten effects (it was built with librsvg).
bool CanFlatten();

}  // namespace svgreader
