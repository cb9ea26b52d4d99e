// Point-text objects: the bracket, the text path block and the runs of characters.
#include <algorithm>
#include <cstring>

#include "filter/AAIExportFilter.h"

namespace {

// Keeps the escaped run and every size derived from it inside 32 bits.
constexpr std::size_t kMaxPendingCapacity = std::size_t{1} << 28;
constexpr std::size_t kMinPendingCapacity = 256;

int KernValue(std::uint32_t kernClass)
{
    static const int values[] = {5, 15, 20, 0, -5, 10, 15};
    return kernClass < sizeof values / sizeof values[0] ? values[kernClass] : 15;
}

// Makes room for the escaped form of capacity - 1 characters; the old contents are not kept.
int ReserveWorkArea(AOwnedArray<char>& workArea, std::size_t capacity)
{
    return workArea.Reserve(kEscapeFactor * (capacity - 1) + 1, 0);
}

// Grows the pending string, by doubling, until length characters and the NUL fit; the
// characters already there are kept. The work area grows with it, so a run once collected
// can always be escaped. On failure nothing collected so far is lost.
int ReserveTextAreas(TextState& t, AOwnedArray<char>& workArea, std::size_t length)
{
    if (length >= kMaxPendingCapacity)
        return 0;
    AOwnedArray<char>& pending = t.pendingString;
    const std::size_t need = length + 1;
    if (pending.Data() == nullptr || need > pending.Capacity()) {
        std::size_t capacity = std::max(pending.Capacity(), kMinPendingCapacity);
        while (capacity < need)
            capacity *= 2;
        capacity = std::min(capacity, kMaxPendingCapacity);
        const bool hadText = pending.Data() != nullptr;
        if (!pending.Reserve(capacity, hadText ? t.pendingLength + 1 : 0))
            return 0;
        if (!hadText) {
            pending[0] = '\0';
            t.pendingLength = 0;
        }
    }
    return ReserveWorkArea(workArea, pending.Capacity());
}

}  // namespace

int AAIExportFilter::BeginText()
{
    textStarted = false;  // a string never written as a run is dropped
    if (!brackets.Has(Bracket::kText))
        brackets.Push(Bracket::kText);
    if (inClipRegion)
        clipText = true;
    return 1;
}

int AAIExportFilter::BeginSimpleText() { return AAIExportFilter::BeginText(); }

int AAIExportFilter::EndSimpleText()
{
    brackets.Remove(Bracket::kText);
    if (inClipRegion)
        clipText = false;
    if (textStarted && !runWritten && !ExportTextString())
        return 0;
    if (!output.Write("TO\n"))
        return 0;
    textStarted = false;
    return output.WriteBufferToExportFile(0);
}

int AAIExportFilter::EndText() { return EndSimpleText(); }

int AAIExportFilter::SetTextType(unsigned short* data)
{
    if (data == nullptr)
        return 0;
    textState.textType = *data;
    // Every object is point text, whatever the host's type. The line opens
    // the text object, begun or not.
    if (!output.Write("0 To\n"))
        return 0;
    if (!brackets.Has(Bracket::kText))
        brackets.Push(Bracket::kText);
    return 1;
}

int AAIExportFilter::SetTextMatrix(SetTextMatrixData* data)
{
    if (data == nullptr)
        return 0;
    const double values[6] = {data->a, data->b, data->c, data->d, data->tx, data->ty};
    double* const stored = textState.textMatrix;
    if (textStarted && std::equal(values, values + 6, stored))
        return 1;
    if (!BreakRun())
        return 0;
    double matrix[6];
    for (int i = 0; i < 4; ++i)
        matrix[i] = values[i] * pointsPerUnit;
    matrix[4] = DistanceToPS(values[4]);
    matrix[5] = DistanceToPS(values[5]);
    // Fill and stroke are read now: records after the matrix do not change the mode.
    int mode = 0;
    GetRenderModeFromGSatate(mode);
    if (!output.Write(token::Reals{matrix, 6}, "0 Tp\n0 Tv\nTP\n", token::Integer{mode}, "Tr\n"))
        return 0;
    std::copy(values, values + 6, stored);
    return 1;
}

