// Stroke style: dash, width, cap, join and miter limit, written on change.
#include "filter/AAIExportFilter.h"

namespace {

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

constexpr double kMiterLimitFloor = 1.0001;

// The longest line the record writes: dash, width, cap, join, miter limit.
constexpr std::size_t kStrokeRoom =
    AOutputWriter::RoomFor("[ 12 12 12 12 12 12 ] 0 d ", token::Real{}, "w ", token::Integer{},
                           "J ", token::Integer{}, "j ", token::Real{}, "M ", "\n");

}  // namespace

int AAIExportFilter::SetStroke(SetStrokeData* data)
{
    if (data == nullptr)
        return 0;
    auto out = output.Reserve(kStrokeRoom);
    if (!out)
        return 0;
    SetStrokeData& stroke = graphicsState.stroke;

    if (data->style != stroke.style) {
        stroke.style = data->style;
        if (const char* dash = DashText(stroke.style))
            out.Write(token::Text(dash));
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
            out.Write("[ ] 0 d 0 w ");
            StoreColor(graphicsState.strokeColor, graphicsState.fillColor);
            ResetFillColor();
            graphicsState.fillByName = 0;
            graphicsState.fillColorName.name[0] = '\0';
        }
        out.Write("\n");
        return 1;
    }

    if (data->width != stroke.width) {
        stroke.width = data->width;
        out.Write(token::Real{DistanceToPS(stroke.width)}, "w ");
    }
    if (data->cap != stroke.cap) {
        stroke.cap = data->cap;
        if (const int code = CapCode(stroke.cap); code >= 0)
            out.Write(token::Integer{code}, "J ");
    }
    if (data->join != stroke.join) {
        stroke.join = data->join;
        if (const int code = JoinCode(stroke.join); code >= 0)
            out.Write(token::Integer{code}, "j ");
    }
    if (data->miterLimit != stroke.miterLimit) {
        // Limits of 1 and below are no limit to a PostScript reader; a NaN
        // limit is floored the same way rather than written as 0.
        const double limit = data->miterLimit;
        stroke.miterLimit = limit > 1.0 ? limit : kMiterLimitFloor;
        out.Write(token::Real{stroke.miterLimit}, "M ");
    }
    out.Write("\n");
    return 1;
}
