// Numbers, strings and names as PostScript tokens.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "filter/AAIExportFilter.h"
#include "output/OutputWriter.h"

namespace {

// Two hexadecimal digits per byte, upper case.
struct HexTable {
    char pairs[256][2];
    constexpr HexTable() : pairs()
    {
        const char digits[] = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            pairs[i][0] = digits[i >> 4];
            pairs[i][1] = digits[i & 15];
        }
    }
};
constexpr HexTable kHex;

// Four bytes to eight upper-case hex digits at once, in memory order: each
// byte spreads into a 16-bit lane holding its high nibble first, then every
// nibble becomes '0'..'9' or, with 7 more, 'A'..'F'. A flip of 0xFF writes
// 255 - b for every byte b (inverted rows) at no extra cost.
template <unsigned char Flip>
inline void HexFour(char* out, const unsigned char* in)
{
    const std::uint64_t y =
        (static_cast<std::uint64_t>(in[0]) | static_cast<std::uint64_t>(in[1]) << 16 |
         static_cast<std::uint64_t>(in[2]) << 32 | static_cast<std::uint64_t>(in[3]) << 48) ^
        Flip * 0x0001000100010001ULL;
    const std::uint64_t nibbles =
        ((y >> 4) & 0x000F000F000F000FULL) | ((y & 0x000F000F000F000FULL) << 8);
    const std::uint64_t letters = ((nibbles + 0x0606060606060606ULL) >> 4) & 0x0101010101010101ULL;
    const std::uint64_t ascii = nibbles + 0x3030303030303030ULL + letters * 7;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(out, &ascii, 8);
#else
    for (int b = 0; b < 8; ++b)
        out[b] = static_cast<char>(ascii >> (8 * b));
#endif
}

#ifdef __SSE2__
// Sixteen bytes to thirty-two hex digits with SSE2, the same nibble rule.
template <unsigned char Flip>
inline void HexSixteen(char* out, const unsigned char* in)
{
    const __m128i bytes = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                                        _mm_set1_epi8(static_cast<char>(Flip)));
    const __m128i mask = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), mask);
    const __m128i low = _mm_and_si128(bytes, mask);
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i seven = _mm_set1_epi8(7);
    auto ascii = [&](__m128i n) {
        const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(n, nine), seven);
        return _mm_add_epi8(_mm_add_epi8(n, zero), letters);
    };
    const __m128i h = ascii(high);
    const __m128i l = ascii(low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(h, l));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi8(h, l));
}
#endif

// Does the text go into a PostScript string unchanged? Balanced parentheses
// do; a stray one or a backslash would end the string early or swallow the
// rest of the file. No control byte does either: names also stand on comment
// lines, which a reader ends at a line feed, a return or a form feed, and the
// rest of the name would run as code.
bool IsPlainStringBody(const char* text)
{
    int depth = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth < 0)
                return false;
        } else if (c == '\\' || c < 0x20 || c == 0x7f) {
            return false;
        }
    }
    return depth == 0;
}

}  // namespace

unsigned int AOutputWriter::IntegerToString(char* dst, int value)
{
    char* end = std::to_chars(dst, dst + kMaxIntegerToken, value).ptr;
    *end++ = ' ';
    *end = '\0';
    return static_cast<unsigned int>(end - dst);
}

int AAIExportFilter::TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(value);
}

unsigned int AOutputWriter::FloatToString(char* dst, double value)
{
    char* const end = fixed_point::PutReal(dst, value);
    *end = '\0';
    return static_cast<unsigned int>(end - dst);
}

unsigned int AOutputWriter::StringToPSString(char* dst, const char* text)
{
    // An ordinary name goes in as it is; one that would end the string early
    // or swallow what follows is escaped, and reads back as the same bytes.
    dst[0] = '(';
    unsigned int n = 1;
    if (IsPlainStringBody(text)) {
        const std::size_t length = std::strlen(text);
        std::memcpy(dst + 1, text, length);
        n += static_cast<unsigned int>(length);
    } else {
        n += StringToStandardExportString(dst + 1, text);
    }
    std::memcpy(dst + n, ") ", 3);
    return n + 2;
}

