// The filter interface a host calls, in the order of its virtual table.
#pragma once

#include "host/Payloads.h"
#include "output/AImportFile.h"

class AHostExportFilter {
public:
    AHostExportFilter() = default;
    AHostExportFilter(const AHostExportFilter&) = default;
    AHostExportFilter& operator=(const AHostExportFilter&) = default;

    virtual ~AHostExportFilter() = default;  // detaches targetFile, never closes it
    virtual char* getFilterDescriptor() = 0;
    virtual int exportFile(char* path);
    virtual int writeData(unsigned short opcode, void* payload);
    virtual int hasPrefererences();
    virtual int displayPreferenceDialog();

protected:
    virtual int BeginPicture(BeginPictureData* picture);
    virtual int EndPicture();
    virtual int BeginGroup();
    virtual int EndGroup();
    virtual int BeginComposite();
    virtual int EndComposite();
    virtual int BeginPattern();
    virtual int EndPattern();
    virtual int BeginPath();
    virtual int EndPath();
    virtual int BeginText();
    virtual int EndText();
    virtual int BeginSimpleText();
    virtual int EndSimpleText();
    virtual int BeginGuide();
    virtual int EndGuide();
    virtual int BeginGradient();
    virtual int EndGradient();
    virtual int BeginMask();
    virtual int EndMask();
    virtual int BeginBitmap(BeginBitmapData* data);
    virtual int EndBitmap();
    virtual int Line(LineData* data);
    virtual int Arc(ArcData* data);
    virtual int ArcTo(ArcToData* data);
    virtual int Circle(CircleData* data);
    virtual int Ellipse(EllipseData* data);
    virtual int MoveTo(MoveToData* data);
    virtual int LineTo(LineToData* data);
    virtual int CurveTo(CurveToData* data);
    virtual int PathBitmap(PathBitmapData* data);
    virtual int PathPostscript(PathPostscriptData* data);
    virtual int Text(_TextData* data);
    virtual int AppendText(_TextData* data);
    virtual int Glyph(GlyphData* data);
    virtual int Bitmap(BitmapData* data);
    virtual int Rectangle(RectangleData* data);
    virtual int ClosePath();
    virtual int ReversePath();
    virtual int SetColorDef(SetColorDefData* data);
    virtual int SetPatternDef(SetPatternDefData* data);
    virtual int SetPatternTrans(char* data);
    virtual int SetPatternColSpacing(double* data);
    virtual int SetPatternRowSpacing(double* data);
    virtual int SetPatternBackground(SetColorByValueData* data);
    virtual int SetFillType(unsigned short* data);
    virtual int SetFillMode(unsigned short* data);
    virtual int SetFillTypeName(SetFillTypeNameData* data);
    virtual int SetGradientDef(SetGradientDefData* data);
    virtual int SetGradient(SetGradientData* data);
    virtual int SetGradient2(SetGradient2Data* data);
    virtual int SetGradientRGN(SetGradientRGNData* data);
    virtual int SetStroke(SetStrokeData* data);
    virtual int SetStrokeColorByName(NAME_TAG* data);
    virtual int SetFillColorByName(NAME_TAG* data);
    virtual int SetStrokeColorByValue(SetColorByValueData* data);
    virtual int SetFillColorByValue(SetColorByValueData* data);
    virtual int SetColorTable(SetColorTableData* data);
    virtual int SetTextType(unsigned short* data);
    virtual int SetCharAttr(SetCharAttrData* data);
    virtual int SetTextAttr(SetTextAttrData* data);
    virtual int SetArcTextAttr(SetArcTextAttrData* data);
    virtual int SetTextScale(SetTextScaleData* data);
    virtual int SetTextMatrix(SetTextMatrixData* data);
    virtual int SetTextVerOffset(double* data);
    virtual int SetGlyphMatrix(SetGlyphMatrixData* data);
    virtual int SetLineRun(SetLineRunData* data);
    virtual int SetLineRunMatrix(SetLineRunMatrixData* data);
    virtual int SetDirRun(SetDirRunData* data);
    virtual int SetJustRun(SetJustRunData* data);
    virtual int SetKernRun(SetKernRunData* data);
    virtual int SetParaRun(SetParaRunData* data);
    virtual int SetFontRun(SetFontRunData* data);
    virtual int SetText(SetTextData* data);
    virtual int SetTextTracking(double* data);
    virtual int DefineLayer(const DefLayerData* data);
    virtual int BeginLayer(const char* name);
    virtual int EndLayer();

    AImportFile targetFile;
};

// The module's one exported symbol: the filter object, created on first use.
extern "C" AHostExportFilter* getFilter();
