// Test access to the filter's protected operations and state.
#pragma once

#include <string>

#include "filter/AAIExportFilter.h"

class FilterProbe : public AAIExportFilter {
public:
    using AAIExportFilter::Append;
    using AAIExportFilter::AppendFloat;
    using AAIExportFilter::AssignGradientColor;
    using AAIExportFilter::Bitmap;
    using AAIExportFilter::CalculateFontFactor;
    using AAIExportFilter::CommitTarget;
    using AAIExportFilter::ConverRGB_Gray;
    using AAIExportFilter::ConvertCMYK_RGB;
    using AAIExportFilter::ConvertRGB_CMYK;
    using AAIExportFilter::CopyTempToExport;
    using AAIExportFilter::EndBitmap;
    using AAIExportFilter::EndGradient;
    using AAIExportFilter::ExpendBufferSize;
    using AAIExportFilter::ExportSetCMYKColor;
    using AAIExportFilter::ExportSetRGBColor;
    using AAIExportFilter::FloatToString;
    using AAIExportFilter::FreeGradientStops;
    using AAIExportFilter::GetBitmapInformation;
    using AAIExportFilter::GetPaintFromGSatate;
    using AAIExportFilter::HexToPSCommentHexString;
    using AAIExportFilter::IntegerToString;
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
    using AAIExportFilter::StringToFontName;
    using AAIExportFilter::StringToPSString;
    using AAIExportFilter::StringToStandardExportString;
    using AAIExportFilter::TruncateToInt;
    using AAIExportFilter::WriteBufferToExportFile;
    using AAIExportFilter::buffer;
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
    using AAIExportFilter::layerCapacity;
    using AAIExportFilter::layerCount;
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
    using AAIExportFilter::textWorkCapacity;
    using AAIExportFilter::bufferLength;
    using AAIExportFilter::bufferSize;
    using AAIExportFilter::commentsEndMark;
    using AAIExportFilter::prologEndMark;
    using AAIExportFilter::AppendRealsLine;

    // Everything written in this picture so far: the body file and the buffer.
    std::string Written();
    // What was written after Mark(), body and buffer together.
    void Mark() { mark = Written().size(); }
    std::string SinceMark() { return Written().substr(mark); }

private:
    std::size_t mark = 0;
};
