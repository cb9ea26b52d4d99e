// Reads fuzz input as a record script and replays what parses through a filter.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzHost.h"
#include "RecordScript.h"
#include "ReplayRecords.h"

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

    // Files the script would write are not written: their names come from the input.
    ReplayRecords(host, parsed.records);
    return 0;
}
