// Record-script lines built from values: numbers, quoted strings and byte data.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace svgreader {

class RecordWriter {
public:
    std::string text;

    RecordWriter& Name(std::string_view name)
    {
        text += name;
        return *this;
    }
    // Ten significant digits: far below what the module's four decimals of a
    // point show, and short enough to read. Never locale-dependent.
    RecordWriter& Real(double v)
    {
        // Rounding dust (6e-15 for a zero through a rotation) is zero, and
        // there is no "-0"; non-finite values never reach here.
        if (!(v == v) || (v < 1e-9 && v > -1e-9))
            v = 0;
        char digits[32];
        const auto r =
            std::to_chars(digits, digits + sizeof digits, v, std::chars_format::general, 10);
        text += ' ';
        text.append(digits, r.ptr);
        return *this;
    }
    RecordWriter& Int(long long v)
    {
        text += ' ';
        text += std::to_string(v);
        return *this;
    }
    // A string field, cut to `limit` bytes so a fixed array keeps its
    // terminating zero. Escapes what the script reader would take as syntax
    // or as ${OUTDIR}, and every byte outside printable ASCII.
    RecordWriter& String(std::string_view s, std::size_t limit = std::string_view::npos)
    {
        if (s.size() > limit)
            s = s.substr(0, limit);
        static const char hex[] = "0123456789ABCDEF";
        text += " \"";
        for (char ch : s) {
            const auto u = static_cast<unsigned char>(ch);
            if (ch == '"' || ch == '\\') {
                text += '\\';
                text += ch;
            } else if (u < 0x20 || u >= 0x7F || ch == '$') {
                text += "\\x";
                text += hex[u >> 4];
                text += hex[u & 15];
            } else {
                text += ch;
            }
        }
        text += '"';
        return *this;
    }
    RecordWriter& Bytes(const std::uint8_t* data, std::size_t size)
    {
        static const char hex[] = "0123456789ABCDEF";
        text += " <";
        for (std::size_t i = 0; i < size; ++i) {
            text += hex[data[i] >> 4];
            text += hex[data[i] & 15];
        }
        text += '>';
        return *this;
    }
    RecordWriter& Comment(std::string_view s)
    {
        text += "  # ";
        for (char ch : s)
            text += (ch == '\n' || ch == '\r') ? ' ' : ch;
        return *this;
    }
    void End() { text += '\n'; }
};

}  // namespace svgreader
