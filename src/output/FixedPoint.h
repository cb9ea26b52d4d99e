// Reals as "%.4f" writes them, inline where a line of numbers is built.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace fixed_point {

// A reader holds reals in single precision (up to about 3.4e38) and stops
// at a number beyond. It also multiplies what it reads: a coordinate by
// the matrices and the resolution, a length by itself. Two written values
// multiplied stay within 1e30, leaving a factor of 3e8 for the device
// transform and for sums; no drawing comes near 1e15 points.
constexpr double kLargestReal = 1e15;

// "00" to "99": integer digits two at a time.
struct DigitPairs {
    char pairs[100][2];
    constexpr DigitPairs() : pairs()
    {
        for (int i = 0; i < 100; ++i) {
            pairs[i][0] = static_cast<char>('0' + i / 10);
            pairs[i][1] = static_cast<char>('0' + i % 10);
        }
    }
};
inline constexpr DigitPairs kDigits;

// Writes value (below 10^9) in decimal, straight to its place; returns the end.
// Coordinates in points have at most four digits before the point: those take
// two comparisons and no loop.
inline char* WriteUnsigned(char* out, std::uint32_t value)
{
    if (value < 100) {
        if (value < 10) {
            *out = static_cast<char>('0' + value);
            return out + 1;
        }
        std::memcpy(out, kDigits.pairs[value], 2);
        return out + 2;
    }
    if (value < 10000) {
        const std::uint32_t high = value / 100;
        const std::uint32_t low = value % 100;
        if (high < 10) {
            *out = static_cast<char>('0' + high);
            std::memcpy(out + 1, kDigits.pairs[low], 2);
            return out + 3;
        }
        std::memcpy(out, kDigits.pairs[high], 2);
        std::memcpy(out + 2, kDigits.pairs[low], 2);
        return out + 4;
    }
    int n = 5;
    for (std::uint32_t limit = 100000; n < 9 && value >= limit; limit *= 10)
        ++n;
    char* const end = out + n;
    char* p = end;
    while (value >= 100) {
        const char* pair = kDigits.pairs[value % 100];
        value /= 100;
        p -= 2;
        std::memcpy(p, pair, 2);
    }
    if (value >= 10)
        std::memcpy(p - 2, kDigits.pairs[value], 2);
    else
        p[-1] = static_cast<char>('0' + value);
    return end;
}

// Below 2^40 ten-thousandths the scaled value carries at least 12 fraction
// bits, so its error (half an ulp, at most 2^-13) can only change the
// rounding when the fraction lies within 2^-12 of one half.
constexpr double kFastLimit = 1099511627776.0;  // 2^40
constexpr double kTieMargin = 1.0 / 4096;

// "%.4f" of a finite value by integer digit generation; false when the value
// is too large or too close to a tie to be sure, so the caller falls back.
inline bool FastFixed4(char*& out, double value)
{
    const double magnitude = std::fabs(value);
    const double scaled = magnitude * 10000.0;
    if (!(scaled < kFastLimit))
        return false;
    // Truncation is the floor here: scaled is not negative.
    const auto truncated = static_cast<std::uint64_t>(scaled);
    const double fraction = scaled - static_cast<double>(truncated);
    if (std::fabs(fraction - 0.5) <= kTieMargin)
        return false;
    const std::uint64_t units = truncated + (fraction > 0.5 ? 1 : 0);
    char* p = out;
    if (std::signbit(value))
        *p++ = '-';  // printf keeps the sign of values that round to zero
    // Below 2^40 ten-thousandths the whole part is below 10^9.
    p = WriteUnsigned(p, static_cast<std::uint32_t>(units / 10000));
    const auto decimals = static_cast<unsigned>(units % 10000);
    p[0] = '.';
    std::memcpy(p + 1, kDigits.pairs[decimals / 100], 2);
    std::memcpy(p + 3, kDigits.pairs[decimals % 100], 2);
    out = p + 5;
    return true;
}

// One real token, "%.4f" and a blank, at out; the end. No NUL is written.
// Room: sign, 309 digits of the largest double, point, four decimals, blank.
inline char* PutReal(char* out, double value)
{
    if (!std::isfinite(value))
        value = 0.0;
    value = std::clamp(value, -kLargestReal, kLargestReal);
    char* end = out;
    if (!FastFixed4(end, value))
        end = std::to_chars(out, out + 1 + 309 + 1 + 4, value, std::chars_format::fixed, 4).ptr;
    *end = ' ';
    return end + 1;
}

}  // namespace fixed_point
