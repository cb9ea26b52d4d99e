// Values in record scripts, shared by the parser: characters as messages show
// them, and numbers read for a field of a given kind.
#pragma once

#include <string>
#include <string_view>

#include "RecordTable.h"

namespace recordscript {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A character as a message shows it: printable ASCII as is, else \xHH.
std::string Shown(char c);
// A token in single quotes, cut short when long.
std::string Quoted(std::string_view text);
// What a field of the kind takes, as an error message names it.
const char* KindName(FieldKind kind);

struct Range {
    long long min;
    long long max;
    unsigned bits;
};

// The bounds and width of an integer field; zero for other kinds.
Range RangeOf(FieldKind kind);

enum class NumberResult { kOk, kMalformed, kOutOfRange };

// Decimal with optional sign, or 0x followed by hex digits (a bit pattern of
// the field's width, so 0xFFFF is -1 in a signed 16-bit field).
NumberResult ParseInteger(std::string_view text, Range range, long long& value);

// Decimal reals as C writes them (no locale), nan, inf, -inf, and integers.
NumberResult ParseReal(std::string_view text, double& value);

}  // namespace recordscript
