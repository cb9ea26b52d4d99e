// Typed records to record-script text, laid out by the record table.
#include "ScriptPrinter.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "RecordTable.h"

namespace recordscript {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Records whose trailing fields are left out while they are zero, down to
// the first `kept`, as a script written by hand has them: a colour's CMYK
// values beside its RGB ones, what follows a stroke's style (style 5 is
// none), a pattern's extras, a gradient stop's tint and flags.
struct ShortForm {
    std::uint16_t opcode;
    std::size_t kept;
};
constexpr ShortForm kShortForms[] = {
    {aiop::kSetPatternDef, 4},
    {aiop::kSetGradientRGN, 6},
    {aiop::kSetStroke, 1},
    {aiop::kSetFillColorByValue, 4},
    {aiop::kSetStrokeColorByValue, 4},
    {aiop::kSetPatternBackground, 4},
};

std::size_t Kept(std::uint16_t opcode, std::size_t fieldCount)
{
    for (const ShortForm& form : kShortForms)
        if (form.opcode == opcode)
            return form.kept < fieldCount ? form.kept : fieldCount;
    return fieldCount;
}

template <class T>
T Get(const unsigned char* payload, std::size_t offset)
{
    T value{};
    std::memcpy(&value, payload + offset, sizeof value);
    return value;
}

// The bytes up to the first zero, within `size`.
std::string_view Terminated(const unsigned char* bytes, std::size_t size)
{
    const void* zero = std::memchr(bytes, 0, size);
    const std::size_t n = zero != nullptr ? static_cast<const unsigned char*>(zero) - bytes : size;
    return {reinterpret_cast<const char*>(bytes), n};
}

bool IsZero(const FieldLayout& field, const unsigned char* payload)
{
    switch (field.kind) {
    case FieldKind::kU8: return Get<std::uint8_t>(payload, field.offset) == 0;
    case FieldKind::kU16:
    case FieldKind::kI16: return Get<std::uint16_t>(payload, field.offset) == 0;
    case FieldKind::kU32:
    case FieldKind::kI32: return Get<std::uint32_t>(payload, field.offset) == 0;
    case FieldKind::kF64: return Get<double>(payload, field.offset) == 0;
    default: return false;  // strings and bytes are always written
    }
}

}  // namespace

void AppendReal(std::string& text, double v)
{
    if (v < 1e-9 && v > -1e-9)
        v = 0;
    char digits[32];
    auto r = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::general, 10);
    // Within a hair of the largest double, ten digits round past it: those
    // few take the digits that read back as themselves.
    if (v > 1.797693134e308 || v < -1.797693134e308)
        r = std::to_chars(digits, digits + sizeof digits, v);
    text += ' ';
    text.append(digits, r.ptr);
}

namespace {

// Powers of ten and five that are exact: doubles to 1e22, 64-bit integers to 5^27.
constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::uint64_t Five(int n) { return n == 0 ? 1 : 5 * Five(n - 1); }
constexpr std::uint64_t kFives[] = {Five(0),  Five(1),  Five(2),  Five(3),  Five(4),  Five(5),
                                    Five(6),  Five(7),  Five(8),  Five(9),  Five(10), Five(11),
                                    Five(12), Five(13), Five(14), Five(15), Five(16), Five(17),
                                    Five(18), Five(19), Five(20), Five(21), Five(22)};
constexpr int kMaxScale = 22;
constexpr std::uint64_t kLeastTenDigits = 1000000000;
__extension__ typedef unsigned __int128 Wide;  // GCC and Clang have it

// AsPrinted without the text, for the magnitudes drawings have: 10^scale *
// |v| is exact as a 128-bit integer shifted, so the ten digits are rounded as
// the printer rounds them (the exact value, ties to even) and, being fewer
// than 2^53 over an exact power of ten, divide back correctly rounded as the
// reader reads them. False where that does not hold; the text decides there.
bool RoundedExactly(double v, double& rounded)
{
    const double a = std::fabs(v);
    if (!(a >= 1e-9 && a < 1e10))
        return false;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &a, sizeof bits);
    const int exponent = static_cast<int>(bits >> 52) - 1075;
    const std::uint64_t mantissa =
        (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    // floor(log10(a)) from the binary exponent, one off at most; the loop
    // corrects it.
    const int binary = exponent + 52;
    int scale = 9 - static_cast<int>(std::floor(binary * 0.30102999566398120));
    for (int tries = 0; tries < 3; ++tries) {
        if (scale < 0 || scale > kMaxScale)
            return false;
        const Wide exact = static_cast<Wide>(mantissa) * kFives[scale];
        const int shift = -(exponent + scale);  // exact * 2^-shift = 10^scale * a
        if (shift <= 0 || shift >= 127)
            return false;  // |v| >= 1e-9 keeps the shift positive and small
        const Wide one = 1;
        const Wide whole = exact >> shift;
        if (whole < kLeastTenDigits) {
            ++scale;
            continue;
        }
        if (whole >= kLeastTenDigits * 10) {
            --scale;
            continue;
        }
        const Wide rest = exact & ((one << shift) - 1);
        const Wide half = one << (shift - 1);
        const std::uint64_t digits = static_cast<std::uint64_t>(whole) +
                                     ((rest > half || (rest == half && (whole & 1) != 0)) ? 1 : 0);
        rounded = static_cast<double>(digits) / kTens[scale];
        if (v < 0)
            rounded = -rounded;
        return true;
    }
    return false;
}

}  // namespace

