// Numbers, strings and names as PostScript tokens.
#include <charconv>
#include <cmath>
#include <cstring>

#include "filter/AAIExportFilter.h"

namespace {

// Two hexadecimal digits per byte, upper case; the second table holds the
// digits of 255 - b, so inverted rows are written without a copy.
struct HexTable {
    char pairs[256][2];
    constexpr explicit HexTable(bool inverted) : pairs()
    {
        const char digits[] = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            const int b = inverted ? 255 - i : i;
            pairs[i][0] = digits[b >> 4];
            pairs[i][1] = digits[b & 15];
        }
    }
};
constexpr HexTable kHex(false);
constexpr HexTable kHexInverted(true);

// Comment lines of 30 bytes, the running index k = row * count + i deciding
// where "%" and the line feeds fall. Whole runs up to the next line end are
// written without a test per byte.
unsigned int WriteHexLines(char* dst, const unsigned char* bytes, int count, int row,
                           const HexTable& table)
{
    if (count < 1)
        return 0;
    char* out = dst;
    const long long k = static_cast<long long>(row) * count;
    int column = static_cast<int>(((k % 30) + 30) % 30);
    int i = 0;
    while (i < count) {
        if (column == 0)
            *out++ = '%';
        const int run = count - i < 30 - column ? count - i : 30 - column;
        for (const unsigned char* p = bytes + i; p != bytes + i + run; ++p) {
            std::memcpy(out, table.pairs[*p], 2);
            out += 2;
        }
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

unsigned int AAIExportFilter::IntegerToString(char* dst, int value)
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

unsigned int AAIExportFilter::FloatToString(char* dst, double value)
{
    if (!std::isfinite(value))
        value = 0.0;
    // Exactly what "%.4f" writes, without the locale and far faster.
    char* end = std::to_chars(dst, dst + kMaxRealToken - 1, value, std::chars_format::fixed, 4).ptr;
    *end++ = ' ';
    *end = '\0';
    return static_cast<unsigned int>(end - dst);
}

unsigned int AAIExportFilter::StringToPSString(char* dst, const char* text)
{
    const std::size_t length = std::strlen(text);
    dst[0] = '(';
    std::memcpy(dst + 1, text, length);
    std::memcpy(dst + 1 + length, ") ", 3);
    return static_cast<unsigned int>(length + 3);
}

unsigned int AAIExportFilter::StringToPSStringNoTail(char* dst, const char* text)
{
    std::size_t length = std::strlen(text);
    const char* underscore = std::strrchr(text, '_');
    if (underscore != nullptr) {
        const char* p = underscore + 1;
        while (*p >= '0' && *p <= '9')
            ++p;
        while (*p == ' ')
            ++p;
        if (*p == '\0')
            length = static_cast<std::size_t>(underscore - text);
    }
    dst[0] = '(';
    std::memcpy(dst + 1, text, length);
    std::memcpy(dst + 1 + length, ") ", 3);
    return static_cast<unsigned int>(length + 3);
}

unsigned int AAIExportFilter::StringToStandardExportString(char* dst, const char* text)
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

unsigned int AAIExportFilter::StringToFontName(char* dst, const char* name)
{
    const std::size_t length = std::strlen(name);
    std::memcpy(dst, "/_", 2);
    std::memcpy(dst + 2, name, length);
    std::memcpy(dst + 2 + length, " ", 2);
    return static_cast<unsigned int>(length + 3);
}

unsigned int AAIExportFilter::StandardFilePath(char* dst, const char* path)
{
    char* out = dst;
    for (const char* p = path; *p != '\0'; ++p) {
        *out++ = *p;
        if (*p == '\\')
            *out++ = '\\';
    }
    *out = '\0';
    return static_cast<unsigned int>(out - dst);
}

unsigned int AAIExportFilter::HexToPSCommentHexString(char* dst, const unsigned char* bytes,
                                                      int count, int row)
{
    return WriteHexLines(dst, bytes, count, row, kHex);
}

unsigned int AAIExportFilter::HexToPSCommentHexStringInverted(char* dst,
                                                              const unsigned char* bytes,
                                                              int count, int row)
{
    return WriteHexLines(dst, bytes, count, row, kHexInverted);
}
