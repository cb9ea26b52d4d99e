// A small drawing that sends every kind of record, for the fault and hostile-host tests.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "host/AHostExportFilter.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"
#include "reliability/RecordCatalog.h"

namespace reliability {

// A 40 by 30 RGB TIFF header, little-endian, every value inline.
inline std::string SmallTiff()
{
    static const unsigned char kBytes[] = {
        'I', 'I', 42, 0, 8, 0, 0, 0, 4, 0,  0, 1, 3, 0, 1, 0, 0, 0, 40, 0, 0,
        0,   1,   1,  3, 0, 1, 0, 0, 0, 30, 0, 0, 0, 2, 1, 3, 0, 1, 0,  0, 0,
        8,   0,   0,  0, 6, 1, 3, 0, 1, 0,  0, 0, 2, 0, 0, 0, 0, 0, 0,  0,
    };
    return std::string(reinterpret_cast<const char*>(kBytes), sizeof kBytes);
}

template <std::size_t N>
void CopyName(char (&to)[N], const char* from)
{
    std::memset(to, 0, N);
    std::strncpy(to, from, N - 1);
}

// Sends one picture that reaches every record the filter handles, from
// BeginPicture up to (not including) EndPicture. Each record's result is
// kept in results; the host goes on after a failure, as hosts do.
class EveryRecord {
public:
    // What the drawing changes of what goes before it: with kStraight nothing,
    // so the finished file takes the body as it comes; kPatternFill fills
    // with the pattern, which widens its tile's box; kLateGradient defines
    // and fills with a gradient inside the drawing.
    enum Late { kPatternFill, kStraight, kLateGradient };

    EveryRecord(AHostExportFilter& filter, std::string tiffPath, Late late = kPatternFill)
        : f(filter), tiff(std::move(tiffPath)), late(late)
    {
    }

    void Send()
    {
        BeginPictureData picture{0, 0, 0, 8.5, 11};
        Rec(aiop::kBeginPicture, &picture);
        Definitions();
        BeginDrawingSectionData section{8.5, 11};
        Rec(aiop::kBeginDrawingSection, &section);
        Drawing();
        Rec(aiop::kEndDrawingSection);
    }

    // Every record the filter answered 0, by opcode, in order.
    std::vector<unsigned short> failed;

private:
    int Rec(unsigned short op, void* payload = nullptr)
    {
        static std::vector<unsigned char> zeros(kIgnoredPayloadSize, 0);
        const int r = f.writeData(op, payload != nullptr ? payload : zeros.data());
        if (r == 0)
            failed.push_back(op);
        return r;
    }
    template <class T>
    int Send(unsigned short op, T payload)
    {
        return Rec(op, &payload);
    }

    static SetColorByValueData Rgb(unsigned short r, unsigned short g, unsigned short b)
    {
        return SetColorByValueData{0, r, g, b, 0, 0, 0, 0};
    }
    static SetColorByValueData Cmyk(double c, double m, double y, double k)
    {
        return SetColorByValueData{1, 0, 0, 0, c, m, y, k};
    }

    void Path(std::initializer_list<std::pair<double, double>> points, bool curve = true)
    {
        Rec(aiop::kBeginPath);
        bool first = true;
        for (auto [x, y] : points) {
            if (first)
                Send(aiop::kMoveTo, MoveToData{x, y});
            else
                Send(aiop::kLineTo, LineToData{x, y});
            first = false;
        }
        if (curve)
            Send(aiop::kCurveTo, CurveToData{1, 1, 2, 2, 3, 1});
        Rec(aiop::kClosePath);
        Rec(aiop::kReversePath);
        Rec(aiop::kEndPath);
    }

    void Gradient(const char* name)
    {
        SetGradientDefData gradient{};
        gradient.tag = 1;
        CopyName(gradient.name, name);
        Rec(aiop::kBeginGradient);
        Send(aiop::kSetGradientDef, gradient);
        Send(aiop::kSetGradient2,
             SetGradient2Data{name[0] == 'G' ? short{1} : short{0}, 0, 0, 1, 1});
        for (int i = 0; i < 3; ++i) {
            SetGradientRGNData stop{};
            stop.location = 50.0 * i;
            stop.midpoint = 50;
            stop.stopColor.color = i == 1 ? Cmyk(0.2, 0, 1, 0) : Rgb(255, 0, 40);
            stop.stopColor.tinted = i == 2;
            stop.stopColor.tint = 0.5;
            Send(aiop::kSetGradientRGN, stop);
        }
        Rec(aiop::kEndGradient);
    }

