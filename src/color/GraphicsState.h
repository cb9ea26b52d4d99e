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

// 1/255 as the output has always used it: a multiplier, not a division.
constexpr double kOneOver255 = 0.00392156862745098;

constexpr int kDefinitionSlots = 1024;
