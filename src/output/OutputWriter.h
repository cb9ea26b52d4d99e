// The output buffer and the tokens written into it.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "output/AImportFile.h"
#include "output/FixedPoint.h"

// The largest magnitude a real is written with; beyond it a real is written
// at it, with its sign (FixedPoint.h says why).
constexpr double kLargestReal = fixed_point::kLargestReal;
// Sign, 309 digits of the largest double, point, four decimals, blank.
constexpr unsigned kMaxRealToken = 1 + 309 + 1 + 4 + 1;
// Sign, ten digits, blank.
constexpr unsigned kMaxIntegerToken = 1 + 10 + 1;
constexpr unsigned kInitialBufferSize = 16384;
// The longest curve line fits an empty buffer, so one flush always makes room.
static_assert(6 * kMaxRealToken + sizeof "c\n" <= kInitialBufferSize);
// Escaping turns one byte into at most four ("\ooo").
constexpr std::size_t kEscapeFactor = 4;
// A string token of a text of length bytes: parentheses, blank, each byte
// escaped into at most four, and inside a pattern tile escaped once more.
constexpr std::size_t PSStringRoom(std::size_t length) { return 2 * kEscapeFactor * length + 5; }

// Tokens a writer takes. Each knows the most it can write, so a sequence of
// them reserves its room once and no caller counts bytes.
namespace token {
struct Real {
    double value;
};
struct Integer {
    int value;
};
// count reals, one after the other.
struct Reals {
    const double* values;
    int count;
};
// Text of a known length, written as it is.
struct Chars {
    const char* text;
    std::size_t length;
};
// Text of any length, written as it is.
struct Text : Chars {
    explicit Text(const char* text) : Chars{text, std::strlen(text)} {}
};
// A PostScript string token of text; inString when it is itself part of a
// string (a pattern tile's item), so its delimiters are escaped once more.
struct String {
    const char* text;
    std::size_t length;
    bool inString;
    explicit String(const char* text, bool inString = false)
        : text(text), length(std::strlen(text)), inString(inString)
    {
    }
};
// The escaped body of a string, without its parentheses.
struct Escaped {
    const char* text;
    std::size_t length;
    explicit Escaped(const char* text) : text(text), length(std::strlen(text)) {}
};
// A font name token, "/_" and the name without blanks and delimiters.
struct FontName {
    const char* name;
    std::size_t length;
    explicit FontName(const char* name) : name(name), length(std::strlen(name)) {}
};
// Bytes as hexadecimal comment lines; row continues the line layout of the
// rows before it, and inverted writes 255 - b for every byte b.
struct Hex {
    const unsigned char* bytes;
    int count;
    int row;
    bool inverted;
};
}  // namespace token

// What a run of writes to the target amounts to, kept in memory instead of
// written: the text written, and where in it each copy from the body went
// with its length. Two runs alike write the same bytes, since every copy
// takes the body's bytes in order from where the last one ended.
struct TargetRecording {
    std::string text;
    std::vector<std::pair<std::size_t, unsigned long long>> copies;
    bool operator==(const TargetRecording& other) const
    {
        return text == other.text && copies == other.copies;
    }
};

class AOutputWriter {
public:
    // body takes what handlers write, target the finished document.
    AOutputWriter(AImportFile& body, AImportFile& target);
    ~AOutputWriter();
    AOutputWriter(const AOutputWriter&) = delete;
    AOutputWriter& operator=(const AOutputWriter&) = delete;

    // Appends text with its NUL at destination; no capacity check.
    static unsigned int AppendStringToBuffer(char* destination, const char* text);
    // Flushes the buffer to the target when toTarget is nonzero, else to the body.
    int WriteBufferToExportFile(int toTarget);
    // Doubles the buffer; 0 when it cannot, the text kept.
    int ExpendBufferSize();
    // Copies count bytes from the body's position to the target; 0 unless all
    // of them arrive. A body may be longer than 4 GiB.
    int CopyTempToExport(unsigned long long count);
    // Headroom rule: flush to the body file when fewer than margin bytes remain.
    int FlushIfAbove(unsigned int margin);
    // Writes the tokens in order, after one check for the room they can take;
    // 0 when the buffer cannot grow, nothing written.
    template <class... Tokens>
    int Write(const Tokens&... tokens);
    // The most the tokens can write.
    template <class... Tokens>
    static constexpr std::size_t RoomFor(const Tokens&... tokens)
    {
        return (std::size_t{0} + ... + Room(tokens));
    }
    // Room reserved once for tokens written in pieces, as a record decides
    // what to write; the pieces need no check of their own.
    class Span {
    public:
        explicit operator bool() const { return writer != nullptr; }
        template <class... Tokens>
        Span& Write(const Tokens&... tokens);

    private:
        friend class AOutputWriter;
        Span(AOutputWriter* writer, std::size_t left) : writer(writer), left(left) {}
        AOutputWriter* writer;
        std::size_t left;  // a debug build checks that the pieces stay within it
    };
    // A span of room bytes; false when the buffer cannot grow to hold them.
    Span Reserve(std::size_t room) { return Span(EnsureRoom(room) ? this : nullptr, room); }
    // Appends count reals and then op, as one line of a path. The buffer grows
    // only when this very line does not fit, so a long path streams through
    // the flushes; 0 when it cannot grow, nothing written.
    int WriteRealsLine(const double* values, int count, const char* op);
    // Forgets the buffered text.
    void Clear();
    // Where flushes to the body go from now on; with writeBackEvery, the
    // disk starts on each such many bytes of it while the body is written,
    // not only when the finished file is synced.
    void SetBody(AImportFile& file, unsigned long writeBackEvery = 0)
    {
        body = &file;
        this->writeBackEvery = writeBackEvery;
        sinceWriteBack = 0;
    }
    // While recording is set, what would go to the target goes into it, and
    // copies are noted, not made; nullptr writes to the target again. A
    // recording that would pass limit bytes of text fails the write.
    void RecordTarget(TargetRecording* recording, std::size_t limit = 0)
    {
        this->recording = recording;
        recordingLimit = limit;
    }
    // Writes a recording to the target, its copies taken from the body's position.
    int WriteRecording(const TargetRecording& recording);

