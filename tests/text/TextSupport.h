// Records of a text object, built with the defaults the filter starts from.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

// A character-attribute record equal to the reset state except where named; a name as long
// as its array is stored without a terminator, as a careless host would send it.
inline SetCharAttrData CharAttr(const std::string& face = "Arial",
                                const std::string& style = "Regular", double size = 12.0,
                                int sizeIsEm = 0)
{
    SetCharAttrData d{};
    std::memcpy(d.faceName, face.data(), std::min(face.size(), sizeof d.faceName));
    std::memcpy(d.styleName, style.data(), std::min(style.size(), sizeof d.styleName));
    d.faceNameLength = static_cast<std::uint16_t>(face.size());
    d.styleNameLength = static_cast<std::uint16_t>(style.size());
    d.kernClass = 1;
    d.fontSize = size;
    d.sizeIsEm = static_cast<std::uint8_t>(sizeIsEm);
    d.horizontalScale = 1.0;
    d.attributeValueD = 1.0;
    return d;
}

inline int SendText(ExportSession& s, const char* text)
{
    _TextData d{const_cast<char*>(text), 0,
                text != nullptr ? static_cast<std::uint32_t>(std::strlen(text)) : 0};
    return s.Record(aiop::kText, d);
}
