// Reads fuzz input as a record script and replays what parses through a filter;
// what parses, printed again, reads back to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzHost.h"
#include "RecordScript.h"
#include "ReplayRecords.h"
#include "ScriptPrinter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzHost host;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    recordscript::ParseOptions options;
    options.outDir = host.FilesDir();
    // A sample fragment must hold its one @drawing line; a plain script must not.
    options.sampleFragment = text.find("@drawing") != std::string_view::npos;
    recordscript::ParsedScript parsed;
    recordscript::Diagnostic error;
    if (!recordscript::ParseScript(text, options, parsed, error)) {
        if (error.line == 0 || error.message.empty())
            std::abort();  // a refusal always says where and why
        return 0;
    }
    std::size_t bad = 0;
    std::string message;
    if (!recordscript::CheckRowData(parsed.records, bad, message))
        std::abort();  // the reader promises row data that fits its image

    // The printer writes every record it takes so that the reader reads it
    // back, and the text it prints then is the same. It refuses only reals
    // that are not finite.
    recordscript::ScriptPrinter printer;
    for (recordscript::Record& r : parsed.records)
        printer.Write(r.opcode, r.Bind(), recordscript::PayloadSize(r));
    recordscript::ParsedScript again;
    recordscript::ParseOptions plain;
    if (!recordscript::ParseScript(printer.text, plain, again, error))
        std::abort();
    recordscript::ScriptPrinter second;
    for (recordscript::Record& r : again.records)
        if (!second.Write(r.opcode, r.Bind(), recordscript::PayloadSize(r)))
            std::abort();
    if (second.text != printer.text)
        std::abort();

    // Files the script would write are not written: their names come from the input.
    ReplayRecords(host, parsed.records);
    return 0;
}
