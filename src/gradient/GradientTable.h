// Gradient definitions gathered during a picture, written at its end.
#pragma once

#include "host/Payloads.h"
#include "platform/OwnedArray.h"

struct GradientStop {
    double location;
    double midpoint;
    GradientColor color;
    unsigned short flags;
};

// A name of up to 63 characters, a blank and a number of up to four digits.
constexpr int kMaxWrittenGradientName = 63 + 1 + 4;

struct GradientSlot {
    unsigned short tag;
    char name[64];
    // What readers see, chosen when the gradient is defined: the name without
    // a numeric tail where no other gradient is written so, else the whole
    // name, else the whole name and a number.
    char writtenName[kMaxWrittenGradientName + 1];
    short type;
    double startX;
    double startY;
    double endX;
    double endY;
    AOwnedArray<GradientStop> stops;
};

// Far beyond any real gradient; keeps the size of a stop array from overflowing.
constexpr std::size_t kMaxGradientStops = std::size_t{1} << 20;
