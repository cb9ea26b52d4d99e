// Raster images of SVG: data URIs and linked PNG or JPEG files decoded to RGB rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace svgreader {

struct RgbImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // rows top down, 3 bytes a pixel
    bool hadTransparency = false;      // alpha below opaque, composited on white
};

// "data:[type][;base64],payload": the payload's bytes and the media type.
bool DecodeDataUri(std::string_view uri, std::vector<std::uint8_t>& bytes, std::string& mediaType);

// PNG, JPEG (and the other formats the decoder knows) to RGB. On failure
// gives the decoder's reason. An image of more than `maxPixels` is refused
// from its header, before any memory is spent on its pixels.
bool DecodeImage(const std::vector<std::uint8_t>& bytes, RgbImage& image, std::string& reason,
                 std::size_t maxPixels);

// Whether DecodeImage would decode the image, judged from its header: a
// format it knows, of at most `maxPixels`. Else the reason.
bool ImageFits(const std::vector<std::uint8_t>& bytes, std::size_t maxPixels, std::string& reason);

}  // namespace svgreader
