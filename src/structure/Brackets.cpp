// Brackets left open where a section or the picture ends, closed as their own ends would.
#include "filter/AAIExportFilter.h"

int AAIExportFilter::CloseBracket(Bracket kind)
{
    switch (kind) {
    case Bracket::kLayer:
    case Bracket::kUndeclaredLayer: return EndLayer();
    case Bracket::kGroup: return EndGroup();
    case Bracket::kCompound: return EndComposite();
    case Bracket::kMask: return EndMask();
    case Bracket::kClipRegion: return EndClipRgn();
    case Bracket::kGuide: return EndGuide();
    case Bracket::kText: return EndText();
    case Bracket::kPattern: return EndPattern();
    case Bracket::kRaster: return EndBitmap();
    case Bracket::kSection: return brackets.Remove(Bracket::kSection) ? 1 : 0;
    case Bracket::kEnd: break;
    }
    return 0;
}

int AAIExportFilter::CloseBracketsAbove(Bracket kind)
{
    int closed = 1;
    while (!brackets.Empty() && brackets.Top() != kind) {
        const std::size_t depth = brackets.Depth();
        const Bracket top = brackets.Top();
        if (!CloseBracket(top))
            closed = 0;
        // An end that failed before it let go of its bracket still lets go.
        if (brackets.Depth() == depth)
            brackets.Remove(top);
    }
    return closed;
}

int AAIExportFilter::CloseOpenBrackets()
{
    // An image admits nothing inside it; a path ends inside everything else.
    int closed = 1;
    if (brackets.Has(Bracket::kRaster) && !CloseBracketsAbove(Bracket::kRaster))
        closed = 0;
    if (!brackets.Empty() && brackets.Top() == Bracket::kRaster && !EndBitmap())
        closed = 0;
    if (pathOpen && !EndPath())
        closed = 0;
    if (!CloseBracketsAbove(Bracket::kEnd))
        closed = 0;
    return closed;
}
