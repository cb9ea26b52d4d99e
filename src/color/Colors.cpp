// Fill types, fill rule, colours by value, the colour operators and conversions.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "filter/AAIExportFilter.h"

namespace {

// Truncation toward zero into 16 bits. Host values far out of range would make
// the plain conversion undefined; they saturate instead.
unsigned short TruncateToUnsignedShort(double v)
{
    if (!(v > 0.0))
        return 0;
    if (v >= 65535.0)
        return 65535;
    return static_cast<unsigned short>(v);
}

bool SameColor(const SetColorByValueData& stored, const SetColorByValueData& given)
{
    if (stored.model != given.model)
        return false;
    if (given.model != 0)
        return stored.cyan == given.cyan && stored.magenta == given.magenta &&
               stored.yellow == given.yellow && stored.black == given.black;
    return stored.red == given.red && stored.green == given.green && stored.blue == given.blue;
}

// Does the text end with the whole operator token op (preceded by a blank,
// a line break or nothing)? Other operators also end in these letters.
bool EndsWithOperator(const char* text, unsigned int length, const char* op)
{
    const std::size_t n = std::strlen(op);
    if (length < n || std::memcmp(text + length - n, op, n) != 0)
        return false;
    if (length == n)
        return true;
    const char before = text[length - n - 1];
    return before == ' ' || before == '\n';
}

}  // namespace

int AAIExportFilter::ConvertCMYK_RGB(double c, double m, double y, double k, unsigned short& r,
                                     unsigned short& g, unsigned short& b)
{
    r = TruncateToUnsignedShort((1.0 - std::min(1.0, c + k)) * 255.0);
    g = TruncateToUnsignedShort((1.0 - std::min(1.0, m + k)) * 255.0);
    b = TruncateToUnsignedShort((1.0 - std::min(1.0, y + k)) * 255.0);
    return 1;
}

int AAIExportFilter::ConvertRGB_CMYK(double& c, double& m, double& y, double& k, unsigned short r,
                                     unsigned short g, unsigned short b)
{
    c = 1.0 - r * kOneOver255;
    m = 1.0 - g * kOneOver255;
    y = 1.0 - b * kOneOver255;
    k = std::min(c, std::min(m, y));
    return 1;
}

int AAIExportFilter::ConverRGB_Gray(double& gray, unsigned short r, unsigned short g,
                                    unsigned short b)
{
    // The order of the sum is part of the output: it decides the last bit.
    gray = ((b * 0.11 + g * 0.59) + r * 0.3) * kOneOver255;
    return 1;
}

int AAIExportFilter::ExportSetRGBColor(double r, double g, double b, int isFill, int isCustom,
                                       const char* name)
{
    if (patternFillWritten)
        return 1;
    if (isCustom && name == nullptr)
        return 0;
    if (r == g && g == b && !isCustom)
        return output.Write(token::Real{r}, isFill ? "g\n" : "G\n");
    const double rgb[3] = {r, g, b};
    if (isCustom)
        return output.Write(token::Reals{rgb, 3}, Name(name), isFill ? "0 1 Xx\n" : "0 1 XX\n");
    return output.Write(token::Reals{rgb, 3}, isFill ? "Xa\n" : "XA\n");
}

int AAIExportFilter::ExportSetCMYKColor(double c, double m, double y, double k, int isFill,
                                        int isCustom, const char* name)
{
    if (patternFillWritten)
        return 1;
    if (isCustom && name == nullptr)
        return 0;
    const double cmyk[4] = {c, m, y, k};
    if (!isCustom)
        return output.Write(token::Reals{cmyk, 4}, isFill ? "k\n" : "K\n");
    // The tint is the share of the colour taken away: 0 shows it in full.
    return output.Write(token::Reals{cmyk, 4}, Name(name), isFill ? "0 x\n" : "0 X\n");
}

int AAIExportFilter::OpenColorOperator()
{
    // Inside a text object the colour belongs to the runs that follow it.
    if (!BreakRun())
        return 0;
    if (inPatternDefinition && !patternTileAttribWritten) {
        // Each colour inside a tile opens a new tile item.
        patternTileAttribWritten = 1;
        if (!SetPatternTilePathAttrib())
            return 0;
    }
    return 1;
}

