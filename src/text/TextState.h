// Current character and paragraph attributes and the pending text run.
#pragma once

#include <cstdint>

#include "platform/OwnedArray.h"

// Every attribute with its default, so that a reset is one assignment.
struct TextAttributes {
    unsigned short textType = 0;

    std::uint16_t faceNameLength = 5;
    char faceName[64] = "Arial";
    std::uint16_t styleNameLength = 7;
    char styleName[64] = "Regular";
    std::uint32_t attributeWordA = 0;
    std::uint32_t attributeWordB = 0;
    std::uint32_t kernClass = 1;
    double fontSize = 12.0;
    std::uint8_t sizeIsEm = 0;
    double horizontalScale = 1.0;
    double attributeValueC = 0.0;
    double wordSpacing = 0.0;
    double charSpacing = 0.0;
    double attributeValueD = 1.0;

    double tracking = 0.0;

    std::uint32_t alignment = 0;
    std::uint32_t paragraphWordB = 0;
    std::uint32_t paragraphWordC = 0;
    std::uint32_t paragraphWordD = 0;
    double leading = 24.0;
    double paragraphLeading = 0.0;
    std::uint32_t paragraphWordE = 0;

    double textScale[2] = {1.0, 1.0};
    std::uint32_t pendingLength = 0;  // of pendingString
    double textMatrix[6] = {1.0 / 72, 0.0, 0.0, 1.0 / 72, 0.0, 0.0};
    double verticalOffset = 0.0;
};

struct TextState : TextAttributes {
    // The text of the run not yet written, NUL-terminated.
    AOwnedArray<char> pendingString;
};
