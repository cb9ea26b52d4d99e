// The brackets a picture has open, innermost last.
#pragma once

#include <cstddef>
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

// Brackets of one kind opened one after another are kept as one run, so a
// host that opens a million groups costs a count, not a million entries. Each
// run links to the run of its kind below it, so every operation takes the
// same few steps however many brackets are open, even when a host ends them
// out of order.
class BracketStack {
public:
    BracketStack() { Clear(); }
    void Clear()
    {
        runs.clear();
        depth = 0;
        for (std::size_t& run : innermost)
            run = kNone;
    }
    bool Empty() const { return depth == 0; }
    // The brackets open, of every kind.
    std::size_t Depth() const { return depth; }
    // The innermost bracket; only when not Empty.
    Bracket Top() const { return runs.back().kind; }
    bool Has(Bracket kind) const
    {
        return kind != Bracket::kEnd && innermost[Index(kind)] != kNone;
    }
    void Push(Bracket kind)
    {
        ++depth;
        if (!runs.empty() && runs.back().kind == kind) {
            ++runs.back().count;
            return;
        }
        runs.push_back(Run{kind, 1, innermost[Index(kind)]});
        innermost[Index(kind)] = runs.size() - 1;
    }
    // Removes the innermost bracket of kind; false when none is open.
    bool Remove(Bracket kind)
    {
        if (!Has(kind))
            return false;
        std::size_t& at = innermost[Index(kind)];
        --depth;
        if (--runs[at].count == 0)
            at = runs[at].below;
        // Runs emptied out of order wait until they are outermost of nothing.
        while (!runs.empty() && runs.back().count == 0)
            runs.pop_back();
        return true;
    }
    // Is the innermost bracket of the two kinds one of kind a?
    bool Innermost(Bracket a, Bracket b) const
    {
        const std::size_t ia = innermost[Index(a)];
        const std::size_t ib = innermost[Index(b)];
        return ia != kNone && (ib == kNone || ia > ib);
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    static std::size_t Index(Bracket kind) { return static_cast<std::size_t>(kind); }

    struct Run {
        Bracket kind;
        std::size_t count;
        std::size_t below;  // the run of the same kind below, or kNone
    };
    std::vector<Run> runs;
    std::size_t depth = 0;
    std::size_t innermost[kBracketKinds];  // each kind's innermost run, or kNone
};
