// The Illustrator filter: one object serves every export of the process.
#pragma once

#include <cstddef>
#include <string>

#include "color/GraphicsState.h"
#include "filter/DefinitionNames.h"
#include "gradient/GradientTable.h"
#include "host/AHostExportFilter.h"
#include "output/OutputWriter.h"
#include "paths/PathBounds.h"
#include "pattern/PatternTable.h"
#include "platform/OwnedArray.h"
#include "raster/LinkedFile.h"
#include "raster/RasterRecord.h"
#include "structure/Brackets.h"
#include "structure/LayerDefinition.h"
#include "text/TextState.h"

struct FilterPoint {
    double x = 0.0;
    double y = 0.0;
};

// What one picture changes, small enough to be reset wholesale: BeginPicture
// assigns a fresh one, so nothing of an earlier picture, complete, failed or
// abandoned, reaches the next. A new field is reset without further ado.
struct PictureState {
    bool pictureOpen = false;

    // ---- insertion marks and art size ----
    unsigned long long commentsEndMark = 0;
    unsigned long long prologEndMark = 0;
    unsigned long long setupEndMark = 0;
    bool setupClosed = false;
    double artWidth = 0.0;
    double artHeight = 0.0;
    double pictureWidth = 0.0;  // record 16's size, in case no record 2052 comes
    double pictureHeight = 0.0;

    double pointsPerUnit = 72.0;

    // ---- paths ----
    FilterPoint currentPoint;
    FilterPoint subpathStart;
    bool pathOpen = false;
    bool pathClosed = false;
    PathBounds pathBounds;
    // The box a gradient fill spans: one path's, or a whole compound path's.
    PathBounds regionBounds;

    // ---- structure ----
    bool inClipRegion = false;
    bool inGuide = false;
    bool clipText = false;
    FilterPoint guideStart;
    FilterPoint guideEnd;
    int compositeDepth = 0;
    // Compound paths begun in a pattern tile while another's opening was still
    // deferred: they share that one opening, so their closings are dropped.
    int compoundMerged = 0;

    // ---- colours ----
    // Its defaults are ResetGraphicsState's, which the picture reset applies.
    GraphicsState graphicsState{};
    // The stroke colour was reset without writing an operator: the next stroke
    // colour by value must be written whatever its value.
    int strokeColorStale = 0;
    int fillTypeChanged = 1;
    int colorCount = 0;  // slots of colorTable in use, from the first

    // ---- text ----
    bool textStarted = false;
    bool runWritten = false;

    // ---- definitions: gradients and patterns ----
    int currentDefinitionIndex = 0;
    int inGradientDefinition = 0;
    int currentGradientIndex = 0;  // the gradient being defined
    int gradientCount = 0;         // slots of gradientTable in use, from the first
    int patternFillWritten = 0;
    int compoundPending = 0;
    int inPatternDefinition = 0;
    int patternTileAttribWritten = 0;
    int patternTileFirstPath = 0;
    // The current tile item's opening is written and awaits its attribute block.
    int patternItemOpened = 0;
    int currentPatternIndex = 0;  // the pattern being defined
    int patternCount = 0;         // slots of patternTable in use, from the first

    // Slots and names examined by the searches of definitions and layers;
    // tests read it to see that each record's search stays short.
    unsigned long long searchSteps = 0;

    RasterRecord raster;
    bool rasterOpen = false;

    // ---- the body written straight into the finished file ----
    // From the drawing section on, the body goes into the unnamed finished
    // file, after the head as it could be written then: headLength bytes that
    // stand for the body up to bodyBase. headWritten is that head as recorded.
    bool bodyInTarget = false;
    unsigned long long headLength = 0;
    unsigned long long bodyBase = 0;
    TargetRecording headWritten;
    // The body left the file it was in and could not be taken back whole.
    bool bodyLost = false;
};

