// Layout of the embedded image whose rows are arriving.
#pragma once

#include <cstdint>

struct RasterRecord {
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::int16_t bytesPerRow = 0;
    std::uint16_t bitDepth = 0;
    std::uint16_t colorModel = 0;
};
