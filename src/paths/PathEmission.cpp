// Path records written as Illustrator path operators as they arrive.
#include "filter/AAIExportFilter.h"

namespace {

// Headroom before a point: where the buffer is flushed between records.
// Numbers of any size are written whole: a line longer than the headroom
// grows the buffer (WriteRealsLine), an ordinary one never does.
constexpr unsigned kPointMargin = 32;
constexpr unsigned kCurveMargin = 128;
// Headroom kept after a path: the next one usually fits before a flush.
constexpr unsigned kPathEndMargin = 4096;

}  // namespace

int AAIExportFilter::BeginPath()
{
    if (inPatternDefinition && (patternTileAttribWritten || patternTileFirstPath)) {
        patternTileAttribWritten = 0;
        SetPatternTilePathLineStyle();  // its result does not decide the record's
        patternTileFirstPath = 0;
    }
    return 1;
}

int AAIExportFilter::MoveTo(MoveToData* data)
{
    if (data == nullptr)
        return 0;
    if (inGuide) {
        // Host units: the guide is written by EndGuide.
        guideStart = {data->x, data->y};
        guideEnd = {data->x, data->y};
        return 1;
    }
    if (compoundPending) {
        // A compound path begun inside a tile opens with its first point.
        if (!output.Write("*u\n1 XR\n"))
            return 0;
        compoundPending = 0;
    }
    if (!output.FlushIfAbove(kPointMargin))
        return 0;

    const double x = xDrawingToPS(data->x);
    const double y = yDrawingToPS(data->y);
    const double point[2] = {x, y};
    if (!output.WriteRealsLine(point, 2, "m\n"))
        return 0;
    // Every subpath of one path belongs to its box: a tile's extent is read from it.
    if (pathOpen)
        pathBounds.ExtendLine(x, y);
    else
        pathBounds.Start(x, y);
    pathOpen = true;
    // A later member of a compound path keeps growing the region of the first.
    if (!(regionBounds.valid && compositeDepth > 0))
        regionBounds.Start(x, y);
    currentPoint = {x, y};
    subpathStart = {x, y};
    return 1;
}

int AAIExportFilter::LineTo(LineToData* data)
{
    if (data == nullptr)
        return 0;
    if (inGuide) {
        guideEnd = {data->x, data->y};
        return 1;
    }
    if (!pathOpen)
        return 0;
    if (!output.FlushIfAbove(kPointMargin))
        return 0;

    const double x = xDrawingToPS(data->x);
    const double y = yDrawingToPS(data->y);
    const double point[2] = {x, y};
    if (!output.WriteRealsLine(point, 2, "l\n"))
        return 0;
    pathBounds.ExtendLine(x, y);
    regionBounds.ExtendLine(x, y);
    currentPoint = {x, y};
    return 1;
}

int AAIExportFilter::CurveTo(CurveToData* data)
{
    if (data == nullptr)
        return 0;
    if (inGuide)
        return 1;  // a guide is a straight line; curves leave its points alone
    if (!pathOpen)
        return 0;
    if (!output.FlushIfAbove(kCurveMargin))
        return 0;

    const double x1 = xDrawingToPS(data->x1);
    const double y1 = yDrawingToPS(data->y1);
    const double x2 = xDrawingToPS(data->x2);
    const double y2 = yDrawingToPS(data->y2);
    const double x3 = xDrawingToPS(data->x3);
    const double y3 = yDrawingToPS(data->y3);
    const double points[6] = {x1, y1, x2, y2, x3, y3};
    if (!output.WriteRealsLine(points, 6, "c\n"))
        return 0;
    // One exact box for the segment serves both boxes.
    const PathBounds segment =
        PathBounds::OfCurve(currentPoint.x, currentPoint.y, x1, y1, x2, y2, x3, y3);
    pathBounds.ExtendBox(segment);
    regionBounds.ExtendBox(segment);
    currentPoint = {x3, y3};
    return 1;
}

int AAIExportFilter::ClosePath()
{
    // Nothing is written: the lower-case paint operator closes the path.
    pathClosed = true;
    return 1;
}

int AAIExportFilter::EndPath()
{
    char paint[] = "F\n";
    int painted = 1;
    if (inGuide)
        return 1;  // EndGuide writes the guide
    if (inClipRegion) {
        if (!output.Write("h\nW\nn\n"))
            return 0;
    } else {
        GetPaintFromGSatate(paint);
        if (graphicsState.fillType == kFillGradient) {
            // A gradient that is not defined writes nothing of its fill: the
            // path keeps its plain operator and ends like any other, and the
            // record reports the failure.
            painted = PaintGradient(paint);
            if (!painted && !output.Write(paint))
                return 0;
            // Outside a compound path each gradient gets a box of its own.
            if (compositeDepth == 0)
                regionBounds.Invalidate();
        } else if (!output.Write(paint)) {
            return 0;
        }
    }
    // Small paths reach the body in blocks, not in a system call each.
    if (!output.FlushIfAbove(kPathEndMargin))
        return 0;

    if (inPatternDefinition && currentPatternIndex >= 0 && currentPatternIndex < kDefinitionSlots) {
        // The tile's extent is the union of its paths' boxes. The slot is the
        // pattern's own index, which a gradient fill in the tile cannot move.
        PatternSlot& slot = patternTable[currentPatternIndex];
        if (!slot.tileBoundsValid) {
            slot.minX = pathBounds.minX;
            slot.minY = pathBounds.minY;
            slot.maxX = pathBounds.maxX;
            slot.maxY = pathBounds.maxY;
            slot.tileBoundsValid = true;
        } else {
            if (pathBounds.minX < slot.minX)
                slot.minX = pathBounds.minX;
            if (pathBounds.minY < slot.minY)
                slot.minY = pathBounds.minY;
            if (pathBounds.maxX > slot.maxX)
                slot.maxX = pathBounds.maxX;
            if (pathBounds.maxY > slot.maxY)
                slot.maxY = pathBounds.maxY;
        }
    }
    pathOpen = false;
    pathClosed = false;
    patternFillWritten = 0;
    return painted;
}

int AAIExportFilter::Line(LineData* data)
{
    if (data == nullptr)
        return 0;
    // Through the virtual operations, as the records themselves would go.
    MoveToData start{data->x1, data->y1};
    LineToData end{data->x2, data->y2};
    if (!BeginPath() || !MoveTo(&start) || !LineTo(&end))
        return 0;
    return EndPath() ? 1 : 0;
}
