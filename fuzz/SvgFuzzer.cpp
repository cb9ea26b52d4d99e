// Reads fuzz input as an SVG document; the records it gives must print as a
// script the tool reads back, and are replayed through a filter.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <libxml/parser.h>

#include "FuzzHost.h"
#include "RecordCatalog.h"
#include "RecordScript.h"
#include "RecordSink.h"
#include "ReplayRecords.h"
#include "ScriptPrinter.h"
#include "SvgConverter.h"

#if defined(AIEXPORT_SANITIZED) && defined(AIEXPORT_HAVE_RSVG)
// Fontconfig, through which the SVG converter's renderer finds the fonts of
// text, keeps what it allocates until the process ends: its leaks, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzHost host;
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Effects are flattened, but coarsely: the renderer's time is not the
    // reader's, and every path of the flattening is taken all the same.
    svgreader::Options flatten;
    flatten.flattenDpi = 10;
    // Half the inputs write their text as outlines.
    flatten.textOutlines = size % 2 == 1;
    recordscript::RecordList list;
    const svgreader::Result outcome =
        svgreader::Convert(svgreader::Source::Bytes(text), list, flatten);
    if (!outcome.converted) {
        if (outcome.error.empty())
            std::abort();  // a refusal always says why
        return 0;
    }
    recordscript::ScriptPrinter printer;
    if (!outcome.sent || !list.SendTo(printer))
        std::abort();  // every record converted is one a script can give
    recordscript::ParseOptions options;
    options.outDir = host.FilesDir();
    recordscript::ParsedScript parsed;
    recordscript::Diagnostic error;
    if (!recordscript::ParseScript(printer.text, options, parsed, error))
        std::abort();  // and the tool reads back
    // The document's text and names reach the file as they are: their words
    // nan and inf are broken, so that such a word in the file is a number.
    for (recordscript::Record& record : list.records) {
        reliability::BreakNonFiniteWords(record.payload.data(), record.payload.size());
        reliability::BreakNonFiniteWords(record.data.data(), record.data.size());
    }
    ReplayRecords(host, list.records);
    return 0;
}
