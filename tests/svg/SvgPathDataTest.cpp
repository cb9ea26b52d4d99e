// Path data: the quick reader of common forms gives what SVG++ gives, bit for
// bit, for every text, and leaves what it does not know to SVG++.
#include <gtest/gtest.h>

#ifdef AIEXPORT_HAVE_SVG
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "SvgValues.h"

using namespace svgreader;

namespace {

std::uint64_t Bits(double v)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// Every coordinate as its bits, so that -0 and 0 differ.
std::string Dump(const Path& path)
{
    std::ostringstream out;
    auto point = [&](Point p) { out << ' ' << Bits(p.x) << ',' << Bits(p.y); };
    for (const Subpath& s : path.subpaths) {
        out << 'M';
        point(s.start);
        for (const Segment& g : s.segments) {
            out << (g.cubic ? " C" : " L");
            if (g.cubic) {
                point(g.c1);
                point(g.c2);
            }
            point(g.to);
        }
        out << (s.closed ? " Z\n" : "\n");
    }
    return out.str();
}

// A number as drawings write it, or as they seldom do.
std::string Number(std::mt19937_64& random)
{
    static const char* const kOdd[] = {"-0",
                                       "+3",
                                       ".5",
                                       "-.25",
                                       "007.10",
                                       "1e3",
                                       "2.5E-2",
                                       "5.",
                                       "1.5.5",
                                       "123456789012345678",
                                       "1234567890123456789",
                                       "0.000000000000000001",
                                       "-0.0"};
    const int kind = static_cast<int>(random() % 10);
    if (kind == 0)
        return kOdd[random() % (sizeof kOdd / sizeof kOdd[0])];
    std::string text = random() % 3 == 0 ? "-" : "";
    text += std::to_string(random() % 100000);
    if (kind > 3) {
        text += '.';
        const int decimals = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < decimals; ++i)
            text += static_cast<char>('0' + random() % 10);
    }
    return text;
}

std::string Separator(std::mt19937_64& random)
{
    static const char* const kSeparators[] = {" ", " ", ",", ", ", " ,", "\n", "\t ", ""};
    return kSeparators[random() % (sizeof kSeparators / sizeof kSeparators[0])];
}

// A path of commands with their arguments, now and then one too few, a
// command the quick reader leaves to SVG++ or a stray character.
std::string RandomPath(std::mt19937_64& random)
{
    static const char kCommands[] = "MmLlCcZzLlCcHhVvQqSsTtAa";
    std::string text = random() % 8 == 0 ? "  " : "";
    text += random() % 10 == 0 ? "L" : (random() % 2 ? "M" : "m");
    text += Separator(random);
    text += Number(random) + Separator(random) + Number(random);
    const int commands = static_cast<int>(random() % 12);
    for (int c = 0; c < commands; ++c) {
        const char command = kCommands[random() % (sizeof kCommands - 1)];
        text += Separator(random);
        text += command;
        int arguments = 0;
        switch (command) {
        case 'M':
        case 'm':
        case 'L':
        case 'l':
        case 'T':
        case 't': arguments = 2; break;
        case 'C':
        case 'c': arguments = 6; break;
        case 'H':
        case 'h':
        case 'V':
        case 'v': arguments = 1; break;
        case 'Q':
        case 'q':
        case 'S':
        case 's': arguments = 4; break;
        case 'A':
        case 'a': arguments = 7; break;
        default: arguments = 0;
        }
        const int groups = arguments == 0 ? 0 : 1 + static_cast<int>(random() % 3);
        for (int g = 0; g < groups; ++g)
            for (int i = 0; i < arguments; ++i) {
                text += Separator(random);
                if (command == 'A' || command == 'a')
                    text += (i == 3 || i == 4) ? std::to_string(random() % 2)
                                               : std::to_string(random() % 100);
                else
                    text += Number(random);
            }
        if (random() % 25 == 0)
            text.pop_back();  // one character short
        if (random() % 40 == 0)
            text += random() % 2 ? "," : "x";
    }
    if (random() % 8 == 0)
        text += " \r\n";
    return text;
}

}  // namespace

TEST(SvgPathData, ReadsEveryTextAsSvgppDoes)
{
    std::mt19937_64 random(7);
    int quickForms = 0;
    for (int i = 0; i < 40000; ++i) {
        const std::string text = RandomPath(random);
        Path read, reference;
        const bool ok = ParsePathData(text, read);
        const bool referenceOk = ParsePathDataWithSvgpp(text, reference);
        ASSERT_EQ(ok, referenceOk) << text;
        ASSERT_EQ(Dump(read), Dump(reference)) << text;
        quickForms += text.find_first_of("HhVvQqSsTtAaeE") == std::string::npos;
    }
    EXPECT_GT(quickForms, 5000);  // the quick forms were well represented
}

TEST(SvgPathData, QuickFormsKeepSvgppsArithmetic)
{
    // Relative coordinates add to the current point, which a close moves
    // back to the subpath's start; implicit pairs after a move are lines.
    Path path;
    ASSERT_TRUE(ParsePathData("m10.5 20 5-5 c1,1 2,2 3,3 z l1 1 M0.1.2.3.4", path));
    ASSERT_EQ(path.subpaths.size(), 3u);
    EXPECT_EQ(path.subpaths[0].start.x, 10.5);
    ASSERT_EQ(path.subpaths[0].segments.size(), 2u);
    EXPECT_EQ(path.subpaths[0].segments[0].to.x, 15.5);
    EXPECT_EQ(path.subpaths[0].segments[1].c1.y, 16);
    EXPECT_EQ(path.subpaths[0].segments[1].to.x, 18.5);
    EXPECT_TRUE(path.subpaths[0].closed);
    EXPECT_EQ(path.subpaths[1].segments[0].to.x, 11.5);
    EXPECT_EQ(path.subpaths[2].start.x, 0.1);
    EXPECT_EQ(path.subpaths[2].start.y, 0.2);
    EXPECT_EQ(path.subpaths[2].segments[0].to.y, 0.4);
    // Malformed data keeps what came before the error, as SVG++ leaves it.
    Path cut;
    EXPECT_FALSE(ParsePathData("M1 2 L3 4 L5", cut));
    Path cutReference;
    ParsePathDataWithSvgpp("M1 2 L3 4 L5", cutReference);
    EXPECT_EQ(Dump(cut), Dump(cutReference));
}
#endif
