// Record scripts: text that names filter records and their payload fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace recordscript {

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

// Parses a whole script. On failure returns false with the first error's
// position (1-based line and byte column) and leaves `out` unspecified. Any
// input is safe: memory stays proportional to the text, nothing throws.
bool ParseScript(std::string_view text, const ParseOptions& options, ParsedScript& out,
                 Diagnostic& error);

// Every Bitmap must carry the bytes its rows take under the last BeginBitmap
// before it (the filter cannot know the block's length). On failure gives the
// offending record's index and a message. ParseScript checks its own records.
bool CheckRowData(const std::vector<Record>& records, std::size_t& bad, std::string& message);

// Everything one run sends: records from one or more sources, in order.
struct Replay {
    std::vector<std::string> sources;
    std::vector<Record> records;
    std::vector<FileDirective> files;
};

// A script file as given on the command line.
bool LoadScript(std::string_view text, const std::string& sourceName, const std::string& outDir,
                Replay& out, std::string& errorSource, Diagnostic& error);

// The built-in sample: the frame records around the fragments' definitions
// and drawings.
bool ComposeSample(const std::string& outDir, Replay& out, std::string& errorSource,
                   Diagnostic& error);

struct SampleFragment {
    const char* name;  // file name, e.g. "10-paths.records"
    const unsigned char* text;
    std::size_t size;
};
// Embedded at build time from tools/aiexport/sample/, in file-name order.
extern const SampleFragment kSampleFragments[];
extern const std::size_t kSampleFragmentCount;

// The operation's name for an opcode, or null for a number outside the table.
const char* RecordName(std::uint16_t opcode);

// Every opcode of the table, in ascending order.
std::vector<std::uint16_t> RecordOpcodes();

}  // namespace recordscript
