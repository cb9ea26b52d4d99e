// Values in record scripts: characters as messages show them, and numbers
// read for a field of a given kind.
#include "ScriptValues.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace recordscript {

std::string Shown(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F)
        return std::string(1, c);
    static const char digits[] = "0123456789ABCDEF";
    return std::string("\\x") + digits[u >> 4] + digits[u & 15];
}

std::string Quoted(std::string_view text)
{
    std::string out = "'";
    // Long or hostile tokens are cut, so a message stays one readable line.
    const std::size_t shown = text.size() < 40 ? text.size() : 40;
    for (std::size_t i = 0; i < shown; ++i)
        out += Shown(text[i]);
    if (shown < text.size())
        out += "...";
    return out + "'";
}

const char* KindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::kU8: return "an integer 0..255";
    case FieldKind::kU16: return "an integer 0..65535";
    case FieldKind::kI16: return "an integer -32768..32767";
    case FieldKind::kU32: return "an integer 0..4294967295";
    case FieldKind::kI32: return "an integer -2147483648..2147483647";
    case FieldKind::kF64: return "a real number";
    case FieldKind::kChars:
    case FieldKind::kCountedChars:
    case FieldKind::kText: return "a string in double quotes";
    case FieldKind::kBytes: return "byte data in <...>";
    }
    return "a value";
}

Range RangeOf(FieldKind kind)
{
    switch (kind) {
    case FieldKind::kU8: return {0, 255, 8};
    case FieldKind::kU16: return {0, 65535, 16};
    case FieldKind::kI16: return {-32768, 32767, 16};
    case FieldKind::kU32: return {0, 4294967295LL, 32};
    case FieldKind::kI32: return {-2147483648LL, 2147483647LL, 32};
    default: return {0, 0, 0};
    }
}

NumberResult ParseInteger(std::string_view text, Range range, long long& value)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        unsigned long long v = 0;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const int h = HexValue(text[i]);
            if (h < 0)
                return NumberResult::kMalformed;
            if (v > (1ULL << range.bits))
                return NumberResult::kOutOfRange;  // keep shifting from overflowing
            v = v * 16 + static_cast<unsigned>(h);
        }
        if (v >= (1ULL << range.bits))
            return NumberResult::kOutOfRange;
        long long s = static_cast<long long>(v);
        if (range.min < 0 && s > range.max)
            s -= static_cast<long long>(1ULL << range.bits);
        value = s;
        return NumberResult::kOk;
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return NumberResult::kMalformed;
    unsigned long long v = 0;
    bool big = false;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            return NumberResult::kMalformed;
        if (v > (1ULL << 40))
            big = true;  // past every field's range; keep validating the digits
        else
            v = v * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (big)
        return NumberResult::kOutOfRange;
    const long long s = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
    if (s < range.min || s > range.max)
        return NumberResult::kOutOfRange;
    value = s;
    return NumberResult::kOk;
}

NumberResult ParseReal(std::string_view text, double& value)
{
    if (text == "nan" || text == "+nan" || text == "-nan") {
        value = std::numeric_limits<double>::quiet_NaN();
        return NumberResult::kOk;
    }
    if (text == "inf" || text == "+inf" || text == "-inf") {
        value = text[0] == '-' ? -std::numeric_limits<double>::infinity()
                               : std::numeric_limits<double>::infinity();
        return NumberResult::kOk;
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        long long v = 0;
        const NumberResult r = ParseInteger(text, {0, (1LL << 53), 53}, v);
        if (r == NumberResult::kOk)
            value = static_cast<double>(v);
        return r;
    }
    // Check the shape by hand: from_chars would also take forms (hex floats,
    // "infinity") that the format does not have.
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t numberStart = text[0] == '+' ? 1 : 0;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return NumberResult::kMalformed;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return NumberResult::kMalformed;
    }
    if (i != text.size())
        return NumberResult::kMalformed;
    const char* first = text.data() + numberStart;
    const char* last = text.data() + text.size();
    double v = 0.0;
    const auto [end, ec] = std::from_chars(first, last, v);
    if (ec == std::errc::result_out_of_range) {
        // Too small is zero, too large an error: tell them apart by the
        // decimal exponent of the first significant digit.
        long exponent = 0;
        long position = 0;  // of the first significant digit, 0 just before the point
        bool significant = false;
        bool afterPoint = false;
        std::size_t k = numberStart + (text[numberStart] == '-' ? 1 : 0);
        for (; k < text.size() && text[k] != 'e' && text[k] != 'E'; ++k) {
            if (text[k] == '.') {
                afterPoint = true;
            } else if (!significant) {
                if (afterPoint)
                    --position;
                if (text[k] != '0')
                    significant = true;
            } else if (!afterPoint) {
                ++position;
            }
        }
        if (k + 1 < text.size()) {
            const bool negative = text[k + 1] == '-';
            for (++k; k < text.size(); ++k)
                if (IsDigit(text[k]) && exponent < 100000)
                    exponent = exponent * 10 + (text[k] - '0');
            exponent = negative ? -exponent : exponent;
        }
        if (position + exponent < 0) {
            value = text[0] == '-' ? -0.0 : 0.0;
            return NumberResult::kOk;
        }
        return NumberResult::kOutOfRange;
    }
    if (ec != std::errc() || end != last)
        return NumberResult::kMalformed;
    value = v;
    return NumberResult::kOk;
}

}  // namespace recordscript
