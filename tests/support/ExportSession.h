// One export driven through writeData into a private directory.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

#include "support/Files.h"
#include "support/FilterProbe.h"

class ExportSession {
public:
    // Names the target and begins a picture of the given size in host units;
    // with drawingSection, also sends record 2052 so drawing can follow.
    // assembled keeps the body in the temporary file until the end, which
    // then copies it into the finished file, as where no unnamed file can be.
    explicit ExportSession(double width = 8.5, double height = 11.0, bool drawingSection = true,
                           bool assembled = false);

    int Record(unsigned short opcode, void* payload = nullptr)
    {
        return filter.writeData(opcode, payload);
    }
    int Record(unsigned short opcode, std::nullptr_t) { return filter.writeData(opcode, nullptr); }
    // A payload given by value is sent by address; a pointer is sent as it is.
    template <class T, class = std::enable_if_t<!std::is_pointer_v<T>>>
    int Record(unsigned short opcode, T payload)
    {
        return filter.writeData(opcode, &payload);
    }
    // Text written since the drawing section began (after "%%EndSetup\n").
    std::string Drawing();
    // Sends record 17; returns the finished file, or "" when the record failed.
    std::string Finish();
    // Finishes this picture and begins another on the same filter and target.
    int NextPicture();
    // What was written after Mark(), body and buffer together.
    void Mark() { filter.Mark(); }
    std::string SinceMark() { return filter.SinceMark(); }

    TempDir dir;
    std::string target;
    FilterProbe filter;
    int finishResult = -1;
};

// A document line by line, from its first line through its last.
std::string Between(const std::string& text, const std::string& from, const std::string& to);

inline SetColorByValueData Rgb(unsigned short r, unsigned short g, unsigned short b)
{
    return SetColorByValueData{0, r, g, b, 0.0, 0.0, 0.0, 0.0};
}

// A closed rectangle with corners in points, painted from the state; EndPath's result.
int Box(ExportSession& s, double x0, double y0, double x1, double y1);
