// The filter interface a host calls, in the order of its virtual table.
// Every body is inline, so the class has no key function: a host that needs
// its type information (the vptr check of -fsanitize=undefined) emits its own
// copy from this header, while the module's copy stays hidden.
#pragma once

#include "host/Opcodes.h"
#include "host/Payloads.h"
#include "output/AImportFile.h"

// A record's case in a writeData switch: its operation called with the
// payload as that operation takes it (the Payload column of host/Records.def).
// clang-format off
#define AIEXPORT_ROUTE(Name, argument) case aiop::k##Name: return Name(argument);
#define AIEXPORT_UNROUTED(Name, argument)
#define AIEXPORT_ARGUMENT_NoPayload
#define AIEXPORT_ARGUMENT_Ignored(Type) static_cast<Type*>(payload)
#define AIEXPORT_ARGUMENT_Struct(Type) static_cast<Type*>(payload)
#define AIEXPORT_ARGUMENT_String static_cast<char*>(payload)
// clang-format on

class AHostExportFilter {
public:
    AHostExportFilter() = default;
    AHostExportFilter(const AHostExportFilter&) = default;
    AHostExportFilter& operator=(const AHostExportFilter&) = default;

    virtual ~AHostExportFilter() = default;  // detaches targetFile, never closes it
    virtual char* getFilterDescriptor() = 0;
    virtual int exportFile(char*) { return 0; }
    virtual int writeData(unsigned short opcode, void* payload)
    {
        // The interface's own routing: no locale bracket, no reset after the
        // picture, and only the operations this class declares.
        switch (opcode) {
// clang-format off
#define AIEXPORT_RECORD(Name, opcode, Route, Payload, Fields) \
    AIEXPORT_HOST_##Route(Name, AIEXPORT_ARGUMENT_##Payload)
#define AIEXPORT_HOST_Both AIEXPORT_ROUTE
#define AIEXPORT_HOST_Interface AIEXPORT_ROUTE
#define AIEXPORT_HOST_Filter AIEXPORT_UNROUTED
#include "host/Records.def"
// clang-format on
#undef AIEXPORT_HOST_Both
#undef AIEXPORT_HOST_Interface
#undef AIEXPORT_HOST_Filter
        default: return 1;
        }
    }
    virtual int hasPrefererences() { return 0; }
    virtual int displayPreferenceDialog() { return 1; }

protected:
    virtual int BeginPicture(BeginPictureData*) { return 1; }
    virtual int EndPicture()
    {
        targetFile.Close();
        return 1;
    }
    virtual int BeginGroup() { return 1; }
    virtual int EndGroup() { return 1; }
    virtual int BeginComposite() { return 1; }
    virtual int EndComposite() { return 1; }
    virtual int BeginPattern() { return 1; }
    virtual int EndPattern() { return 1; }
    virtual int BeginPath() { return 1; }
    virtual int EndPath() { return 1; }
    virtual int BeginText() { return 1; }
    virtual int EndText() { return 1; }
    virtual int BeginSimpleText() { return 1; }
    virtual int EndSimpleText() { return 1; }
    virtual int BeginGuide() { return 1; }
    virtual int EndGuide() { return 1; }
    virtual int BeginGradient() { return 1; }
    virtual int EndGradient() { return 1; }
    virtual int BeginMask() { return 1; }
    virtual int EndMask() { return 1; }
    virtual int BeginBitmap(BeginBitmapData*) { return 1; }
    virtual int EndBitmap() { return 1; }
    virtual int Line(LineData*) { return 1; }
    virtual int Arc(ArcData*) { return 1; }
    virtual int ArcTo(ArcToData*) { return 1; }
    virtual int Circle(CircleData*) { return 1; }
    virtual int Ellipse(EllipseData*) { return 1; }
    virtual int MoveTo(MoveToData*) { return 1; }
    virtual int LineTo(LineToData*) { return 1; }
    virtual int CurveTo(CurveToData*) { return 1; }
    virtual int PathBitmap(PathBitmapData*) { return 1; }
    virtual int PathPostscript(PathPostscriptData*) { return 1; }
    virtual int Text(_TextData*) { return 1; }
    virtual int AppendText(_TextData*) { return 1; }
    virtual int Glyph(GlyphData*) { return 1; }
    virtual int Bitmap(BitmapData*) { return 1; }
    virtual int Rectangle(RectangleData*) { return 1; }
    virtual int ClosePath() { return 1; }
    virtual int ReversePath() { return 1; }
    virtual int SetColorDef(SetColorDefData*) { return 1; }
    virtual int SetPatternDef(SetPatternDefData*) { return 1; }
    virtual int SetPatternTrans(char*) { return 1; }
    virtual int SetPatternColSpacing(double*) { return 1; }
    virtual int SetPatternRowSpacing(double*) { return 1; }
    virtual int SetPatternBackground(SetColorByValueData*) { return 1; }
    virtual int SetFillType(unsigned short*) { return 1; }
    virtual int SetFillMode(unsigned short*) { return 1; }
    virtual int SetFillTypeName(SetFillTypeNameData*) { return 1; }
    virtual int SetGradientDef(SetGradientDefData*) { return 1; }
    virtual int SetGradient(SetGradientData*) { return 1; }
    virtual int SetGradient2(SetGradient2Data*) { return 1; }
    virtual int SetGradientRGN(SetGradientRGNData*) { return 1; }
    virtual int SetStroke(SetStrokeData*) { return 1; }
    virtual int SetStrokeColorByName(NAME_TAG*) { return 1; }
    virtual int SetFillColorByName(NAME_TAG*) { return 1; }
    virtual int SetStrokeColorByValue(SetColorByValueData*) { return 1; }
    virtual int SetFillColorByValue(SetColorByValueData*) { return 1; }
    virtual int SetColorTable(SetColorTableData*) { return 1; }
    virtual int SetTextType(unsigned short*) { return 1; }
    virtual int SetCharAttr(SetCharAttrData*) { return 1; }
    virtual int SetTextAttr(SetTextAttrData*) { return 1; }
    virtual int SetArcTextAttr(SetArcTextAttrData*) { return 1; }
    virtual int SetTextScale(SetTextScaleData*) { return 1; }
    virtual int SetTextMatrix(SetTextMatrixData*) { return 1; }
    virtual int SetTextVerOffset(double*) { return 1; }
    virtual int SetGlyphMatrix(SetGlyphMatrixData*) { return 1; }
    virtual int SetLineRun(SetLineRunData*) { return 1; }
    virtual int SetLineRunMatrix(SetLineRunMatrixData*) { return 1; }
    virtual int SetDirRun(SetDirRunData*) { return 1; }
    virtual int SetJustRun(SetJustRunData*) { return 1; }
    virtual int SetKernRun(SetKernRunData*) { return 1; }
    virtual int SetParaRun(SetParaRunData*) { return 1; }
    virtual int SetFontRun(SetFontRunData*) { return 1; }
    virtual int SetText(SetTextData*) { return 1; }
    virtual int SetTextTracking(double*) { return 1; }
    virtual int DefineLayer(const DefLayerData*) { return 1; }
    virtual int BeginLayer(const char*) { return 1; }
    virtual int EndLayer() { return 1; }

    AImportFile targetFile;
};

// The module's one exported symbol: the filter object, created on first use.
extern "C" AHostExportFilter* getFilter();