class AAIExportFilter : public AHostExportFilter, protected PictureState {
public:
    AAIExportFilter();
    ~AAIExportFilter() override;
    AAIExportFilter(const AAIExportFilter&) = delete;
    AAIExportFilter& operator=(const AAIExportFilter&) = delete;

    char* getFilterDescriptor() override;
    int exportFile(char* path) override;
    int writeData(unsigned short opcode, void* payload) override;
    int hasPrefererences() override;
    int displayPreferenceDialog() override;

    static AAIExportFilter* filter;

protected:
    // ---- record operations, in the order of the virtual table ----
    int BeginPicture(BeginPictureData* picture) override;
    int EndPicture() override;
    int BeginGroup() override;
    int EndGroup() override;
    int BeginComposite() override;
    int EndComposite() override;
    int BeginPattern() override;
    int EndPattern() override;
    int BeginPath() override;
    int EndPath() override;
    int BeginText() override;
    int EndText() override;
    int BeginSimpleText() override;
    int EndSimpleText() override;
    int BeginGuide() override;
    int EndGuide() override;
    int BeginGradient() override;
    int EndGradient() override;
    int BeginMask() override;
    int EndMask() override;
    int BeginBitmap(BeginBitmapData* data) override;
    int EndBitmap() override;
    int Line(LineData* data) override;
    int Arc(ArcData* data) override;
    int ArcTo(ArcToData* data) override;
    int Circle(CircleData* data) override;
    int Ellipse(EllipseData* data) override;
    int MoveTo(MoveToData* data) override;
    int LineTo(LineToData* data) override;
    int CurveTo(CurveToData* data) override;
    int PathBitmap(PathBitmapData* data) override;
    int PathPostscript(PathPostscriptData* data) override;
    int Text(_TextData* data) override;
    int AppendText(_TextData* data) override;
    int Glyph(GlyphData* data) override;
    int Bitmap(BitmapData* data) override;
    int Rectangle(RectangleData* data) override;
    int ClosePath() override;
    int ReversePath() override;
    int SetColorDef(SetColorDefData* data) override;
    int SetPatternDef(SetPatternDefData* data) override;
    int SetPatternTrans(char* data) override;
    int SetPatternColSpacing(double* data) override;
    int SetPatternRowSpacing(double* data) override;
    int SetPatternBackground(SetColorByValueData* data) override;
    int SetFillType(unsigned short* data) override;
    int SetFillMode(unsigned short* data) override;
    int SetFillTypeName(SetFillTypeNameData* data) override;
    int SetGradientDef(SetGradientDefData* data) override;
    int SetGradient(SetGradientData* data) override;
    int SetGradient2(SetGradient2Data* data) override;
    int SetGradientRGN(SetGradientRGNData* data) override;
    int SetStroke(SetStrokeData* data) override;
    int SetStrokeColorByName(NAME_TAG* data) override;
    int SetFillColorByName(NAME_TAG* data) override;
    int SetStrokeColorByValue(SetColorByValueData* data) override;
    int SetFillColorByValue(SetColorByValueData* data) override;
    int SetColorTable(SetColorTableData* data) override;
    int SetTextType(unsigned short* data) override;
    int SetCharAttr(SetCharAttrData* data) override;
    int SetTextAttr(SetTextAttrData* data) override;
    int SetArcTextAttr(SetArcTextAttrData* data) override;
    int SetTextScale(SetTextScaleData* data) override;
    int SetTextMatrix(SetTextMatrixData* data) override;
    int SetTextVerOffset(double* data) override;
    int SetGlyphMatrix(SetGlyphMatrixData* data) override;
    int SetLineRun(SetLineRunData* data) override;
    int SetLineRunMatrix(SetLineRunMatrixData* data) override;
    int SetDirRun(SetDirRunData* data) override;
    int SetJustRun(SetJustRunData* data) override;
    int SetKernRun(SetKernRunData* data) override;
    int SetParaRun(SetParaRunData* data) override;
    int SetFontRun(SetFontRunData* data) override;
    int SetText(SetTextData* data) override;
    int SetTextTracking(double* data) override;
    int DefineLayer(const DefLayerData* data) override;
    int BeginLayer(const char* name) override;
    int EndLayer() override;
    virtual int SetPatternSections(int* count);
    virtual int BeginPatternSection();
    virtual int EndPatternSection();
    virtual int BeginDrawingSection(BeginDrawingSectionData* data);
    virtual int EndDrawingSection();
    virtual int BeginPreviewSection();
    virtual int EndPreviewSection();
    virtual int SetPreview(SetPreviewData* data);
    virtual int SetJobInfo(SetJobInfoData* data);
    virtual int BeginClipRgn();
    virtual int EndClipRgn();
    virtual int SetMatrix(SetMatrixData* data);

