// The brackets a picture has open, innermost last.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

enum class Bracket {
    kLayer,            // a declared layer: its opening lines are written
    kUndeclaredLayer,  // a layer the list lacks: nothing is written for it
    kGroup,
    kCompound,
    kMask,
    kClipRegion,
    kGuide,
    kText,
    kPattern,  // a pattern definition, its tile and items
    kRaster,
    kSection,  // where a section began: its end closes what lies above
    kEnd,      // no bracket: the kinds end here
};
constexpr std::size_t kBracketKinds = static_cast<std::size_t>(Bracket::kEnd);

// Runs of one kind are kept as one entry, so a host that opens a million
// groups costs a count, not a million entries.
class BracketStack {
public:
    void Clear()
    {
        runs.clear();
        depth = 0;
        for (std::size_t& n : open)
            n = 0;
    }
    bool Empty() const { return runs.empty(); }
    Bracket Top() const { return runs.back().first; }
    bool Has(Bracket kind) const { return kind != Bracket::kEnd && open[Index(kind)] != 0; }
    // The brackets open, of every kind.
    std::size_t Depth() const { return depth; }
    void Push(Bracket kind)
    {
        ++depth;
        ++open[Index(kind)];
        if (!runs.empty() && runs.back().first == kind)
            ++runs.back().second;
        else
            runs.emplace_back(kind, 1);
    }
    // Removes the innermost bracket of kind; false when none is open.
    bool Remove(Bracket kind)
    {
        if (!Has(kind))
            return false;
        const std::size_t at = Find(kind);
        --open[Index(kind)];
        --depth;
        if (--runs[at].second == 0)
            runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(at));
        return true;
    }
    // Is the innermost bracket of the two kinds one of kind a?
    bool Innermost(Bracket a, Bracket b) const
    {
        for (std::size_t i = runs.size(); i-- > 0;) {
            if (runs[i].first == a || runs[i].first == b)
                return runs[i].first == a;
        }
        return false;
    }

private:
    static std::size_t Index(Bracket kind) { return static_cast<std::size_t>(kind); }
    // The entry of the innermost bracket of kind, or the count of entries.
    std::size_t Find(Bracket kind) const
    {
        for (std::size_t i = runs.size(); i-- > 0;) {
            if (runs[i].first == kind)
                return i;
        }
        return runs.size();
    }

    std::vector<std::pair<Bracket, std::size_t>> runs;
    std::size_t open[kBracketKinds] = {};  // brackets of each kind, for Has
    std::size_t depth = 0;
};
