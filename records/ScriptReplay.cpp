// Whole replays: a script file, or the built-in sample composed from its
// fragments; and the record names for messages.
#include <new>

#include "RecordScript.h"
#include "RecordTable.h"

namespace recordscript {
namespace {

void Append(Replay& out, ParsedScript& parsed, std::size_t from, std::size_t to,
            std::uint16_t source)
{
    for (std::size_t i = from; i < to; ++i) {
        parsed.records[i].source = source;
        out.records.push_back(std::move(parsed.records[i]));
    }
}

// A frame record of the sample; its text is fixed, so it always parses.
void AppendFrame(Replay& out, const char* text, const std::string& outDir)
{
    ParsedScript parsed;
    Diagnostic ignored;
    ParseOptions options;
    options.outDir = outDir;
    if (ParseScript(text, options, parsed, ignored))
        for (Record& r : parsed.records) {
            r.source = 0;
            r.line = 0;  // not from any file
            out.records.push_back(std::move(r));
        }
}

}  // namespace

bool LoadScript(std::string_view text, const std::string& sourceName, const std::string& outDir,
                Replay& out, std::string& errorSource, Diagnostic& error)
{
    out = Replay{};
    out.sources.push_back(sourceName);
    errorSource = sourceName;
    ParseOptions options;
    options.outDir = outDir;
    ParsedScript parsed;
    if (!ParseScript(text, options, parsed, error))
        return false;
    out.records = std::move(parsed.records);
    out.files = std::move(parsed.files);
    return true;
}

bool ComposeSample(const std::string& outDir, Replay& out, std::string& errorSource,
                   Diagnostic& error)
{
    try {
        out = Replay{};
        out.sources.push_back("built-in sample");
        std::vector<ParsedScript> fragments(kSampleFragmentCount);
        ParseOptions options;
        options.outDir = outDir;
        options.sampleFragment = true;
        for (std::size_t i = 0; i < kSampleFragmentCount; ++i) {
            const SampleFragment& f = kSampleFragments[i];
            out.sources.push_back(std::string("sample/") + f.name);
            const std::string_view text(reinterpret_cast<const char*>(f.text), f.size);
            if (!ParseScript(text, options, fragments[i], error)) {
                errorSource = out.sources.back();
                return false;
            }
            for (FileDirective& file : fragments[i].files) {
                file.source = static_cast<std::uint16_t>(i + 1);
                out.files.push_back(std::move(file));
            }
        }
        AppendFrame(out, "BeginPicture 0 0 8.5 11", outDir);
        for (std::size_t i = 0; i < fragments.size(); ++i)
            Append(out, fragments[i], 0, fragments[i].drawingStart,
                   static_cast<std::uint16_t>(i + 1));
        AppendFrame(out, "BeginDrawingSection 8.5 11", outDir);
        for (std::size_t i = 0; i < fragments.size(); ++i)
            Append(out, fragments[i], fragments[i].drawingStart, fragments[i].records.size(),
                   static_cast<std::uint16_t>(i + 1));
        AppendFrame(out, "EndPicture", outDir);

        // Row data checked again in sending order: an image's layout may
        // come from another fragment's records in between.
        std::size_t bad = 0;
        if (!CheckRowData(out.records, bad, error.message)) {
            const Record& r = out.records[bad];
            errorSource = out.sources[r.source];
            error.line = r.line;
            error.column = r.dataColumn != 0 ? r.dataColumn : 1;
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        errorSource = "built-in sample";
        error = Diagnostic{0, 0, "out of memory"};
        return false;
    }
}

const char* RecordName(std::uint16_t opcode)
{
    const RecordLayout* layout = FindRecordByOpcode(opcode);
    return layout != nullptr ? layout->name : nullptr;
}

std::vector<std::uint16_t> RecordOpcodes()
{
    std::vector<std::uint16_t> opcodes;
    for (const RecordLayout* r = RecordTableBegin(); r != RecordTableEnd(); ++r)
        opcodes.push_back(r->opcode);
    return opcodes;
}

}  // namespace recordscript