    bool HasBuffer() const { return buffer != nullptr; }
    const unsigned int& Length() const { return bufferLength; }
    const unsigned int& Size() const { return bufferSize; }
    // The buffered text, for edits in place that keep its length.
    char* const& Data() { return buffer; }

    // ---- encoders: each writes at dst, ends with a NUL and returns the count without it ----
    static unsigned int IntegerToString(char* dst, int value);
    static unsigned int FloatToString(char* dst, double value);
    static unsigned int StringToPSString(char* dst, const char* text);
    // The token inside a string: its parentheses and escapes escaped once more.
    static unsigned int StringToNestedPSString(char* dst, const char* text);
    static unsigned int StringToStandardExportString(char* dst, const char* text);
    static unsigned int StringToFontName(char* dst, const char* name);
    static unsigned int HexToPSCommentHexString(char* dst, const unsigned char* bytes, int count,
                                                int row);
    // Grey and one-bit rows go out inverted; the host's bytes stay as they are.
    static unsigned int HexToPSCommentHexStringInverted(char* dst, const unsigned char* bytes,
                                                        int count, int row);
    // What one run of count bytes can take as hexadecimal lines: the pairs, at
    // most one "%" and one line end per started line.
    static std::size_t HexRoom(int count);

private:
    // Grows the buffer until n more bytes and a NUL fit; 0 when it cannot.
    int EnsureRoom(std::size_t n)
    {
        return static_cast<std::size_t>(bufferLength) + n < bufferSize || GrowFor(n);
    }
    int GrowFor(std::size_t n);

    template <std::size_t N>
    static constexpr std::size_t Room(const char (&)[N])
    {
        return N - 1;  // an array may end early; never later
    }
    static constexpr std::size_t Room(token::Real) { return kMaxRealToken; }
    static constexpr std::size_t Room(token::Integer) { return kMaxIntegerToken; }
    static std::size_t Room(token::Reals t)
    {
        return static_cast<std::size_t>(t.count) * kMaxRealToken;
    }
    static std::size_t Room(const token::Chars& t) { return t.length; }
    static std::size_t Room(const token::String& t) { return PSStringRoom(t.length); }
    static std::size_t Room(const token::Escaped& t) { return kEscapeFactor * t.length; }
    static std::size_t Room(const token::FontName& t) { return t.length + 3; }
    static std::size_t Room(const token::Hex& t) { return HexRoom(t.count); }

    static char* Put(char* out, const char* text) { return out + AppendStringToBuffer(out, text); }
    static char* Put(char* out, token::Real t) { return fixed_point::PutReal(out, t.value); }
    static char* Put(char* out, token::Integer t) { return out + IntegerToString(out, t.value); }
    static char* Put(char* out, token::Reals t)
    {
        for (int i = 0; i < t.count; ++i)
            out = fixed_point::PutReal(out, t.values[i]);
        return out;
    }
    static char* Put(char* out, const token::Chars& t)
    {
        std::memcpy(out, t.text, t.length);
        return out + t.length;
    }
    static char* Put(char* out, const token::String& t)
    {
        return out +
               (t.inString ? StringToNestedPSString(out, t.text) : StringToPSString(out, t.text));
    }
    static char* Put(char* out, const token::Escaped& t)
    {
        return out + StringToStandardExportString(out, t.text);
    }
    static char* Put(char* out, const token::FontName& t)
    {
        return out + StringToFontName(out, t.name);
    }
    static char* Put(char* out, const token::Hex& t)
    {
        return out + (t.inverted ? HexToPSCommentHexStringInverted(out, t.bytes, t.count, t.row)
                                 : HexToPSCommentHexString(out, t.bytes, t.count, t.row));
    }

    AImportFile* body;
    AImportFile& target;
    unsigned long writeBackEvery = 0;
    unsigned long sinceWriteBack = 0;
    TargetRecording* recording = nullptr;
    std::size_t recordingLimit = 0;
    // A block of bufferSize + 1 bytes holding NUL-terminated text:
    // bufferLength <= bufferSize and buffer[bufferLength] is the NUL. Only
    // this class moves bufferLength, after checking the room for what it adds.
    char* buffer = nullptr;
    unsigned int bufferLength = 0;
    unsigned int bufferSize = 0;
};

template <class... Tokens>
AOutputWriter::Span& AOutputWriter::Span::Write(const Tokens&... tokens)
{
    char* const start = writer->buffer + writer->bufferLength;
    char* out = start;
    ((out = Put(out, tokens)), ...);
    *out = '\0';
    const auto written = static_cast<std::size_t>(out - start);
    assert(written <= left);
    left -= written;
    writer->bufferLength += static_cast<unsigned int>(written);
    return *this;
}

template <class... Tokens>
int AOutputWriter::Write(const Tokens&... tokens)
{
    const std::size_t room = (std::size_t{0} + ... + Room(tokens));
    if (!EnsureRoom(room))
        return 0;
    char* out = buffer + bufferLength;
    ((out = Put(out, tokens)), ...);
    assert(static_cast<std::size_t>(out - (buffer + bufferLength)) <= room);
    *out = '\0';
    bufferLength = static_cast<unsigned int>(out - buffer);
    return 1;
}
