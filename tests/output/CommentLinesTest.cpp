// Names that stand on comment lines: a line of the output ends only where the writer ends it.
#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

// The first comment line that holds a byte below 0x20 or 0x7F, or "".
std::string ControlInComment(const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        if (text[at] == '%') {
            for (std::size_t i = at; i < end; ++i) {
                const auto c = static_cast<unsigned char>(text[i]);
                if (c < 0x20 || c == 0x7f)
                    return text.substr(at, end - at);
            }
        }
        at = end + 1;
    }
    return "";
}

template <std::size_t N>
void Name(char (&to)[N], const std::string& name)
{
    std::memset(to, 0, N);
    std::memcpy(to, name.data(), std::min(name.size(), N - 1));
}

}  // namespace

TEST(CommentLines, ControlBytesInNamesAreEscapedOrBlanked)
{
    // A form feed ends a comment for a PostScript reader as a line end does;
    // what follows it here would print and end the page.
    const std::string hostile = "a\f(x) = showpage\r\t\x01\x7f";
    TempDir dir;
    FilterProbe filter;
    std::string target = dir.File("t\f(1) =.ai");
    ASSERT_EQ(filter.exportFile(target.data()), 1);
    BeginPictureData picture{0, 0, 0, 8.5, 11};
    ASSERT_EQ(filter.writeData(aiop::kBeginPicture, &picture), 1);

    SetPatternDefData pattern{};
    Name(pattern.name, "p" + hostile);
    pattern.tileWidth = pattern.tileHeight = 0.25;
    ASSERT_EQ(filter.writeData(aiop::kSetPatternDef, &pattern), 1);
    filter.writeData(aiop::kBeginPattern, nullptr);
    filter.writeData(aiop::kBeginPath, nullptr);
    MoveToData m{0, 0};
    filter.writeData(aiop::kMoveTo, &m);
    LineToData l{0.1, 0.1};
    filter.writeData(aiop::kLineTo, &l);
    filter.writeData(aiop::kEndPath, nullptr);
    ASSERT_EQ(filter.writeData(aiop::kEndPattern, nullptr), 1);

    SetGradientDefData gradient{};
    Name(gradient.name, "g" + hostile);
    ASSERT_EQ(filter.writeData(aiop::kSetGradientDef, &gradient), 1);
    SetGradient2Data axis{0, 0, 0, 100, 0};
    filter.writeData(aiop::kSetGradient2, &axis);
    for (double location : {0.0, 100.0}) {
        SetGradientRGNData stop{};
        stop.location = location;
        filter.writeData(aiop::kSetGradientRGN, &stop);
    }
    ASSERT_EQ(filter.writeData(aiop::kEndGradient, nullptr), 1);

    BeginDrawingSectionData section{8.5, 11};
    ASSERT_EQ(filter.writeData(aiop::kBeginDrawingSection, &section), 1);
    PathPostscriptData eps{};
    Name(eps.filePath, "e" + hostile + ".eps");
    eps.placeScale = 1;
    ASSERT_EQ(filter.writeData(aiop::kPathPostscript, &eps), 1);
    ASSERT_EQ(filter.writeData(aiop::kEndPicture, nullptr), 1);

    const std::string document = ReadFile(target);
    EXPECT_EQ(ControlInComment(document), "");
    // Strings keep every byte, escaped; the raw path, which is no string, blanks them.
    EXPECT_NE(document.find("%%Title: (t\\014\\(1\\) =.ai) \n"), std::string::npos);
    EXPECT_NE(document.find("%AI3_BeginPattern: (pa\\014\\(x\\) = showpage\\r\\t\\001\\177) \n"),
              std::string::npos);
    EXPECT_NE(document.find("%AI5_BeginGradient: (ga\\014"), std::string::npos);
    EXPECT_NE(document.find("\n%%ea (x) = showpage    .eps\n"), std::string::npos);
    // The placed file's string token reads back as the host's path.
    EXPECT_NE(document.find("(ea\\014\\(x\\) = showpage\\r\\t\\001\\177.eps) `\n"),
              std::string::npos);
}
