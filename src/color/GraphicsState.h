// Fill and stroke state that colour, stroke and path records act on.
#pragma once

#include "host/Payloads.h"

struct GraphicsState {
    SetStrokeData stroke;
    SetColorByValueData strokeColor;
    NAME_TAG strokeColorName;
    SetColorByValueData fillColor;
    NAME_TAG fillColorName;
    int strokeByName;
    int fillByName;
    unsigned short fillType;
    SetFillTypeNameData fillTypeName;
    double matrix[6];
};

// Fill types as the records carry them.
enum : unsigned short {
    kFillOutline = 0,
    kFillSolid = 1,
    kFillGradient = 2,
    kFillPattern = 3,
    kFillSolidAlias = 4,
    kFillNone = 5,
};

enum : short { kStrokeNone = 5 };

// PostScript's codes for the host's line caps and joins; -1 for values it lacks.
inline int CapCode(short cap) { return cap == 0 ? 2 : cap == 1 ? 1 : cap == 2 ? 0 : -1; }
inline int JoinCode(short join) { return join == 0 ? 2 : join == 1 ? 0 : join == 2 ? 1 : -1; }

// 1/255 as the output has always used it: a multiplier, not a division.
constexpr double kOneOver255 = 0.00392156862745098;

constexpr int kDefinitionSlots = 1024;

// Takes the colour group that the model names (CMYK for any model but 0);
// the other group keeps its values.
inline void StoreColor(SetColorByValueData& stored, const SetColorByValueData& given)
{
    stored.model = given.model;
    if (given.model != 0) {
        stored.cyan = given.cyan;
        stored.magenta = given.magenta;
        stored.yellow = given.yellow;
        stored.black = given.black;
    } else {
        stored.red = given.red;
        stored.green = given.green;
        stored.blue = given.blue;
    }
}