int AAIExportFilter::ExportSetValueColor(SetColorByValueData* color, int isFill)
{
    if (color == nullptr)
        return 0;
    if (!OpenColorOperator())
        return 0;
    if (color->model == 1)
        return ExportSetCMYKColor(color->cyan, color->magenta, color->yellow, color->black, isFill,
                                  0, nullptr);
    return ExportSetRGBColor(color->red * kOneOver255, color->green * kOneOver255,
                             color->blue * kOneOver255, isFill, 0, nullptr);
}

int AAIExportFilter::SetFillColorByValue(SetColorByValueData* data)
{
    if (data == nullptr)
        return 0;
    if (!fillTypeChanged && !graphicsState.fillByName &&
        SameColor(graphicsState.fillColor, *data) && !inPatternDefinition && !patternTileFirstPath)
        return 1;
    graphicsState.fillByName = 0;
    StoreColor(graphicsState.fillColor, *data);
    return ExportSetValueColor(data, 1);
}

int AAIExportFilter::SetStrokeColorByValue(SetColorByValueData* data)
{
    if (data == nullptr)
        return 0;
    // strokeColorStale: the stroke colour was reset without an operator, so
    // the stored value says nothing about the colour in force in the file.
    if (!fillTypeChanged && !graphicsState.strokeByName && !strokeColorStale &&
        SameColor(graphicsState.strokeColor, *data) && !inPatternDefinition &&
        !patternTileFirstPath)
        return 1;
    graphicsState.strokeByName = 0;
    StoreColor(graphicsState.strokeColor, *data);
    const int written = ExportSetValueColor(data, 0);
    if (written)
        strokeColorStale = 0;
    return written;
}

int AAIExportFilter::SetFillType(unsigned short* data)
{
    if (data == nullptr)
        return 0;
    const unsigned short type = *data;
    // Compared with the record's value, so 4 counts as a change from 1.
    fillTypeChanged = graphicsState.fillType != type;
    if (fillTypeChanged && !BreakRun())
        return 0;
    graphicsState.fillType = type;

    if (type == kFillOutline && output.HasBuffer()) {
        // The fill colour just written becomes the stroke colour: capitalise
        // its operator while it is still in the buffer.
        char* const text = output.Data();
        const unsigned int length = output.Length();
        if (EndsWithOperator(text, length, "g\n"))
            text[length - 2] = 'G';
        else if (EndsWithOperator(text, length, "Xa\n"))
            text[length - 2] = 'A';
        else if (EndsWithOperator(text, length, "k\n"))
            text[length - 2] = 'K';
    }
    if (type == kFillSolidAlias)
        graphicsState.fillType = kFillSolid;
    if (graphicsState.fillType == kFillNone) {
        ResetFillColor();
        graphicsState.fillByName = 0;
        graphicsState.fillColorName.name[0] = '\0';
    }
    return 1;
}

int AAIExportFilter::SetFillMode(unsigned short* data)
{
    // Always the non-zero winding rule, whatever the record asks for.
    if (data == nullptr)
        return 0;
    return output.Write("0 XR\n");
}

int AAIExportFilter::SetFillTypeName(SetFillTypeNameData* data)
{
    if (data == nullptr)
        return 0;
    if (!BreakRun())
        return 0;
    graphicsState.fillType = data->fillType;
    graphicsState.fillTypeName = *data;
    // The lookups compare it as a C string; the host's array may lack its NUL.
    graphicsState.fillTypeName.name[sizeof graphicsState.fillTypeName.name - 1] = '\0';

    // A solid fill by name is the colour by name from now on; a pattern or a
    // gradient takes the place of any named colour.
    graphicsState.fillColorName.name[0] = '\0';
    switch (data->fillType) {
    case kFillPattern: return SetExportPatternFill() ? 1 : 0;
    case kFillGradient: return 1;  // painted when the path ends
    case kFillSolid: {
        NAME_TAG tag{};
        tag.tag = data->tag;
        std::memcpy(tag.name, graphicsState.fillTypeName.name, sizeof tag.name);
        graphicsState.fillByName = 1;
        graphicsState.fillColorName = tag;
        return ExportSetNameColor(&tag, 1) ? 1 : 0;
    }
    case kFillNone: return 1;
    default: return 0;
    }
}