int AAIExportFilter::GetRenderModeFromGSatate(int& mode)
{
    const bool filled = graphicsState.fillType != kFillNone;
    const bool stroked = graphicsState.stroke.style != kStrokeNone;
    // Text inside a clip region is part of the clipping path: clip only, never painted.
    if (inClipRegion && clipText)
        mode = 7;
    else if (!filled && !stroked)
        mode = 3;
    else if (!stroked)
        mode = 0;
    else if (!filled)
        mode = 1;
    else
        mode = 2;
    return 1;
}

int AAIExportFilter::Text(_TextData* data)
{
    if (data == nullptr || data->text == nullptr)
        return 0;
    const std::size_t length = std::strlen(data->text);
    // A string after a written run starts a new run; otherwise it extends the pending one.
    const std::size_t kept = (textStarted && !runWritten) ? textState.pendingLength : 0;
    if (length >= kMaxPendingCapacity - kept)
        return 0;
    if (!ReserveTextAreas(textState, textWorkArea, kept + length))
        return 0;
    std::memcpy(textState.pendingString.Data() + kept, data->text, length + 1);
    textState.pendingLength = static_cast<std::uint32_t>(kept + length);
    textStarted = true;
    runWritten = false;
    return 1;
}

int AAIExportFilter::AppendText(_TextData* data) { return Text(data); }

int AAIExportFilter::ExportTextString()
{
    const char* pending = textState.pendingString.Data();
    const char* text = pending != nullptr ? pending : "";
    const std::size_t length = std::strlen(text);
    if (!ReserveWorkArea(textWorkArea, length + 1))
        return 0;
    char* const escaped = textWorkArea.Data();
    const std::size_t escapedLength = AOutputWriter::StringToStandardExportString(escaped, text);
    if (!output.Write("(", token::Chars{escaped, escapedLength}, ") Tx 1 ",
                      token::Integer{KernValue(textState.kernClass)}, "Tk\n"))
        return 0;
    return output.FlushIfAbove(256);
}

int AAIExportFilter::BreakRun()
{
    if (!textStarted || runWritten)
        return 1;
    runWritten = true;
    return ExportTextString();
}

int AAIExportFilter::SetTextScale(SetTextScaleData* data)
{
    if (data == nullptr)
        return 0;
    if (textStarted && data->x == textState.textScale[0] && data->y == textState.textScale[1])
        return 1;
    if (!BreakRun())
        return 0;
    textState.textScale[0] = data->x;
    textState.textScale[1] = data->y;
    return 1;
}

int AAIExportFilter::SetTextVerOffset(double* data)
{
    if (data == nullptr)
        return 0;
    if (textStarted && *data == textState.verticalOffset)
        return 1;
    if (!BreakRun())
        return 0;
    textState.verticalOffset = *data;
    return 1;
}

// Records of text on arcs, glyphs and line runs: the output has no form for them.
int AAIExportFilter::SetArcTextAttr(SetArcTextAttrData*) { return 1; }
int AAIExportFilter::SetText(SetTextData*) { return 1; }
int AAIExportFilter::Glyph(GlyphData*) { return 1; }
int AAIExportFilter::SetGlyphMatrix(SetGlyphMatrixData*) { return 1; }
int AAIExportFilter::SetLineRun(SetLineRunData*) { return 1; }
int AAIExportFilter::SetLineRunMatrix(SetLineRunMatrixData*) { return 1; }
int AAIExportFilter::SetDirRun(SetDirRunData*) { return 1; }
int AAIExportFilter::SetJustRun(SetJustRunData*) { return 1; }
int AAIExportFilter::SetKernRun(SetKernRunData*) { return 1; }
int AAIExportFilter::SetParaRun(SetParaRunData*) { return 1; }
int AAIExportFilter::SetFontRun(SetFontRunData*) { return 1; }
