// Record scripts: text that names filter records and their payload fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace recordscript {

class RecordSink;

constexpr std::size_t kNoPointer = static_cast<std::size_t>(-1);

// One record ready to send: the payload struct's bytes, and for records whose
// payload points at further bytes (text, raster rows) those bytes and the
// offset of the pointer field, filled in by Bind once the record stays put.
struct Record {
    std::uint16_t opcode = 0;
    bool nullPayload = false;
    bool zeroedPayload = false;  // a shared zeroed block instead of `payload`
    std::vector<unsigned char> payload;
    std::vector<unsigned char> data;
    std::size_t pointerOffset = kNoPointer;
    std::uint32_t line = 0;
    std::uint32_t dataColumn = 0;  // where the pointed-at bytes were written
    std::uint16_t source = 0;      // index into Replay::sources

    // Stores the data pointer into the payload; returns what writeData gets,
    // valid until the next Bind of any record.
    void* Bind();
};

// `@file "name" <bytes>`: a file written beside the output before replay.
struct FileDirective {
    std::string name;
    std::vector<unsigned char> bytes;
    std::uint32_t line = 0;
    std::uint16_t source = 0;
};

struct Diagnostic {
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::string message;
};

struct ParseOptions {
    std::string outDir;           // what ${OUTDIR} expands to
    bool sampleFragment = false;  // allows (and requires) one `@drawing` line
};

struct ParsedScript {
    std::vector<Record> records;
    std::vector<FileDirective> files;
    std::size_t drawingStart = 0;  // first record after `@drawing`
};

// What the reader hands on as it reads, one record or file at a time.
class ScriptHandler {
public:
    ScriptHandler() = default;
    ScriptHandler(const ScriptHandler&) = delete;
    ScriptHandler& operator=(const ScriptHandler&) = delete;
    virtual ~ScriptHandler() = default;
    // The record may be moved from; it is not used after the call.
    virtual void OnRecord(Record& record) = 0;
    virtual void OnFile(FileDirective& file) = 0;
    // The `@drawing` line of a sample fragment.
    virtual void OnDrawing() {}
};

// The script reader, fed line by line: each record goes to the handler as
// soon as its line is read, so memory is the longest line's whatever the
// script's length. Once a line fails, the reader takes no more; Error()
// gives the first error's position (1-based line and byte column). Any
// input is safe and nothing throws: running out of memory fails the line.
class ScriptReader {
public:
    ScriptReader(const ParseOptions& options, ScriptHandler& handler);
    ~ScriptReader();
    ScriptReader(const ScriptReader&) = delete;
    ScriptReader& operator=(const ScriptReader&) = delete;

    // The next line, without its newline.
    bool Line(std::string_view line);
    // After the last line.
    bool Finish();
    const Diagnostic& Error() const;

private:
    class Parser;
    std::unique_ptr<Parser> parser;
};

// Feeds a whole text to the reader, line by line; false on the first error.
bool ReadText(std::string_view text, ScriptReader& reader);

// Parses a whole script into a list. On failure returns false with the first
// error's position and leaves `out` unspecified. Memory stays proportional to
// the text, nothing throws.
bool ParseScript(std::string_view text, const ParseOptions& options, ParsedScript& out,
                 Diagnostic& error);

// The bytes of raster rows a Bitmap points at, by the layout the last
// BeginBitmap before it gave, as the filter reads them: the filter cannot
// know the block's length and trusts the host for it.
class RowLayout {
public:
    // Every record in sending order, as writeData takes it.
    void Note(std::uint16_t opcode, const void* payload, std::size_t size);
    // The bytes the filter reads for a Bitmap payload (0 when it reads none),
    // and the rows they are counted from.
    std::size_t RowBytes(const void* bitmap, std::size_t size, long* rows = nullptr) const;
    // False, with a message, when `given` bytes are fewer than RowBytes.
    bool Check(const void* bitmap, std::size_t size, std::size_t given, std::string& message) const;

private:
    std::int16_t bytesPerRow = 0;  // as the filter holds them before any image
    std::uint16_t colorModel = 0;
};

// Every Bitmap must carry the bytes its rows take under the last BeginBitmap
// before it. On failure gives the offending record's index and a message.
// The reader checks its own records as it reads them.
bool CheckRowData(const std::vector<Record>& records, std::size_t& bad, std::string& message);

// The size of the block writeData is given for the record (0 for null).
std::size_t PayloadSize(const Record& record);
// The bytes a record's data pointer refers to, less the terminator.
std::size_t GivenRowBytes(const Record& record);

// Everything one run sends: records from one or more sources, in order.
struct Replay {
    std::vector<std::string> sources;
    std::vector<Record> records;
    std::vector<FileDirective> files;
};

// A script file as given on the command line.
bool LoadScript(std::string_view text, const std::string& sourceName, const std::string& outDir,
                Replay& out, std::string& errorSource, Diagnostic& error);

struct SampleFragment {
    const char* name;  // file name, e.g. "10-paths.records"
    const unsigned char* text;
    std::size_t size;
};

// The built-in sample: the frame records around the fragments' definitions
// and drawings.
bool ComposeSample(const SampleFragment* fragments, std::size_t count, const std::string& outDir,
                   Replay& out, std::string& errorSource, Diagnostic& error);

// A script read from its start as often as a replay needs.
class ScriptSource {
public:
    ScriptSource() = default;
    ScriptSource(const ScriptSource&) = delete;
    ScriptSource& operator=(const ScriptSource&) = delete;
    virtual ~ScriptSource() = default;
    // Every line from the start to the reader, then Finish. False when the
    // reader fails, or, with `readError` set, when the text cannot be read.
    virtual bool Feed(ScriptReader& reader, std::string& readError) = 0;
};

class TextSource : public ScriptSource {
public:
    explicit TextSource(std::string_view text) : text(text) {}
    bool Feed(ScriptReader& reader, std::string& readError) override;

private:
    std::string_view text;
};

// A file read in blocks: memory is the longest line's. Standard input ("-")
// is copied to an unlinked temporary file first, so it can be read again.
class FileSource : public ScriptSource {
public:
    FileSource() = default;
    ~FileSource() override;
    bool Open(const std::string& path, std::string& error);
    // Up to `limit` bytes from the start, to tell what the file is.
    bool Head(std::size_t limit, std::string& head, std::string& error);
    // The whole file, for input that is not a script; no more than `limit` bytes.
    bool ReadAll(std::size_t limit, std::string& text, std::string& error);
    bool Feed(ScriptReader& reader, std::string& readError) override;

private:
    int fd = -1;
};

// A replay of a script in two passes, neither holding more than a line: the
// first reads it all and keeps its @file files, so that a malformed script
// sends nothing; the second sends each record to the sink as it is read.
// Both report the first error in `error`, or a read error in `readError`.
bool CheckScript(ScriptSource& source, const std::string& outDir, std::vector<FileDirective>& files,
                 Diagnostic& error, std::string& readError);
// `failed` hears of each record the sink refuses. EndPicture and what follows
// it are held back until the script has been read to its end, so a script
// that fails on the way (one changed since it was checked) completes no
// picture and leaves the target as it was.
bool SendScript(ScriptSource& source, const std::string& outDir, RecordSink& sink,
                const std::function<void(const Record& record)>& failed, Diagnostic& error,
                std::string& readError);

// The operation's name for an opcode, or null for a number outside the table.
const char* RecordName(std::uint16_t opcode);

// Every opcode of the table, in ascending order.
std::vector<std::uint16_t> RecordOpcodes();

}  // namespace recordscript
