// Images: embedded or linked PNG, JPEG and the like decoded and embedded as
// rows of pixels; linked TIFF files linked by their box.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

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
    draw.SetMatrix({AsPrinted(a.a), AsPrinted(a.b), AsPrinted(-a.c), AsPrinted(-a.d),
                    AsPrinted(a.e), AsPrinted(a.f)});
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    BeginBitmapData begin{};
    begin.width = static_cast<std::int16_t>(image.width);
    begin.height = static_cast<std::int16_t>(image.height);
    begin.bytesPerRow = static_cast<std::int16_t>(rowBytes);
    begin.bitDepth = 8;
    begin.colorModel = 3;
    draw.BeginBitmap(begin);
    const std::size_t rowsPerRecord = std::max<std::size_t>(1, kBitmapRecordBytes / rowBytes);
    for (std::size_t row = 0; row < static_cast<std::size_t>(image.height); row += rowsPerRecord) {
        const std::size_t last = std::min<std::size_t>(row + rowsPerRecord, image.height) - 1;
        BitmapData rows{};
        rows.firstRow = static_cast<std::int16_t>(row);
        rows.lastRow = static_cast<std::int16_t>(last);
        rows.rowData = const_cast<unsigned char*>(image.pixels.data() + row * rowBytes);
        draw.Bitmap(rows);
    }
    draw.EndBitmap();
    Box box;
    for (const Point corner :
         {Point{0, 0}, Point{double(image.width), 0}, Point{0, double(image.height)},
          Point{double(image.width), double(image.height)}}) {
        const Point p = a.Apply(corner);
        box.Add(p.x, p.y);
    }
    NoteUnknownArea(box);
    ++objects;
    if (NotingAreas()) {
        const double w = image.width, h = image.height;
        Path box;
        box.MoveTo(a.Apply({0, 0}).x, a.Apply({0, 0}).y);
        for (const Point corner : {Point{w, 0}, Point{w, h}, Point{0, h}})
            box.LineTo(a.Apply(corner).x, a.Apply(corner).y);
        box.Close();
        drawnAreas.push_back(std::move(box));
    }
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
    if (href.empty() || href == "file://") {
        Warn("images without a source", node);
        return false;
    }
    return ReadLinked(href, node, bytes, linked);
}

namespace {

// A link as the warning names it: printable, and not a whole page long.
std::string Shown(const std::string& href)
{
    std::string out;
    for (char c : href.substr(0, 120))
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return "'" + out + (href.size() > 120 ? "...'" : "'");
}

bool Inside(const std::string& file, const std::string& root)
{
    return root == "/" || file == root ||
           (file.size() > root.size() && file.compare(0, root.size(), root) == 0 &&
            file[root.size()] == '/');
}

}  // namespace

bool Reader::ReadLinked(const std::string& href, xmlNodePtr node, std::vector<std::uint8_t>& bytes,
                        std::string& linked)
{
    auto refuse = [&](const std::string& why) {
        Warn("linked file " + Shown(href) + " (" + why + ")", node);
        return false;
    };
    if (!options.links)
        return refuse("links are off");
    linked = href.rfind("file://", 0) == 0 ? href.substr(7) : href;
    if (linked.empty() || linked.find('\0') != std::string::npos)
        return refuse("no such file");
    if (linked[0] != '/') {
        if (path == "-")
            return refuse("standard input has no directory to link from");
        linked = linkBase + "/" + linked;
    }
    // The file itself, symbolic links followed, must lie where links may.
    char* real = ::realpath(linked.c_str(), nullptr);
    if (real == nullptr)
        return refuse(errno == ENOENT ? "no such file" : std::strerror(errno));
    const std::string resolved = real;
    std::free(real);
    if (std::none_of(linkRoots.begin(), linkRoots.end(),
                     [&](const std::string& root) { return Inside(resolved, root); }))
        return refuse(options.linkDir.empty() && path != "-"
                          ? "outside the drawing's directory"
                          : "outside the directories it may link from");
    // A regular file of bounded size, opened without blocking: a device or
    // a pipe would never end.
    struct stat info {};
    if (::stat(resolved.c_str(), &info) != 0)
        return refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return refuse("not a regular file");
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refuse(std::strerror(errno));
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok && static_cast<std::size_t>(info.st_size) > kMaxImageFileBytes) {
        ::close(fd);
        return refuse("more than " + std::to_string(kMaxImageFileBytes >> 20) + " MB");
    }
    bytes.clear();
    std::uint8_t buffer[65536];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
        ok = bytes.size() <= kMaxImageFileBytes;
    }
    const int error = errno;
    ::close(fd);
    if (!ok)
        return refuse(bytes.size() > kMaxImageFileBytes
                          ? "more than " + std::to_string(kMaxImageFileBytes >> 20) + " MB"
                          : std::string(std::strerror(error)));
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
        // What shows through is drawn with it, in an image of its box.
        if (depth == 0) {
            Path box = RectPath(x, y, w, h, 0, 0);
            box.Transform(view.ctm);
            NoteUnknownArea(BoundsOf(box), static_cast<long>(effects.size()));
        }
        // Within an object walked apart, that object is the image.
        if (capture != nullptr)
            ++objects;
        else
            FlattenInstead(node);
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
    PathBitmapData placed{};
    PutChars(placed.filePath, sizeof placed.filePath, linked);
    placed.fileType = 1;
    placed.placeX = AsPrinted(b.minX);
    placed.placeY = AsPrinted(b.maxY);
    placed.placeWidth = AsPrinted(b.Width());
    placed.placeHeight = AsPrinted(b.Height());
    placed.placeScale = 1;
    draw.PathBitmap(placed);
    NoteUnknownArea(b);
    ++objects;
}

}  // namespace svgreader
