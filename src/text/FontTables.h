// Constant tables that map host font names to PostScript font names.
#pragma once

#include <cstddef>

struct HostFontRow {
    const char* name;                // face, "-", style; empty at the end of a group
    unsigned short postScriptIndex;  // into postScriptNameTable
};

extern const HostFontRow hostFontTable[];
extern const std::size_t hostFontRowCount;
// First row of each letter's group, A to Z; a letter without fonts starts on an empty row.
extern const unsigned short letterStartTable[26];
extern const char* const postScriptNameTable[];
extern const std::size_t postScriptNameCount;
