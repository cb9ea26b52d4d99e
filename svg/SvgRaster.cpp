// Raster images of SVG: data URIs and linked PNG or JPEG files decoded to RGB rows.
#include "SvgRaster.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstddef>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace svgreader {

namespace {

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+' || c == '-')
        return 62;
    if (c == '/' || c == '_')
        return 63;
    return -1;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The decoder sizes its buffer for a PNG's image data by the lengths the
// chunks claim, before it reads them: each chunk must lie within the bytes.
bool PngChunksFit(const std::vector<std::uint8_t>& bytes)
{
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin()))
        return true;  // not a PNG
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        const std::size_t length = std::size_t{bytes[at]} << 24 | std::size_t{bytes[at + 1]} << 16 |
                                   std::size_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (length > bytes.size() - at - 8)
            return false;
        if (std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 8), "IEND"))
            return true;
        at += 8 + length + 4;
    }
    return false;  // no end chunk: cut short
}

}  // namespace

bool DecodeDataUri(std::string_view uri, std::vector<std::uint8_t>& bytes, std::string& mediaType)
{
    if (uri.size() < 5 || uri.substr(0, 5) != "data:")
        return false;
    const std::size_t comma = uri.find(',');
    if (comma == std::string_view::npos)
        return false;
    const std::string_view header = uri.substr(5, comma - 5);
    const std::string_view payload = uri.substr(comma + 1);
    const bool base64 = header.size() >= 7 && header.substr(header.size() - 7) == ";base64";
    mediaType = std::string(header.substr(0, header.find(';')));
    bytes.clear();
    if (base64) {
        unsigned value = 0;
        int bits = 0;
        for (char c : payload) {
            const int v = Base64Value(c);
            if (v < 0)
                continue;  // blanks, line breaks and padding
            value = (value << 6) | static_cast<unsigned>(v);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                bytes.push_back(static_cast<std::uint8_t>((value >> bits) & 0xFF));
            }
        }
        return true;
    }
    for (std::size_t i = 0; i < payload.size(); ++i) {
        if (payload[i] == '%' && i + 2 < payload.size() && HexValue(payload[i + 1]) >= 0 &&
            HexValue(payload[i + 2]) >= 0) {
            bytes.push_back(static_cast<std::uint8_t>(HexValue(payload[i + 1]) * 16 +
                                                      HexValue(payload[i + 2])));
            i += 2;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(payload[i]));
        }
    }
    return true;
}

namespace {

// What stb_image may be handed: some bytes, an int's worth, and no PNG chunk
// that claims more than the data holds.
bool DataUsable(const std::vector<std::uint8_t>& bytes, std::string& reason)
{
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        reason = "no image data";
        return false;
    }
    if (!PngChunksFit(bytes)) {
        reason = "a PNG whose chunks do not fit in its data";
        return false;
    }
    return true;
}

}  // namespace

bool ImageFits(const std::vector<std::uint8_t>& bytes, std::size_t maxPixels, std::string& reason)
{
    if (!DataUsable(bytes, reason))
        return false;
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels)) {
        reason = stbi_failure_reason() != nullptr ? stbi_failure_reason() : "undecodable";
        return false;
    }
    if (static_cast<std::size_t>(w) * static_cast<std::size_t>(h) > maxPixels) {
        reason = "more than " + std::to_string(maxPixels) + " pixels";
        return false;
    }
    return true;
}

bool DecodeImage(const std::vector<std::uint8_t>& bytes, RgbImage& image, std::string& reason,
                 std::size_t maxPixels)
{
    if (!DataUsable(bytes, reason))
        return false;
    int w = 0, h = 0, channels = 0;
    if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels) &&
        static_cast<std::size_t>(w) * static_cast<std::size_t>(h) > maxPixels) {
        reason = "more than " + std::to_string(maxPixels) + " pixels";
        return false;
    }
    stbi_uc* data =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 4);
    if (data == nullptr) {
        reason = stbi_failure_reason() != nullptr ? stbi_failure_reason() : "undecodable";
        return false;
    }
    image.width = w;
    image.height = h;
    image.hadTransparency = false;
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    image.pixels.resize(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned a = data[i * 4 + 3];
        if (a != 255)
            image.hadTransparency = true;
        // Composited on white: the format has no alpha channel.
        for (int k = 0; k < 3; ++k)
            image.pixels[i * 3 + k] =
                static_cast<std::uint8_t>((data[i * 4 + k] * a + 255 * (255 - a) + 127) / 255);
    }
    stbi_image_free(data);
    return true;
}

}  // namespace svgreader
