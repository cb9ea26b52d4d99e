// Groups, compound paths, masks, clip regions, guides and the image placement matrix.
#include <algorithm>
#include <climits>
#include <cmath>

#include "filter/AAIExportFilter.h"

namespace {

// Guides run across a fixed extent, in points, whatever the captured geometry.
constexpr double kGuideTop = 4715.5;
constexpr double kGuideBottom = -3924.5;
constexpr double kGuideLeft = -7885.0;
constexpr double kGuideRight = 8498.0;
constexpr double kSamePoint = 1e-8;

}  // namespace

int AAIExportFilter::BeginGroup()
{
    if (inPatternDefinition)
        return 1;
    if (!output.Write("u\n"))
        return 0;
    brackets.Push(Bracket::kGroup);
    return 1;
}

int AAIExportFilter::EndGroup()
{
    if (inPatternDefinition)
        return 1;
    brackets.Remove(Bracket::kGroup);
    if (!output.Write("U\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}

int AAIExportFilter::BeginComposite()
{
    // A fresh outermost compound path: nothing can still be merged from an
    // earlier one, even if that picture ended inside its bracket.
    if (compositeDepth == 0)
        compoundMerged = 0;
    if (compositeDepth < INT_MAX) {
        ++compositeDepth;
        brackets.Push(Bracket::kCompound);
    }
    if (inPatternDefinition) {
        // The opening has to follow the tile item's attribute lines, which the
        // first colour or path record writes; the next move-to writes it. A
        // compound path begun while one is already pending shares that one
        // opening, so its closing must be dropped too.
        if (compoundPending)
            ++compoundMerged;
        compoundPending = 1;
        return 1;
    }
    return output.Write("*u\n1 XR\n");
}

int AAIExportFilter::EndComposite()
{
    // An unmatched end leaves the depth at 0, so later gradients still get a
    // box of their own; it closes nothing that was merged.
    brackets.Remove(Bracket::kCompound);
    if (compositeDepth == 0)
        compoundMerged = 0;
    else if (--compositeDepth == 0)
        regionBounds.Invalidate();

    // Inside a pattern definition a compound path whose opening never reached
    // the tile writes no closing either: an unbalanced "*U" would break the tile.
    if (inPatternDefinition && compoundMerged > 0) {
        --compoundMerged;
        return 1;
    }
    if (inPatternDefinition && compoundPending) {
        compoundPending = 0;
        return 1;
    }
    compoundPending = 0;
    if (!output.Write("*U\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}

int AAIExportFilter::BeginMask()
{
    if (!output.Write("q\n"))
        return 0;
    brackets.Push(Bracket::kMask);
    return 1;
}

int AAIExportFilter::EndMask()
{
    brackets.Remove(Bracket::kMask);
    if (!output.Write("Q\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}

int AAIExportFilter::BeginClipRgn()
{
    inClipRegion = true;
    brackets.Push(Bracket::kClipRegion);
    return 1;
}

int AAIExportFilter::EndClipRgn()
{
    // One end leaves the region, however many beginnings came.
    while (brackets.Remove(Bracket::kClipRegion)) {
    }
    inClipRegion = false;
    return 1;
}

int AAIExportFilter::BeginGuide()
{
    // A bracket without a move-to captures nothing, rather than the last guide again.
    guideStart = FilterPoint{};
    guideEnd = FilterPoint{};
    if (!inGuide)
        brackets.Push(Bracket::kGuide);
    inGuide = true;
    return 1;
}

int AAIExportFilter::EndGuide()
{
    const FilterPoint start = guideStart;
    const double dx = std::fabs(start.x - guideEnd.x);
    const double dy = std::fabs(start.y - guideEnd.y);
    brackets.Remove(Bracket::kGuide);
    inGuide = false;
    guideStart = FilterPoint{};
    guideEnd = FilterPoint{};
    if (dx < kSamePoint && dy < kSamePoint)
        return 1;
    // Only the direction comes from the capture: a slanted one counts as horizontal.
    double line[4];
    if (dx < kSamePoint) {
        const double x = DistanceToPS(start.x);
        const double vertical[4] = {x, kGuideTop, x, kGuideBottom};
        std::copy(vertical, vertical + 4, line);
    } else {
        const double y = DistanceToPS(start.y);
        const double horizontal[4] = {kGuideLeft, y, kGuideRight, y};
        std::copy(horizontal, horizontal + 4, line);
    }
    if (!output.Write(token::Reals{line, 2}, "m\n", token::Reals{line + 2, 2}, "l\n(N) *\n"))
        return 0;
    return output.WriteBufferToExportFile(0);
}

int AAIExportFilter::SetMatrix(SetMatrixData* data)
{
    if (data == nullptr)
        return 0;
    // The host's c and d point the other way round from the image operator's.
    const double matrix[6] = {data->a, data->b, -data->c, -data->d, data->tx, data->ty};
    for (int i = 0; i < 6; ++i)
        graphicsState.matrix[i] = matrix[i];
    return 1;
}
