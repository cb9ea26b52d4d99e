// The findings of one check as they are made, each kind reported a few times
// and then counted, so a file of a million strokes gives a readable report.
#pragma once

#include <algorithm>
#include <climits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Check.h"

namespace aicheck {

// Findings of one kind beyond this many are counted, not listed.
constexpr int kMaxFindingsPerKind = 20;

class Findings {
public:
    explicit Findings(std::string file) : file(std::move(file)) {}

    void Add(long line, Severity severity, const std::string& kind, std::string message)
    {
        Count& count = counts[kind];
        if (severity == Severity::kError)
            count.error = true;
        if (++count.seen > kMaxFindingsPerKind)
            return;
        // One finding a line, whatever names from the file it quotes.
        for (char& c : message)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                c = ' ';
        list.push_back({file, line, severity, std::move(message)});
    }

    // Every finding, with one line for each kind that had more than were listed.
    // In the order of the file; those of the whole file last.
    std::vector<Finding> Take()
    {
        std::stable_sort(list.begin(), list.end(), [](const Finding& a, const Finding& b) {
            return (a.line == 0 ? LONG_MAX : a.line) < (b.line == 0 ? LONG_MAX : b.line);
        });
        for (const auto& [kind, count] : counts)
            if (count.seen > kMaxFindingsPerKind)
                list.push_back({file, 0, count.error ? Severity::kError : Severity::kWarning,
                                std::to_string(count.seen - kMaxFindingsPerKind) +
                                    " more findings like the above (" + kind + ") not listed"});
        return std::move(list);
    }

private:
    struct Count {
        long seen = 0;
        bool error = false;
    };
    std::string file;
    std::vector<Finding> list;
    std::map<std::string, Count> counts;
};

}  // namespace aicheck
