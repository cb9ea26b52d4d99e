// Typed records printed as a record script, one line each, which the script
// reader reads back to the same payloads.
#pragma once

#include <string>
#include <string_view>

#include "RecordSink.h"

namespace recordscript {

class ScriptPrinter : public RecordSink {
public:
    // The script so far; the caller may take it and clear it at any time.
    std::string text;

    // A line of its own, "# " and `comment` with line breaks as blanks.
    void Comment(std::string_view comment);

    // False, printing nothing, for a real that is not finite (a script has
    // no such number to give) or a pointer field without its bytes.
    bool Write(std::uint16_t opcode, const void* payload, std::size_t size) override;

private:
    RowLayout rows;
};

// A real as the printer writes it: ten significant digits, never locale
// dependent, rounding dust (below 1e-9) as 0 and no "-0".
void AppendReal(std::string& text, double value);
// The value a real printed by AppendReal reads back as: what a producer of
// typed records gives the module for its output to be that of its script.
double AsPrinted(double value);
// A string field in double quotes: escaped are what the reader takes as
// syntax or as ${OUTDIR}, and every byte outside printable ASCII.
void AppendString(std::string& text, std::string_view bytes);

}  // namespace recordscript