    void Definitions()
    {
        // More layers than one block of layer nodes holds.
        for (int i = 0; i < 12; ++i) {
            DefLayerData layer{};
            CopyName(layer.name, ("Layer " + std::to_string(i)).c_str());
            layer.visibility = i % 2;
            Send(aiop::kDefineLayer, layer);
        }
        SetColorDefData spot{};
        spot.tag = 1;
        CopyName(spot.name, "Spot Red");
        spot.color = Cmyk(0, 1, 1, 0);
        spot.spot = 1;
        Send(aiop::kSetColorDef, spot);
        SetColorDefData process = spot;
        CopyName(process.name, "Process Blue");
        process.color = Rgb(0, 0, 255);
        process.spot = 0;
        Send(aiop::kSetColorDef, process);

        for (const char* name : {"Fade", "Glow"})
            Gradient(name);

        Send(aiop::kSetPatternSections, 1);
        Rec(aiop::kBeginPatternSection);
        SetPatternDefData pattern{};
        pattern.tag = 1;
        CopyName(pattern.name, "Dots");
        pattern.tileWidth = 0.5;
        pattern.tileHeight = 0.5;
        Send(aiop::kSetPatternDef, pattern);
        char trans[] = "t";
        Rec(aiop::kSetPatternTrans, trans);
        Send(aiop::kSetPatternColSpacing, 0.1);
        Send(aiop::kSetPatternRowSpacing, 0.1);
        Send(aiop::kSetPatternBackground, Rgb(255, 255, 200));
        Rec(aiop::kBeginPattern);
        Send(aiop::kSetFillColorByValue, Rgb(0, 0, 0));
        Path({{0, 0}, {0.2, 0}, {0.2, 0.2}}, false);
        Rec(aiop::kEndPattern);
        Rec(aiop::kEndPatternSection);
    }

    void Drawing()
    {
        char layer[] = "Layer 2";
        Rec(aiop::kBeginLayer, layer);
        Rec(aiop::kBeginGroup);
        Send(aiop::kSetFillType, static_cast<unsigned short>(1));
        Send(aiop::kSetFillMode, static_cast<unsigned short>(1));
        Send(aiop::kSetFillColorByValue, Rgb(255, 128, 0));
        Send(aiop::kSetStrokeColorByValue, Cmyk(0.1, 0.2, 0.3, 0.4));
        Send(aiop::kSetStroke, SetStrokeData{2, 0.02, 1, 1, 4});
        Path({{1, 9}, {2, 9}, {2, 10}});
        Send(aiop::kLine, LineData{5, 9, 6, 10});
        NAME_TAG spot{1, {}};
        CopyName(spot.name, "Spot Red");
        Send(aiop::kSetFillColorByName, spot);
        Send(aiop::kSetStrokeColorByName, spot);
        Path({{3, 9}, {4, 9}, {4, 10}});

        Rec(aiop::kBeginComposite);
        Path({{1, 7}, {2, 7}, {2, 8}});
        Path({{1.2, 7.2}, {1.5, 7.2}, {1.5, 7.5}});
        Rec(aiop::kEndComposite);
        Rec(aiop::kBeginMask);
        Path({{3, 7}, {4, 7}, {4, 8}});
        Rec(aiop::kEndMask);
        Rec(aiop::kBeginClipRgn);
        Path({{5, 7}, {6, 7}, {6, 8}});
        Rec(aiop::kEndClipRgn);
        Rec(aiop::kBeginGuide);
        Path({{0, 7.5}, {8.5, 7.5}}, false);
        Rec(aiop::kEndGuide);
        Rec(aiop::kEndGroup);

        SetFillTypeNameData fill{};
        fill.fillType = 2;
        fill.tag = 1;
        CopyName(fill.name, "Fade");
        Send(aiop::kSetFillTypeName, fill);
        Path({{1, 3}, {2, 3}, {2, 4}});
        CopyName(fill.name, "Glow");
        Send(aiop::kSetFillTypeName, fill);
        Path({{2, 3}, {3, 3}, {3, 4}});
        if (late == kLateGradient) {
            Gradient("Late");
            CopyName(fill.name, "Late");
            Send(aiop::kSetFillTypeName, fill);
            Path({{3, 4}, {4, 4}, {4, 5}});
        }
        if (late == kPatternFill) {
            fill.fillType = 3;
            CopyName(fill.name, "Dots");
            Send(aiop::kSetFillTypeName, fill);
            Path({{3, 3}, {4, 3}, {4, 4}});
        }
        Send(aiop::kSetFillType, static_cast<unsigned short>(1));

        Text();
        Raster();
        // Shapes, previews and records the filter does not know: accepted, ignored.
        for (unsigned short op :
             {aiop::kArc, aiop::kArcTo, aiop::kCircle, aiop::kEllipse, aiop::kRectangle,
              aiop::kBeginPreviewSection, aiop::kSetPreview, aiop::kEndPreviewSection,
              aiop::kSetGradient, aiop::kSetColorTable})
            Rec(op);
        for (unsigned short op : kUnknownOpcodes)
            Rec(op);
        Rec(aiop::kEndLayer);
    }

