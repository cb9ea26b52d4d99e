// Pattern definitions: tile data and where each definition sits in the body.
#pragma once

#include "host/Payloads.h"

struct PatternSlot {
    unsigned short tag;
    char name[64];
    double tileWidth;
    double tileHeight;
    double extra1;
    double extra2;
    double extra3;
    unsigned short extraWord;
    char transfer;
    double columnSpacing;
    double rowSpacing;
    unsigned long long tempPosition;
    bool hasBackground;
    SetColorByValueData background;
    bool tileBoundsValid;
    double minX;
    double minY;
    double maxX;
    double maxY;
    // A path was filled with the pattern: its header box takes in one gap
    // between tiles, however many fills there were.
    bool used;
};
