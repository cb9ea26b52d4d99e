// Preflight: what in an SVG drawing or an Illustrator file a reader, a cutter,
// a laser, a stock site or a print shop would refuse, and the profiles that
// say which of it each of them forbids or requires.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace aicheck {

// Who the file is for; kNone judges only what breaks any reader.
enum class Profile { kNone, kCut, kLaser, kStock, kPrint };

// "cut", "laser", "stock" or "print" (exactly, as typed on the command line)
// into `profile`; false, with `profile` unchanged, for any other name.
bool ParseProfile(std::string_view name, Profile& profile);
// The command-line name; "none" for kNone.
const char* ProfileName(Profile profile);
// "cut, laser, stock, print", for messages that list them.
const char* ProfileNames();

// The spot colour that cutting plotters and print-and-cut RIPs cut along;
// its name is matched exactly, case included.
constexpr const char* kCutContourName = "CutContour";
// The layer of registration marks (matched without regard to case, as a
// prefix: "Registration", "registration marks").
constexpr const char* kRegistrationLayerName = "Registration";
// Widest stroke, in points, that cutters and lasers take as a hairline.
constexpr double kHairlineWidth = 0.25;
// Segments shorter than this, in points after every transform, are noise that
// makes cutters stutter and lasers burn a dot.
constexpr double kTinySegment = 0.01;

// What a profile forbids (no...) or requires; RulesOf gives each profile's.
struct Rules {
    bool noText = false;           // live text: only outlines
    bool noStrokes = false;        // strokes expanded to fills
    bool hairlineStrokes = false;  // every stroke at most kHairlineWidth
    bool noRasters = false;        // embedded or linked images
    bool noTransparency = false;   // opacity, blur and filters, masks, blend modes
    bool noOpenPaths = false;
    bool cutContour = false;     // a kCutContourName spot colour is present
    bool marksOwnLayer = false;  // registration marks on a layer of their own
    bool oneArtLayer = false;    // besides the marks' and the cut line's layers
    bool namedColors = false;    // colours as named spot colours or CMYK values
};
const Rules& RulesOf(Profile profile);

enum class Severity { kWarning, kError };

struct Finding {
    std::string file;  // as given on the command line
    long line = 0;     // 0 for the whole file
    Severity severity = Severity::kWarning;
    std::string message;  // the object and what to do about it

    // "FILE:LINE: warning|error: message" (no ":LINE" when line is 0).
    std::string Text() const;
};

// The tool's exit status follows it.
enum class Status { kClean = 0, kFindings = 1, kUnreadable = 2 };

struct Report {
    Status status = Status::kClean;
    std::string error;  // when kUnreadable: "FILE[:LINE]: why"
    std::vector<Finding> findings;
};

// An Illustrator 5/6-level file, ours or another program's, read a line at a
// time: its structure, its brackets, its numbers, what it names but lacks,
// and what `profile` forbids or requires of it.
Report CheckAi(const std::string& path, Profile profile);

// An SVG drawing (.svg or .svgz); a build without SVG input reports it
// unreadable and says so.
Report CheckSvg(const std::string& path, Profile profile);

// Either, by the file's first bytes (an SVG name counts too); anything else
// is unreadable.
Report CheckFile(const std::string& path, Profile profile);

}  // namespace aicheck
