// Gradient definitions gathered during a picture, written at its end.
#pragma once

#include "host/Payloads.h"

struct GradientStop {
    double location;
    double midpoint;
    GradientColor color;
    unsigned short flags;
};

struct GradientSlot {
    unsigned short tag;
    char name[64];
    short type;
    double startX;
    double startY;
    double endX;
    double endY;
    GradientStop* stops;
    int stopCount;
};

// Far beyond any real gradient; keeps the size of a stop array from overflowing.
constexpr int kMaxGradientStops = 1 << 20;