unsigned int AOutputWriter::StringToNestedPSString(char* dst, const char* text)
{
    if (IsPlainStringBody(text))
        return StringToPSString(dst, text);
    // Its parentheses and escapes are escaped once more, so the enclosing
    // string reads back as the token.
    char* out = dst;
    *out++ = '\\';
    *out++ = '(';
    for (const char* p = text; *p != '\0'; ++p) {
        const char one[2] = {*p, '\0'};
        char once[8];
        const unsigned int n = StringToStandardExportString(once, one);
        for (unsigned int i = 0; i < n; ++i) {
            if (once[i] == '\\' || once[i] == '(' || once[i] == ')')
                *out++ = '\\';
            *out++ = once[i];
        }
    }
    std::memcpy(out, "\\) ", 4);
    return static_cast<unsigned int>(out + 3 - dst);
}

unsigned int AOutputWriter::StringToStandardExportString(char* dst, const char* text)
{
    char* out = dst;
    for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        const unsigned char c = *p;
        if (c == '\\' || c == '(' || c == ')') {
            *out++ = '\\';
            *out++ = static_cast<char>(c);
        } else if (c == 10 || c == 13) {
            *out++ = '\\';
            *out++ = 'r';
        } else if (c == 9) {
            *out++ = '\\';
            *out++ = 't';
        } else if (c < 32 || c >= 127) {
            *out++ = '\\';
            *out++ = static_cast<char>('0' + (c >> 6));
            *out++ = static_cast<char>('0' + ((c >> 3) & 7));
            *out++ = static_cast<char>('0' + (c & 7));
        } else {
            *out++ = static_cast<char>(c);
        }
    }
    *out = '\0';
    return static_cast<unsigned int>(out - dst);
}

unsigned int AOutputWriter::StringToFontName(char* dst, const char* name)
{
    // A name token ends at a blank or a delimiter, and a reader takes bytes from 128
    // on for binary tokens: a host's font name keeps its printable ASCII characters
    // only, or the rest of the name would become tokens of its own.
    char* out = dst;
    *out++ = '/';
    *out++ = '_';
    for (const char* p = name; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c > ' ' && c < 0x7f && std::strchr("()<>[]{}/%", *p) == nullptr)
            *out++ = *p;
    }
    std::memcpy(out, " ", 2);
    return static_cast<unsigned int>(out + 1 - dst);
}

namespace {

template <unsigned char Flip>
unsigned int WriteHexLines(char* dst, const unsigned char* bytes, int count, int row)
{
    if (count < 1)
        return 0;
    char* out = dst;
    // The running index continues across rows: lines of 30 bytes, each opened by "%".
    const long long k = static_cast<long long>(row) * count;
    int column = static_cast<int>(((k % 30) + 30) % 30);
    int i = 0;
    while (i < count) {
        if (column == 0)
            *out++ = '%';
        const int run = count - i < 30 - column ? count - i : 30 - column;
        const unsigned char* p = bytes + i;
        const unsigned char* const end = p + run;
#ifdef __SSE2__
        for (; end - p >= 16; p += 16, out += 32)
            HexSixteen<Flip>(out, p);
#endif
        for (; end - p >= 4; p += 4, out += 8)
            HexFour<Flip>(out, p);
        for (; p != end; ++p, out += 2)
            std::memcpy(out, kHex.pairs[*p ^ Flip], 2);
        i += run;
        column += run;
        if (column == 30) {
            *out++ = '\n';
            column = 0;
        }
    }
    *out = '\0';
    return static_cast<unsigned int>(out - dst);
}

}  // namespace

std::size_t AOutputWriter::HexRoom(int count)
{
    if (count < 1)
        return 0;
    const auto n = static_cast<std::size_t>(count);
    return 2 * n + 2 * ((n - 1) / 30 + 1);
}

unsigned int AOutputWriter::HexToPSCommentHexString(char* dst, const unsigned char* bytes,
                                                    int count, int row)
{
    return WriteHexLines<0>(dst, bytes, count, row);
}

unsigned int AOutputWriter::HexToPSCommentHexStringInverted(char* dst, const unsigned char* bytes,
                                                            int count, int row)
{
    return WriteHexLines<0xFF>(dst, bytes, count, row);
}
