// Path records written as Illustrator path operators as they arrive.
#include "filter/AAIExportFilter.h"

namespace {

// Headroom before a point: where the buffer is flushed between records.
constexpr unsigned kPointMargin = 32;
constexpr unsigned kCurveMargin = 128;
// What a segment line may really need: numbers of any size are written whole,
// so the room is ensured after the flush, by growing the buffer if need be.
constexpr std::size_t kPointRoom = 2 * kMaxRealToken + sizeof "m\n";
constexpr std::size_t kCurveRoom = 6 * kMaxRealToken + sizeof "c\n";

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
        if (!Append("*u\n") || !Append("1 XR\n"))
            return 0;
        compoundPending = 0;
    }
    if (!FlushIfAbove(kPointMargin) || !EnsureRoom(kPointRoom))
        return 0;

    const double x = xDrawingToPS(data->x);
    const double y = yDrawingToPS(data->y);
    pathOpen = true;
    pathBounds.Start(x, y);
    // A later member of a compound path keeps growing the region of the first.
    if (!(regionBounds.valid && compositeDepth > 0))
        regionBounds.Start(x, y);
    currentPoint = {x, y};
    subpathStart = {x, y};

    bufferLength += FloatToString(buffer + bufferLength, x);
    bufferLength += FloatToString(buffer + bufferLength, y);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "m\n");
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
    if (!FlushIfAbove(kPointMargin) || !EnsureRoom(kPointRoom))
        return 0;

    const double x = xDrawingToPS(data->x);
    const double y = yDrawingToPS(data->y);
    pathBounds.ExtendLine(x, y);
    regionBounds.ExtendLine(x, y);
    currentPoint = {x, y};

    bufferLength += FloatToString(buffer + bufferLength, x);
    bufferLength += FloatToString(buffer + bufferLength, y);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "l\n");
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
    if (!FlushIfAbove(kCurveMargin) || !EnsureRoom(kCurveRoom))
        return 0;

    const double x1 = xDrawingToPS(data->x1);
    const double y1 = yDrawingToPS(data->y1);
    const double x2 = xDrawingToPS(data->x2);
    const double y2 = yDrawingToPS(data->y2);
    const double x3 = xDrawingToPS(data->x3);
    const double y3 = yDrawingToPS(data->y3);
    pathBounds.ExtendCurve(currentPoint.x, currentPoint.y, x1, y1, x2, y2, x3, y3);
    regionBounds.ExtendCurve(currentPoint.x, currentPoint.y, x1, y1, x2, y2, x3, y3);
    currentPoint = {x3, y3};

    for (const double v : {x1, y1, x2, y2, x3, y3})
        bufferLength += FloatToString(buffer + bufferLength, v);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "c\n");
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
        if (!Append("h\nW\nn\n"))
            return 0;
    } else {
        GetPaintFromGSatate(paint);
        if (graphicsState.fillType == kFillGradient) {
            // A gradient that is not defined writes nothing of its fill: the
            // path keeps its plain operator and ends like any other, and the
            // record reports the failure.
            painted = PaintGradient(paint);
            if (!painted && !Append(paint))
                return 0;
            // Outside a compound path each gradient gets a box of its own.
            if (compositeDepth == 0)
                regionBounds.Invalidate();
        } else if (!Append(paint)) {
            return 0;
        }
    }
    if (!WriteBufferToExportFile(0))
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