    // ---- filter/: lifecycle ----
    int Dispatch(unsigned short opcode, void* payload);
    int InitializeParameters();
    int ResetParameters();
    void ReleaseTarget();

    // ---- output/ ----
    double DistanceToPS(double d) const { return d * pointsPerUnit; }
    double xDrawingToPS(double x) const { return x * pointsPerUnit; }
    double yDrawingToPS(double y) const { return y * pointsPerUnit; }
    // Reals written as integers are truncated toward zero; values beyond the
    // range of int are clamped and NaN gives 0, so the conversion is defined.
    static int TruncateToInt(double value);
    // The string token for a name where it is written now: inside a pattern
    // tile the token is itself part of a string.
    token::String Name(const char* text) const
    {
        return token::String(text, inPatternDefinition != 0);
    }

    // ---- document/ ----
    int GenerateLastExport();
    // Everything before "%%EndSetup": the body's head with the document
    // comments, patterns and gradients the body's marks and tables call for.
    int GenerateHead();
    // The head as GenerateHead would write it now, into head; 0 when it cannot be.
    int RecordHead(TargetRecording& head);
    // At the drawing section: the finished file opened and its head written,
    // so the body goes straight after it. When it cannot be, the body stays
    // in the temporary file, as it would without it.
    void WriteHeadBeforeBody();
    // The body from the finished file appended to the temporary file, and
    // further body text sent there; 0 when the body is lost.
    int ReturnBodyToTemp();
    // Where the next flush lands in the body, counted as in the temporary file.
    long BodyPosition();
    int ExportPresetting();
    int CloseSetup();
    // The finished document goes to a new file beside the target and replaces
    // it only when complete, so a failed export never destroys the old file.
    // The new file has no name until then where the file system allows, so
    // not even a killed process leaves it behind.
    // unnamedOnly refuses a named sibling.
    int OpenTargetSibling(bool unnamedOnly = false);
    int CommitTarget();

    // ---- paths/ ----
    int GetPaintFromGSatate(char* paint);

    // ---- color/ ----
    // The section defaults; the colour names and by-name flags are kept.
    void ResetGraphicsState();
    void ResetFillColor();
    // What every colour operator needs written before it: the pending text run,
    // and inside a pattern tile its item's opening.
    int OpenColorOperator();
    int ExportSetValueColor(SetColorByValueData* color, int isFill);
    int ExportSetRGBColor(double r, double g, double b, int isFill, int isCustom, const char* name);
    int ExportSetCMYKColor(double c, double m, double y, double k, int isFill, int isCustom,
                           const char* name);
    static int ConvertCMYK_RGB(double c, double m, double y, double k, unsigned short& r,
                               unsigned short& g, unsigned short& b);
    static int ConvertRGB_CMYK(double& c, double& m, double& y, double& k, unsigned short r,
                               unsigned short g, unsigned short b);
    static int ConverRGB_Gray(double& gray, unsigned short r, unsigned short g, unsigned short b);
    int IsColorExistingByColorName(const char* name, int& index);
    int ExportSetNameColor(NAME_TAG* nameTag, int isFill);

