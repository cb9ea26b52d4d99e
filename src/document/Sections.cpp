// Section records: the drawing section closes the document setup.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::BeginPatternSection()
{
    brackets.Push(Bracket::kSection);
    return 1;
}

// A section ends every bracket begun in it, so no tile string, compound path
// or image runs on into what follows; those begun before it stay open.
int AAIExportFilter::EndPatternSection()
{
    int closed = 1;
    if (brackets.Has(Bracket::kSection)) {
        closed = CloseBracketsAbove(Bracket::kSection);
        brackets.Remove(Bracket::kSection);
    }
    return output.WriteBufferToExportFile(0) && closed;
}

int AAIExportFilter::EndDrawingSection() { return EndPatternSection(); }

int AAIExportFilter::SetJobInfo(SetJobInfoData*) { return output.WriteBufferToExportFile(0); }

int AAIExportFilter::BeginDrawingSection(BeginDrawingSectionData* data)
{
    if (data == nullptr)
        return 0;
    // The setup ends here, and with it whatever the pattern section left open.
    if (!CloseOpenBrackets() || !output.WriteBufferToExportFile(0))
        return 0;
    const long position = BodyPosition();
    if (position < 0)
        return 0;
    artWidth = DistanceToPS(data->width);
    artHeight = DistanceToPS(data->height);
    setupEndMark = static_cast<unsigned long long>(position);
    setupClosed = true;
    WriteHeadBeforeBody();
    if (bodyLost)
        return 0;
    if (!output.Write("%%EndSetup\n"))
        return 0;
    brackets.Push(Bracket::kSection);
    ResetGraphicsState();
    ResetTextState();
    return 1;
}

int AAIExportFilter::CloseSetup()
{
    // A picture that ends without a drawing section: close the setup where
    // the body stands, with the picture's own size as the art size.
    if (!output.WriteBufferToExportFile(0))
        return 0;
    const long position = BodyPosition();
    if (position < 0)
        return 0;
    artWidth = pictureWidth;
    artHeight = pictureHeight;
    setupEndMark = static_cast<unsigned long long>(position);
    setupClosed = true;
    return output.Write("%%EndSetup\n");
}
