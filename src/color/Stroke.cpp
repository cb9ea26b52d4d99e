// Stroke style: dash, width, cap, join and miter limit, written on change.
#include "filter/AAIExportFilter.h"

namespace {

// Every piece of the line, two real numbers at most, with room to spare.
constexpr std::size_t kStrokeRoom = 2 * kMaxRealToken + 64;

const char* DashText(int style)
{
    switch (style) {
    case 0: return "[ ] 0 d ";
    case 1: return "[ 12 12 12 12 12 12 ] 0 d ";
    case 2: return "[ 2 12 2 12 2 12 ] 0 d ";
    case 3: return "[ 12 12 2 12 ] 0 d ";
    case 4: return "[ 12 12 2 12 2 12 ] 0 d ";
    default: return nullptr;
    }
}

const char* CapText(int cap)
{
    switch (cap) {
    case 0: return "2 J ";
    case 1: return "1 J ";
    case 2: return "0 J ";
    default: return nullptr;
    }
}

const char* JoinText(int join)
{
    switch (join) {
    case 0: return "2 j ";
    case 1: return "0 j ";
    case 2: return "1 j ";
    default: return nullptr;
    }
}

constexpr double kMiterLimitFloor = 1.0001;

}  // namespace

int AAIExportFilter::SetStroke(SetStrokeData* data)
{
    if (data == nullptr)
        return 0;
    if (!EnsureRoom(kStrokeRoom))
        return 0;
    SetStrokeData& stroke = graphicsState.stroke;

    if (data->style != stroke.style) {
        stroke.style = data->style;
        if (const char* dash = DashText(stroke.style))
            bufferLength += AppendStringToBuffer(buffer + bufferLength, dash);
    }

    if (stroke.style == kStrokeNone) {
        if (graphicsState.fillType != kFillOutline) {
            graphicsState.strokeColor.model = 0;
            graphicsState.strokeColor.red = 0;
            graphicsState.strokeColor.green = 0;
            graphicsState.strokeColor.blue = 0;
            graphicsState.strokeByName = 0;
            graphicsState.strokeColorName.name[0] = '\0';
            strokeColorStale = 1;
        } else {
            // An outline object becomes a hairline in its fill colour; that
            // colour's operator was already made a stroke operator by
            // SetFillType, so only the state follows here.
            stroke.width = 0.0;
            graphicsState.fillType = kFillNone;
            stroke.style = 0;
            bufferLength += AppendStringToBuffer(buffer + bufferLength, "[ ] 0 d 0 w ");
            const SetColorByValueData& fill = graphicsState.fillColor;
            SetColorByValueData& line = graphicsState.strokeColor;
            line.model = fill.model;
            if (fill.model == 0) {
                line.red = fill.red;
                line.green = fill.green;
                line.blue = fill.blue;
            } else {
                line.cyan = fill.cyan;
                line.magenta = fill.magenta;
                line.yellow = fill.yellow;
                line.black = fill.black;
            }
            ResetFillColor();
            graphicsState.fillByName = 0;
            graphicsState.fillColorName.name[0] = '\0';
        }
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "\n");
        return 1;
    }

    if (data->width != stroke.width) {
        stroke.width = data->width;
        bufferLength += FloatToString(buffer + bufferLength, DistanceToPS(stroke.width));
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "w ");
    }
    if (data->cap != stroke.cap) {
        stroke.cap = data->cap;
        if (const char* cap = CapText(stroke.cap))
            bufferLength += AppendStringToBuffer(buffer + bufferLength, cap);
    }
    if (data->join != stroke.join) {
        stroke.join = data->join;
        if (const char* join = JoinText(stroke.join))
            bufferLength += AppendStringToBuffer(buffer + bufferLength, join);
    }
    if (data->miterLimit != stroke.miterLimit) {
        // Limits of 1 and below are no limit to a PostScript reader; a NaN
        // limit is floored the same way rather than written as 0.
        const double limit = data->miterLimit;
        stroke.miterLimit = limit > 1.0 ? limit : kMiterLimitFloor;
        bufferLength += FloatToString(buffer + bufferLength, stroke.miterLimit);
        bufferLength += AppendStringToBuffer(buffer + bufferLength, "M ");
    }
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "\n");
    return 1;
}
