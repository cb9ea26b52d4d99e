// Layer declarations, their brackets and the bounds on layer names.
#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "platform/Platform.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

namespace {

int Define(ExportSession& s, const std::string& name, int visibility = 1)
{
    DefLayerData data{};
    std::memcpy(data.name, name.data(), std::min(name.size(), sizeof data.name));
    data.visibility = visibility;
    return s.Record(aiop::kDefineLayer, data);
}

// The payload is the host's text itself, not a structure holding it.
int Begin(ExportSession& s, const char* name)
{
    return s.filter.writeData(aiop::kBeginLayer, const_cast<char*>(name));
}

std::string Opening(const std::string& lb, const std::string& name)
{
    return "%AI5_BeginLayer\n" + lb + "  0 0  Lb\n(" + name + ") Ln\n";
}

}  // namespace

TEST(Layers, FirstExactNameGivesVisibilityAndPosition)
{
    ExportSession s;
    Define(s, "A");
    Define(s, "C", 7);
    Define(s, "C");
    s.filter.Mark();
    Begin(s, "c");  // another case is another layer: no bracket, no end
    EXPECT_EQ(s.Record(aiop::kEndLayer), 1);
    Begin(s, "C");
    EXPECT_EQ(s.Record(aiop::kEndLayer), 1);
    EXPECT_EQ(s.filter.SinceMark(), Opening("7  1 1 1 0 0 -1 1", "C") + "LB\n%AI5_EndLayer\n");
}

TEST(Layers, EachEndClosesItsOwnOpeningOnce)
{
    ExportSession s;
    Define(s, "A");
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kEndLayer), 0);
    Begin(s, "A");
    Begin(s, "undeclared");
    Begin(s, "A");
    EXPECT_EQ(s.Record(aiop::kEndLayer), 1);
    EXPECT_EQ(s.Record(aiop::kEndLayer), 1);  // the undeclared one: nothing to close
    EXPECT_EQ(s.Record(aiop::kEndLayer), 1);
    EXPECT_EQ(s.Record(aiop::kEndLayer), 0);  // repeated: nothing more
    const std::string a = Opening("1  1 1 1 0 0 -1 0", "A");
    const std::string end = "LB\n%AI5_EndLayer\n";
    EXPECT_EQ(s.filter.SinceMark(), a + a + end + end);
}

TEST(Layers, NamesAreReadNoFurtherThan255Characters)
{
    ExportSession s;
    ASSERT_EQ(Define(s, std::string(256, 'x')), 1);  // the array without terminator
    char unterminated[256];
    std::memset(unterminated, 'x', sizeof unterminated);
    const std::string longer(400, 'x');
    s.filter.Mark();
    Begin(s, unterminated);
    Begin(s, longer.c_str());
    Begin(s, longer.substr(0, 254).c_str());
    const std::string one = Opening("1  1 1 1 0 0 -1 0", std::string(255, 'x'));
    EXPECT_EQ(s.filter.SinceMark(), one + one);
}

TEST(Layers, ListGrowsTenAtATimeAndSurvivesAFailedAllocation)
{
    ExportSession s;
    for (int i = 0; i < 10; ++i)
        Define(s, "L" + std::to_string(i));
    plat::SetFault(plat::kFaultAllocate, 1);
    EXPECT_EQ(Define(s, "lost"), 0);
    plat::ClearFaults();
    EXPECT_EQ(s.filter.layerDefinitions.Size(), 10u);
    for (int i = 10; i < 25; ++i)
        ASSERT_EQ(Define(s, "L" + std::to_string(i)), 1);
    EXPECT_EQ(s.filter.layerDefinitions.Capacity(), 30u);
    s.filter.Mark();
    Begin(s, "L0");
    Begin(s, "L24");
    EXPECT_EQ(s.filter.SinceMark(),
              Opening("1  1 1 1 0 0 -1 0", "L0") + Opening("1  1 1 1 0 0 -1 24", "L24"));

    // The next picture starts with no layers.
    s.Finish();
    s.filter.exportFile(s.target.data());
    ASSERT_EQ(s.Record(aiop::kBeginPicture, BeginPictureData{0, 0, 0, 8.5, 11}), 1);
    s.filter.Mark();
    Begin(s, "L0");
    s.Record(aiop::kEndLayer);
    EXPECT_EQ(s.filter.SinceMark(), "");
    EXPECT_EQ(s.filter.layerDefinitions.Data(), nullptr);
}

TEST(Layers, NamesThatWouldEndTheStringAreEscaped)
{
    // Balanced parentheses stay as they are; a name that would close the
    // string early, or a backslash, is escaped so the file stays readable.
    const struct {
        const char* name;
        const char* written;
    } cases[] = {{"Layer (1)", "(Layer (1)) Ln\n"},
                 {"Notes :)", "(Notes :\\)) Ln\n"},
                 {"a\\b", "(a\\\\b) Ln\n"},
                 {"two\nlines", "(two\\rlines) Ln\n"}};
    for (const auto& c : cases) {
        ExportSession s;
        ASSERT_EQ(Define(s, c.name), 1);
        ASSERT_EQ(Begin(s, c.name), 1);
        EXPECT_NE(s.Drawing().find(c.written), std::string::npos) << c.name << "\n" << s.Drawing();
    }
}
