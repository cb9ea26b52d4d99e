// Images: embedded or linked PNG, JPEG and the like decoded and embedded as
// rows of pixels; linked TIFF files linked by their box.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "SvgDocument.h"
#include "SvgXml.h"

namespace svgreader {

namespace {

bool IsTiff(const std::vector<std::uint8_t>& b)
{
    return b.size() >= 4 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                             (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42));
}

}  // namespace

void Reader::Bitmap(const RgbImage& image, const Matrix& a)
{
    // Pixel (u, v), v counting rows downwards, lands on page point
    // a(u, v); the module's matrix negates the row terms.
    draw.Name("SetMatrix").Real(a.a).Real(a.b).Real(-a.c).Real(-a.d).Real(a.e).Real(a.f).End();
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    draw.Name("BeginBitmap")
        .Int(image.width)
        .Int(image.height)
        .Int(static_cast<long long>(rowBytes))
        .Int(8)
        .Int(3)
        .End();
    const std::size_t rowsPerRecord = std::max<std::size_t>(1, kBitmapRecordBytes / rowBytes);
    for (std::size_t row = 0; row < static_cast<std::size_t>(image.height); row += rowsPerRecord) {
        const std::size_t last = std::min<std::size_t>(row + rowsPerRecord, image.height) - 1;
        draw.Name("Bitmap")
            .Int(static_cast<long long>(row))
            .Int(static_cast<long long>(last))
            .Bytes(image.pixels.data() + row * rowBytes, (last - row + 1) * rowBytes)
            .End();
    }
    draw.Name("EndBitmap").End();
    ++objects;
}

// The image's bytes from its data URI or its file; `linked` is the file's
// path. False, warned, when there are none to have.
bool Reader::ImageBytes(xmlNodePtr node, std::vector<std::uint8_t>& bytes, std::string& linked)
{
    const std::string href = Href(node).value_or("");
    if (href.rfind("data:", 0) == 0) {
        std::string mediaType;
        if (DecodeDataUri(href, bytes, mediaType))
            return true;
        Warn("malformed data URIs of images", node);
        return false;
    }
    if (href.find("://") != std::string::npos && href.rfind("file://", 0) != 0) {
        Warn("images on the network", node);
        return false;
    }
    linked = href.rfind("file://", 0) == 0 ? href.substr(7) : href;
    if (linked.empty()) {
        Warn("images without a source", node);
        return false;
    }
    if (linked[0] != '/') {
        const std::size_t slash = file.rfind('/');
        linked =
            (slash == std::string::npos ? std::string(".") : file.substr(0, slash)) + "/" + linked;
    }
    // A regular file of bounded size: a device or a pipe would never end.
    struct stat info {};
    std::ifstream in;
    if (::stat(linked.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) <= kMaxImageFileBytes)
        in.open(linked, std::ios::binary);
    if (!in) {
        Warn("linked images that cannot be read", node);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void Reader::Image(xmlNodePtr node, const Style& style, const View& view)
{
    if (!style.visible)
        return;
    if (!style.clipPath.empty())
        Warn("clip paths on images", node);
    std::vector<std::uint8_t> bytes;
    std::string linked;  // a file path when the image is not embedded
    if (!ImageBytes(node, bytes, linked))
        return;
    const bool tiff = IsTiff(bytes);
    RgbImage image;
    if (!tiff) {
        std::string reason;
        if (!DecodeImage(bytes, image, reason, kMaxImagePixels)) {
            Warn("images that cannot be decoded (" + reason + ")", node);
            return;
        }
    } else if (linked.empty()) {
        Warn("embedded TIFF images", node);
        return;
    }

    const auto [x, y, w, h] = PlacementOf(node, style, view, image.width, image.height);
    if (!(w > 0) || !(h > 0))
        return;
    if (tiff) {
        LinkedTiff(node, linked, RectPath(x, y, w, h, 0, 0), view.ctm);
        return;
    }
    if (static_cast<long long>(image.width) * 3 > 32767 || image.height > 32767) {
        Warn("images wider than 10922 or taller than 32767 pixels", node);
        return;
    }
    if (image.hadTransparency && Flattening()) {
        FlattenInstead(node);  // what shows through is drawn with it
        return;
    }
    if (image.hadTransparency)
        Warn("transparency of images (composited on white)", node);

    // preserveAspectRatio: the image's own proportions, aligned in its box.
    const std::string par = Attr(node, "preserveAspectRatio").value_or("xMidYMid meet");
    double sx = w / image.width, sy = h / image.height, tx = x, ty = y;
    if (par.find("none") == std::string::npos) {
        if (par.find("slice") != std::string::npos)
            Warn("images that preserveAspectRatio slices (shown whole)", node);
        const double sc = std::min(sx, sy);
        tx += (w - image.width * sc) * AlignFraction(par, 'x');
        ty += (h - image.height * sc) * AlignFraction(par, 'Y');
        sx = sy = sc;
    }
    const Matrix placement = view.ctm * Matrix{sx, 0, 0, sy, tx, ty};
    if (!placement.IsFinite())
        return;
    Bitmap(image, placement);
}

// Linked as a file: placed by its box, which must stand upright.
void Reader::LinkedTiff(xmlNodePtr node, const std::string& linked, Path box, const Matrix& m)
{
    if (std::fabs(m.b) > 1e-12 || std::fabs(m.c) > 1e-12)
        Warn("rotated or skewed linked images (placed by their box)", node);
    box.Transform(m);
    const Box b = BoundsOf(box);
    if (linked.size() > kFilePathLimit) {
        Warn("linked images with paths longer than 257 bytes", node);
        return;
    }
    draw.Name("PathBitmap")
        .String(linked)
        .Int(1)
        .Real(b.minX)
        .Real(b.maxY)
        .Real(b.Width())
        .Real(b.Height())
        .Real(1)
        .End();
    ++objects;
}

}  // namespace svgreader