double AsPrinted(double value)
{
    if (!std::isfinite(value))
        return value;
    if (value < 1e-9 && value > -1e-9)
        return 0;
    double rounded = 0;
    if (RoundedExactly(value, rounded))
        return rounded;
    std::string printed;
    AppendReal(printed, value);
    double read = 0;
    std::from_chars(printed.data() + 1, printed.data() + printed.size(), read);
    return read;
}

void AppendString(std::string& text, std::string_view s)
{
    text += " \"";
    for (char ch : s) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            text += '\\';
            text += ch;
        } else if (u < 0x20 || u >= 0x7F || ch == '$') {
            text += "\\x";
            text += kHex[u >> 4];
            text += kHex[u & 15];
        } else {
            text += ch;
        }
    }
    text += '"';
}

void ScriptPrinter::Comment(std::string_view comment)
{
    text += "# ";
    for (char ch : comment)
        text += (ch == '\n' || ch == '\r') ? ' ' : ch;
    text += '\n';
}

bool ScriptPrinter::Write(std::uint16_t opcode, const void* payload, std::size_t size)
{
    const RecordLayout* layout = FindRecordByOpcode(opcode);
    std::string line = layout != nullptr ? layout->name : std::to_string(opcode);
    const auto* bytes = static_cast<const unsigned char*>(payload);
    try {
        if (payload == nullptr) {
            line += " null";
        } else if (layout != nullptr && layout->payload == PayloadKind::kCString) {
            AppendString(line, Terminated(bytes, size));
        } else if (layout != nullptr && layout->payload == PayloadKind::kStruct) {
            if (size < layout->size)
                return false;
            std::size_t count = layout->fieldCount;
            const std::size_t kept = Kept(opcode, count);
            while (count > kept && IsZero(layout->fields[count - 1], bytes))
                --count;
            for (std::size_t i = 0; i < count; ++i) {
                const FieldLayout& f = layout->fields[i];
                switch (f.kind) {
                case FieldKind::kU8:
                    line += ' ' + std::to_string(Get<std::uint8_t>(bytes, f.offset));
                    break;
                case FieldKind::kU16:
                    line += ' ' + std::to_string(Get<std::uint16_t>(bytes, f.offset));
                    break;
                case FieldKind::kI16:
                    line += ' ' + std::to_string(Get<std::int16_t>(bytes, f.offset));
                    break;
                case FieldKind::kU32:
                    line += ' ' + std::to_string(Get<std::uint32_t>(bytes, f.offset));
                    break;
                case FieldKind::kI32:
                    line += ' ' + std::to_string(Get<std::int32_t>(bytes, f.offset));
                    break;
                case FieldKind::kF64: {
                    const double v = Get<double>(bytes, f.offset);
                    if (!std::isfinite(v))
                        return false;
                    AppendReal(line, v);
                    break;
                }
                case FieldKind::kChars:
                    AppendString(line, Terminated(bytes + f.offset, f.size != 0 ? f.size : size));
                    break;
                case FieldKind::kCountedChars: {
                    const std::size_t n = Get<std::uint16_t>(bytes, f.aux);
                    AppendString(line, {reinterpret_cast<const char*>(bytes + f.offset),
                                        n < f.size ? n : f.size});
                    break;
                }
                case FieldKind::kText:
                case FieldKind::kBytes: {
                    const auto* pointed = Get<const unsigned char*>(bytes, f.offset);
                    const std::size_t n = f.kind == FieldKind::kText
                                              ? Get<std::uint32_t>(bytes, f.aux)
                                              : rows.RowBytes(payload, size);
                    if (pointed == nullptr && n != 0)
                        return false;
                    if (f.kind == FieldKind::kText) {
                        AppendString(line, {reinterpret_cast<const char*>(pointed), n});
                        break;
                    }
                    line += " <";
                    for (std::size_t k = 0; k < n; ++k) {
                        line += kHex[pointed[k] >> 4];
                        line += kHex[pointed[k] & 15];
                    }
                    line += '>';
                    break;
                }
                }
            }
        }
        line += '\n';
        text += line;
    } catch (const std::bad_alloc&) {
        return false;
    }
    rows.Note(opcode, payload, size);
    return true;
}

}  // namespace recordscript
