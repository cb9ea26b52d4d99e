// Test access to the filter's protected operations and state.
#pragma once

#include <string>

#include "filter/AAIExportFilter.h"

class FilterProbe : public AAIExportFilter {
public:
    using AAIExportFilter::AssignGradientColor;
    using AAIExportFilter::Bitmap;
    using AAIExportFilter::CalculateFontFactor;
    using AAIExportFilter::CommitTarget;
    using AAIExportFilter::ConverRGB_Gray;
    using AAIExportFilter::ConvertCMYK_RGB;
    using AAIExportFilter::ConvertRGB_CMYK;
    using AAIExportFilter::EndBitmap;
    using AAIExportFilter::EndGradient;
    using AAIExportFilter::ExportSetCMYKColor;
    using AAIExportFilter::ExportSetRGBColor;
    using AAIExportFilter::FreeGradientStops;
    using AAIExportFilter::GetBitmapInformation;
    using AAIExportFilter::GetPaintFromGSatate;
    using AAIExportFilter::IsGradientNameDefined;
    using AAIExportFilter::IsPatternNameDefined;
    using AAIExportFilter::LookUpPostScriptName;
    using AAIExportFilter::OpenTargetSibling;
    using AAIExportFilter::PaintGradient;
    using AAIExportFilter::SetGradient2;
    using AAIExportFilter::SetGradientDef;
    using AAIExportFilter::SetGradientRGN;
    using AAIExportFilter::SetPatternDef;
    using AAIExportFilter::SetPatternSections;
    using AAIExportFilter::TruncateToInt;
    using AAIExportFilter::compositeDepth;
    using AAIExportFilter::currentDefinitionIndex;
    using AAIExportFilter::currentGradientIndex;
    using AAIExportFilter::currentPoint;
    using AAIExportFilter::fileName;
    using AAIExportFilter::fillTypeChanged;
    using AAIExportFilter::gradientTable;
    using AAIExportFilter::graphicsState;
    using AAIExportFilter::guideEnd;
    using AAIExportFilter::guideStart;
    using AAIExportFilter::inGuide;
    using AAIExportFilter::inPatternDefinition;
    using AAIExportFilter::layerDefinitions;
    using AAIExportFilter::openLayers;
    using AAIExportFilter::pathBounds;
    using AAIExportFilter::pathClosed;
    using AAIExportFilter::pathOpen;
    using AAIExportFilter::patternFillWritten;
    using AAIExportFilter::patternTable;
    using AAIExportFilter::patternTileFirstPath;
    using AAIExportFilter::regionBounds;
    using AAIExportFilter::setupClosed;
    using AAIExportFilter::tempFile;
    using AAIExportFilter::textStarted;
    using AAIExportFilter::textState;
    using AAIExportFilter::textWorkArea;
    using AAIExportFilter::commentsEndMark;
    using AAIExportFilter::prologEndMark;

    // The output buffer and its operations, as the filter had them.
    char* const& buffer = output.Data();
    const unsigned int& bufferLength = output.Length();
    const unsigned int& bufferSize = output.Size();
    int Append(const char* text) { return output.Write(token::Text(text)); }
    int AppendFloat(double value) { return output.Write(token::Real{value}); }
    int AppendRealsLine(const double* values, int count, const char* op)
    {
        return output.WriteRealsLine(values, count, op);
    }
    int ExpendBufferSize() { return output.ExpendBufferSize(); }
    int WriteBufferToExportFile(int toTarget) { return output.WriteBufferToExportFile(toTarget); }
    int CopyTempToExport(unsigned int count) { return output.CopyTempToExport(count); }
    static constexpr auto FloatToString = &AOutputWriter::FloatToString;
    static constexpr auto IntegerToString = &AOutputWriter::IntegerToString;
    static constexpr auto StringToPSString = &AOutputWriter::StringToPSString;
    static constexpr auto StringToStandardExportString = &AOutputWriter::StringToStandardExportString;
    static constexpr auto StringToFontName = &AOutputWriter::StringToFontName;
    static constexpr auto HexToPSCommentHexString = &AOutputWriter::HexToPSCommentHexString;

    // Everything written in this picture so far: the body file and the buffer.
    std::string Written();
    // What was written after Mark(), body and buffer together.
    void Mark() { mark = Written().size(); }
    std::string SinceMark() { return Written().substr(mark); }

private:
    std::size_t mark = 0;
};
