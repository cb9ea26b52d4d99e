// Test access to what no output shows: pure helpers of the filter, and the text written so far.
#pragma once

#include <string>

#include "filter/AAIExportFilter.h"

class FilterProbe : public AAIExportFilter {
public:
    // Number tokens, checked over more values than any drawing holds.
    static constexpr auto FloatToString = &AOutputWriter::FloatToString;
    using AAIExportFilter::TruncateToInt;
    // Arithmetic whose last bit the output keeps.
    using AAIExportFilter::CalculateFontFactor;
    using AAIExportFilter::ConverRGB_Gray;
    using AAIExportFilter::ConvertCMYK_RGB;
    using AAIExportFilter::ConvertRGB_CMYK;
    using AAIExportFilter::LookUpPostScriptName;
    // Slots and names the searches of definitions and layers examined.
    using AAIExportFilter::searchSteps;

    // Everything written in this picture so far: the body file and the buffer.
    std::string Written();
    // What was written after Mark(), body and buffer together.
    void Mark() { mark = Written().size(); }
    std::string SinceMark() { return Written().substr(mark); }

private:
    std::size_t mark = 0;
};
