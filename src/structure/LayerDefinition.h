// A layer declared by name before the drawing.
#pragma once

#include <cstdint>

struct LayerDefinition {
    char name[256];
    std::int32_t visibility;
};