    // ---- gradient/ ----
    static void AssignGradientColor(const GradientColor& source, GradientColor& target);
    int IsGradientNameDefined(const char* name, int& index);
    int ExportGradientDefinition();
    int GenerateLinearGradRegion(int slot);
    int GenerateRadialGradRegion(int slot);
    int PaintGradient(char* paint);
    void FreeGradientStops();
    // One stop line of a gradient resource.
    int AppendGradientStop(const GradientStop& stop);

    // ---- pattern/ ----
    int SetPatternTilePathAttrib();
    int SetPatternTilePathLineStyle();
    int IsPatternNameDefined(const char* name, int& index);
    int SetExportPatternFill();
    int ExportPatternDefinition(unsigned long long& position);
    // The colour that fills the box of a tile, in the tile's opening item.
    int WriteTileBackground(const SetColorByValueData& color);

    // ---- text/ ----
    // The attribute defaults, at each picture and drawing section.
    void ResetTextState();
    int ExportTextString();
    int GetRenderModeFromGSatate(int& mode);
    static double CalculateFontFactor(double size);
    static const char* LookUpPostScriptName(const char* hostName);
    // Before the first changed attribute after a string, writes the pending run once.
    int BreakRun();
    template <class T>
    int KeepRunValue(T& stored, T incoming);

    // ---- structure/ ----
    // Ends every bracket still open, innermost first, as the host's own end
    // records would: a section or picture never ends inside one.
    int CloseOpenBrackets();
    // Ends the brackets opened after the most recent one of kind, which stays.
    int CloseBracketsAbove(Bracket kind);
    int CloseBracket(Bracket kind);

    // ---- raster/ ----
    int GetBitmapInformation(const char* path, unsigned short fileType, int& imageType,
                             int& bitsPerSample, int& width, int& height);
    // A read that ends early sets *shortRead (when given) and never clears it,
    // so a whole header can be read first and checked once.
    static int Read_INT32_FromFile(AImportFile file, int littleEndian, bool* shortRead = nullptr);
    static int Read_INT16_FromFile(AImportFile file, int littleEndian, bool* shortRead = nullptr);
    static unsigned int Read_UINT32_FromFile(AImportFile file, int littleEndian,
                                             bool* shortRead = nullptr);
    static unsigned short Read_UINT16_FromFile(AImportFile file, int littleEndian,
                                               bool* shortRead = nullptr);

    // ---- state: target and temporary files ----
    char descriptorText[80] = {};
    char fileName[32] = {};
    std::string targetPath;   // the full path named by exportFile
    std::string siblingPath;  // the finished document, until it replaces the target
    int unnamedTarget = -1;   // or its descriptor, when it has no name until complete
    std::string tempPath;
    AImportFile tempFile;
    // Everything written goes through it: to the body, in tempFile or from
    // the drawing section on in targetFile, and at the end to the target.
    AOutputWriter output{tempFile, targetFile};

    // ---- the rest of a picture's state: owned blocks, indexes and tables ----
    // ResetPicture empties them together with PictureState; the text blocks
    // keep their allocation, being only room.
    void ResetPicture();
    AOwnedArray<LayerDefinition> layerDefinitions;
    // The first declared layer of each name.
    DefinitionIndex layerIndex{sizeof LayerDefinition::name - 1, true};
    BracketStack brackets;
    TextState textState;
    // Work areas for escaping a run; they grow with the pending text.
    AOwnedArray<char> textWorkArea;
    SetColorDefData colorTable[kDefinitionSlots] = {};
    DefinitionIndex colorIndex{kMaxDefinitionName};
    GradientSlot gradientTable[kDefinitionSlots] = {};
    GradientNames gradientNames;
    PatternSlot patternTable[kDefinitionSlots] = {};
    DefinitionIndex patternIndex{kMaxDefinitionName};
    // Linked TIFF files read in this picture.
    AOwnedArray<LinkedFileFacts> linkedFiles;
};