    void Text()
    {
        Send(aiop::kSetTextType, static_cast<unsigned short>(0));
        Rec(aiop::kBeginText);
        SetCharAttrData attr{};
        CopyName(attr.faceName, "Helvetica");
        attr.faceNameLength = 9;
        CopyName(attr.styleName, "Bold");
        attr.styleNameLength = 4;
        attr.fontSize = 12;
        attr.horizontalScale = 100;
        Send(aiop::kSetCharAttr, attr);
        Send(aiop::kSetTextAttr, SetTextAttrData{1, 0, 0, 0, 14, 0, 0});
        Send(aiop::kSetTextMatrix, SetTextMatrixData{1, 0, 0, 1, 1, 6});
        Send(aiop::kSetTextScale, SetTextScaleData{1, 1});
        Send(aiop::kSetTextVerOffset, 0.1);
        Send(aiop::kSetTextTracking, 20.0);
        for (unsigned short op :
             {aiop::kSetArcTextAttr, aiop::kSetGlyphMatrix, aiop::kSetLineRun,
              aiop::kSetLineRunMatrix, aiop::kSetDirRun, aiop::kSetJustRun, aiop::kSetKernRun,
              aiop::kSetParaRun, aiop::kSetFontRun, aiop::kSetText, aiop::kGlyph})
            Rec(op);
        // Longer than the text block's first size, so the block grows.
        std::string words = "Hello (world) \\ \xE9";
        while (words.size() < 700)
            words += " and more words";
        _TextData text{words.data(), 0, static_cast<std::uint32_t>(words.size())};
        Send(aiop::kText, text);
        CopyName(attr.faceName, "Times");
        attr.faceNameLength = 5;
        attr.fontSize = 9;
        Send(aiop::kSetCharAttr, attr);
        char again[] = " again\r";
        Send(aiop::kAppendText, _TextData{again, 0, 7});
        Rec(aiop::kEndText);
        Rec(aiop::kBeginSimpleText);
        char simple[] = "simple";
        Send(aiop::kText, _TextData{simple, 0, 6});
        Rec(aiop::kEndSimpleText);
    }

    void Raster()
    {
        Send(aiop::kSetMatrix, SetMatrixData{2, 0, 0, 1, 1, 1});
        BeginBitmapData image{};
        image.width = 6000;
        image.height = 2;
        image.bytesPerRow = 18000;  // one row needs more than the buffer holds
        image.bitDepth = 8;
        image.colorModel = 3;
        Send(aiop::kBeginBitmap, image);
        rows.assign(2 * 18000, 0);
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<unsigned char>(i * 7);
        Send(aiop::kBitmap, BitmapData{0, 1, rows.data()});
        Rec(aiop::kEndBitmap);
        image.width = 2;
        image.height = 2;
        image.bytesPerRow = 2;
        image.colorModel = 0;
        Send(aiop::kBeginBitmap, image);
        unsigned char grey[] = {0, 64, 128, 255};
        Send(aiop::kBitmap, BitmapData{0, 1, grey});
        Rec(aiop::kEndBitmap);

        PathPostscriptData eps{};
        CopyName(eps.filePath, "E:\\art\\logo (1).eps");
        eps.placeX = 1;
        eps.placeY = 1;
        eps.placeScale = 1;
        eps.boxRight = 100;
        eps.boxTop = 50;
        Send(aiop::kPathPostscript, eps);
        PathBitmapData link{};
        CopyName(link.filePath, tiff.c_str());
        link.fileType = 1;
        link.placeX = 1;
        link.placeY = 1;
        link.placeWidth = 2;
        link.placeHeight = 1;
        link.placeScale = 1;
        Send(aiop::kPathBitmap, link);
    }

    AHostExportFilter& f;
    std::string tiff;
    Late late;
    std::vector<unsigned char> rows;
};

}  // namespace reliability
