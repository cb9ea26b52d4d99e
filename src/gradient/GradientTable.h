// Gradient definitions gathered during a picture, written at its end.
#pragma once

#include <string>
#include <unordered_map>

#include "filter/DefinitionNames.h"
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

// Everything of a slot but its stops, so that emptying it is one assignment.
struct GradientDefinition {
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
};

struct GradientSlot : GradientDefinition {
    AOwnedArray<GradientStop> stops;
};

// The gradient table's indexes: the first slot of each name, the slot of each
// written name, and per name the smallest number that may be free for it, so
// that defining a gradient never scans the table.
struct GradientNames {
    DefinitionIndex byName{kMaxDefinitionName};
    std::unordered_map<std::string, int> written;
    std::unordered_map<std::string, int> nextNumber;

    void Clear()
    {
        byName.Clear();
        written.clear();
        nextNumber.clear();
    }
};

// Far beyond any real gradient; keeps the size of a stop array from overflowing.
constexpr std::size_t kMaxGradientStops = std::size_t{1} << 20;
