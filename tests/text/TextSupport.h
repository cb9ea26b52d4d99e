// Text records for the text-object tests.
#pragma once

#include <cstring>
#include <string>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

// A text record for the characters, counted; null stays null.
inline int SendText(ExportSession& s, const char* text)
{
    _TextData d{const_cast<char*>(text), 0,
                text != nullptr ? static_cast<std::uint32_t>(std::strlen(text)) : 0};
    return s.Record(aiop::kText, d);
}
