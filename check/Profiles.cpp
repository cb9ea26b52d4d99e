// The profiles by name, what each forbids or requires, and findings as text.
#include <cstring>

#include "Check.h"

namespace aicheck {

namespace {

struct Named {
    const char* name;
    Profile profile;
};
constexpr Named kProfiles[] = {
    {"cut", Profile::kCut},
    {"laser", Profile::kLaser},
    {"stock", Profile::kStock},
    {"print", Profile::kPrint},
};

Rules MakeRules(Profile profile)
{
    Rules r;
    switch (profile) {
    case Profile::kNone: break;
    case Profile::kCut:  // a cutting plotter or a print-and-cut RIP
        r.hairlineStrokes = true;
        r.cutContour = true;
        r.marksOwnLayer = true;
        r.oneArtLayer = true;
        break;
    case Profile::kLaser:  // the drawing order is the burning order: kept as drawn
        r.hairlineStrokes = true;
        break;
    case Profile::kStock:  // everything expanded, nothing a reader must interpret
        r.noText = r.noStrokes = r.noRasters = r.noTransparency = r.noOpenPaths = true;
        break;
    case Profile::kPrint:  // screen printers separate by named spot colours
        r.namedColors = true;
        break;
    }
    return r;
}

}  // namespace

bool ParseProfile(std::string_view name, Profile& profile)
{
    for (const Named& p : kProfiles)
        if (name == p.name) {
            profile = p.profile;
            return true;
        }
    return false;
}

const char* ProfileName(Profile profile)
{
    for (const Named& p : kProfiles)
        if (p.profile == profile)
            return p.name;
    return "none";
}

const char* ProfileNames() { return "cut, laser, stock, print"; }

const Rules& RulesOf(Profile profile)
{
    static const Rules none = MakeRules(Profile::kNone), cut = MakeRules(Profile::kCut),
                       laser = MakeRules(Profile::kLaser), stock = MakeRules(Profile::kStock),
                       print = MakeRules(Profile::kPrint);
    switch (profile) {
    case Profile::kCut: return cut;
    case Profile::kLaser: return laser;
    case Profile::kStock: return stock;
    case Profile::kPrint: return print;
    case Profile::kNone: break;
    }
    return none;
}

std::string Finding::Text() const
{
    std::string text = file;
    if (line > 0)
        text += ":" + std::to_string(line);
    text += severity == Severity::kError ? ": error: " : ": warning: ";
    return text + message;
}

}  // namespace aicheck
