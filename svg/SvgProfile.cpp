// What export profiles add to a drawing: the page the art is placed on, the
// outline a cutter follows and the marks it finds the print by.
#include <algorithm>
#include <cstring>

#include "SvgDocument.h"
#include "SvgStrokeOutline.h"

namespace svgreader {

namespace {

// No page is narrower than a point, whatever the art (a level hairline).
constexpr double kMinPageSide = 1.0 / 72;
// Registration marks: filled squares of 5 mm, 5 mm clear of the art.
constexpr double kMarkSide = 5 / 25.4;
constexpr double kMarkGap = 5 / 25.4;

template <typename T>
T Read(const void* payload, std::size_t size)
{
    T value{};
    if (payload != nullptr && size >= sizeof value)
        std::memcpy(&value, payload, sizeof value);
    return value;
}

}  // namespace

Box ArtBox(const RecordBuffer& records)
{
    Box art;
    Box path;
    int hidden = 0;  // pattern tiles and guides
    unsigned short fillType = 1;
    double halfStroke = 0;
    bool stroked = false;
    SetMatrixData matrix{1, 0, 0, 1, 0, 0};
    // What is drawn inside a clip group counts within the clip's box only:
    // bands of a gradient reach beyond the shape they fill.
    std::vector<Box> clips;
    Box clip;
    bool inClip = false;
    records.ForEach([&](std::uint16_t op, const void* payload, std::size_t size) {
        switch (op) {
        case aiop::kBeginMask: clips.push_back(Box()); break;
        case aiop::kEndMask:
            if (!clips.empty())
                clips.pop_back();
            break;
        case aiop::kBeginClipRgn: inClip = true, clip = Box(); break;
        case aiop::kEndClipRgn:
            inClip = false;
            if (!clips.empty()) {
                clips.back() = clip;
                // An empty clip hides everything: a box no path meets.
                clips.back().valid = true;
                if (!clip.valid)
                    clips.back() = Box{1, 1, 0, 0, true};
            }
            break;
        case aiop::kBeginPattern:
        case aiop::kBeginGuide: ++hidden; break;
        case aiop::kEndPattern:
        case aiop::kEndGuide: --hidden; break;
        case aiop::kSetFillType: fillType = Read<unsigned short>(payload, size); break;
        case aiop::kSetFillTypeName: fillType = 2; break;
        case aiop::kSetStroke: {
            const auto s = Read<SetStrokeData>(payload, size);
            stroked = s.style != 5;
            halfStroke = stroked ? std::max(0.0, s.width / 2) : 0;
            break;
        }
        case aiop::kBeginPath: path = Box(); break;
        case aiop::kMoveTo:
        case aiop::kLineTo: {
            const auto p = Read<MoveToData>(payload, size);
            path.Add(p.x, p.y);
            break;
        }
        case aiop::kCurveTo: {
            // The control points bound the curve: near enough for a page.
            const auto c = Read<CurveToData>(payload, size);
            path.Add(c.x1, c.y1), path.Add(c.x2, c.y2), path.Add(c.x3, c.y3);
            break;
        }
        case aiop::kEndPath:
            if (inClip) {
                if (path.valid)
                    clip.Add(path.minX, path.minY), clip.Add(path.maxX, path.maxY);
            } else if (hidden == 0 && path.valid && (fillType != 5 || stroked)) {
                Box drawn = path;
                drawn.minX -= halfStroke, drawn.minY -= halfStroke;
                drawn.maxX += halfStroke, drawn.maxY += halfStroke;
                for (const Box& c : clips) {
                    if (!c.valid)
                        continue;
                    drawn.minX = std::max(drawn.minX, c.minX);
                    drawn.minY = std::max(drawn.minY, c.minY);
                    drawn.maxX = std::min(drawn.maxX, c.maxX);
                    drawn.maxY = std::min(drawn.maxY, c.maxY);
                }
                if (drawn.minX <= drawn.maxX && drawn.minY <= drawn.maxY)
                    art.Add(drawn.minX, drawn.minY), art.Add(drawn.maxX, drawn.maxY);
            }
            break;
        case aiop::kSetMatrix: matrix = Read<SetMatrixData>(payload, size); break;
        case aiop::kBeginBitmap: {
            const auto b = Read<BeginBitmapData>(payload, size);
            const double w = b.width, h = b.height;
            // The module's matrix negates the row terms (see Reader::Bitmap).
            for (const double u : {0.0, w})
                for (const double v : {0.0, h})
                    if (hidden == 0)
                        art.Add(matrix.a * u - matrix.c * v + matrix.tx,
                                matrix.b * u - matrix.d * v + matrix.ty);
            break;
        }
        case aiop::kSetTextMatrix: {
            const auto m = Read<SetTextMatrixData>(payload, size);
            if (hidden == 0)
                art.Add(m.tx, m.ty);
            break;
        }
        default: break;
        }
    });
    return art;
}

Matrix PagePlacement(const Options::Page& page, double pageWidth, double pageHeight, Box art,
                     double& width, double& height)
{
    width = pageWidth, height = pageHeight;
    if (page.kind == Options::Page::Kind::kAsDrawn)
        return Matrix{};
    if (!art.valid)
        art = Box{0, 0, pageWidth, pageHeight, true};
    if (page.kind == Options::Page::Kind::kArt) {
        width = std::max(art.Width(), kMinPageSide);
        height = std::max(art.Height(), kMinPageSide);
    } else {
        width = page.width, height = page.height;
    }
    // The art's centre on the page's: a part too large for it overhangs
    // evenly on both sides.
    return Matrix::Translate((width - art.Width()) / 2 - art.minX,
                             (height - art.Height()) / 2 - art.minY);
}

void Reader::Place(const Matrix& m, double width, double height)
{
    placed = true;
    placement = m;
    pictureWidth = width;
    pictureHeight = height;
}

void Reader::NoteArea(const Style& style, const ElementPaint& paint, const Matrix& ctm,
                      const Path& page)
{
    // Filled shapes cover their inside, open parts closed as SVG fills them;
    // stroked ones the inside of their closed parts and, unless strokes are
    // made hairlines, the stroke's own area.
    if (paint.fill.kind != FillKind::kNone) {
        drawnAreas.push_back(page);
    } else if (paint.stroke.kind != FillKind::kNone) {
        Path closed;
        for (const Subpath& s : page.subpaths)
            if (s.closed)
                closed.subpaths.push_back(s);
        if (!closed.Empty())
            drawnAreas.push_back(std::move(closed));
    }
    if (paint.stroke.kind == FillKind::kColor && options.strokes != Options::Strokes::kHairlines) {
        drawnAreas.push_back(StrokeOutline(page, StrokeShapeOf(style, ctm.Scale(), false)));
    }
    Spend(1);
}

void Reader::WriteCutLayers()
{
    const Path outline = OuterOutline(drawnAreas);
    std::vector<Path>().swap(drawnAreas);
    Spend(outline.subpaths.size());
    if (options.registrationMarks) {
        draw.BeginLayer(kRegistrationLayer);
        const Box box = ArtBox(draw);
        if (box.valid) {
            // Around all of the art, three corners, the fourth left open:
            // the cutter tells the print's turn from where the marks are.
            const double left = box.minX - kMarkGap - kMarkSide, right = box.maxX + kMarkGap;
            const double bottom = box.minY - kMarkGap - kMarkSide, top = box.maxY + kMarkGap;
            Path marks;
            for (const Point at : {Point{left, top}, Point{right, top}, Point{left, bottom}}) {
                marks.MoveTo(at.x, at.y);
                marks.LineTo(at.x + kMarkSide, at.y);
                marks.LineTo(at.x + kMarkSide, at.y + kMarkSide);
                marks.LineTo(at.x, at.y + kMarkSide);
                marks.Close();
            }
            ElementPaint black;
            black.fill.kind = FillKind::kColor;
            WriteShape(Style(), black, Matrix{}, marks);
        }
        draw.EndLayer();
    }
    if (options.cutContour) {
        SetColorByValueData magenta{};
        magenta.model = 1;
        magenta.red = 255, magenta.blue = 255;
        magenta.magenta = 1;
        const int tag = DefineSpot(kCutContourName, magenta);
        draw.BeginLayer(kCutContourName);
        draw.SetFillType(5);
        SetStrokeData hairline{};
        hairline.style = 0;
        hairline.width = kHairlineWidth;
        hairline.cap = 2;
        hairline.join = 1;
        hairline.miterLimit = 4;
        draw.SetStroke(hairline);
        NAME_TAG named{};
        named.tag = static_cast<std::uint16_t>(tag);
        PutChars(named.name, kNameLimit, kCutContourName);
        draw.SetStrokeColorByName(named);
        WritePath(outline);
        draw.EndLayer();
    }
}

}  // namespace svgreader
