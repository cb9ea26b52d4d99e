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

DefLayerData Layer(const std::string& name, int visibility = 1)
{
    DefLayerData data{};
    std::memcpy(data.name, name.data(), std::min(name.size(), sizeof data.name));
    data.visibility = visibility;
    return data;
}

std::string Opening(const std::string& lbLine, const std::string& name)
{
    return "%AI5_BeginLayer\n" + lbLine + "\n(" + name + ") Ln\n";
}

int Begin(ExportSession& s, const std::string& name)
{
    // The payload is the host's text itself, not a structure holding it.
    return s.filter.writeData(aiop::kBeginLayer, const_cast<char*>(name.c_str()));
}

}  // namespace

TEST(Layers, BracketCarriesVisibilityAndPositionWithItsBlanks)
{
    ExportSession s;
    s.Record(aiop::kDefineLayer, Layer("A", 0));
    s.Record(aiop::kDefineLayer, Layer("B"));
    s.Record(aiop::kDefineLayer, Layer("C"));
    s.filter.Mark();
    EXPECT_EQ(Begin(s, "C"), 1);
    EXPECT_EQ(s.filter.bufferLength, 0u);
    EXPECT_EQ(s.Record(aiop::kEndLayer), 1);
    EXPECT_EQ(Begin(s, "A"), 1);
    EXPECT_EQ(s.filter.SinceMark(),
              Opening("1  1 1 1 0 0 -1 2  0 0  Lb", "C") + "LB\n%AI5_EndLayer\n" +
                  Opening("0  1 1 1 0 0 -1 0  0 0  Lb", "A"));
}

TEST(Layers, LookupTakesTheFirstExactName)
{
    ExportSession s;
    s.Record(aiop::kDefineLayer, Layer("C", 7));
    s.Record(aiop::kDefineLayer, Layer("C", 1));
    s.filter.Mark();
    Begin(s, "C");
    EXPECT_EQ(s.filter.SinceMark(), Opening("7  1 1 1 0 0 -1 0  0 0  Lb", "C"));

    // Another case is another layer: nothing opens, so nothing closes.
    s.filter.Mark();
    EXPECT_EQ(Begin(s, "c"), 1);
    EXPECT_FALSE(s.filter.layerOpen);
    EXPECT_EQ(s.Record(aiop::kEndLayer), 1);
    EXPECT_EQ(Begin(s, "C "), 1);
    EXPECT_EQ(Begin(s, ""), 1);
    EXPECT_EQ(s.filter.SinceMark(), "");
}

TEST(Layers, RepeatedEndClosesAgain)
{
    ExportSession s;
    s.Record(aiop::kDefineLayer, Layer("A"));
    Begin(s, "A");
    s.filter.Mark();
    s.Record(aiop::kEndLayer);
    s.Record(aiop::kEndLayer);
    EXPECT_EQ(s.filter.SinceMark(), "LB\n%AI5_EndLayer\nLB\n%AI5_EndLayer\n");
}

TEST(Layers, NamesThatWouldBreakTheStringAreEscaped)
{
    const struct {
        const char* name;
        const char* written;
    } cases[] = {
        {"Layer (1)", "Layer (1)"},            // balanced: unchanged
        {"(a)(b)", "(a)(b)"},
        {"Notes :)", "Notes :\\)"},           // a stray parenthesis would end the string
        {")(", "\\)\\("},
        {"C:\\art", "C:\\\\art"},
        {"two\nlines", "two\\rlines"},
        {"Ebene \xE4 (", "Ebene \\344 \\("},  // once escaping, every odd byte is
    };
    for (const auto& c : cases) {
        ExportSession s;
        s.Record(aiop::kDefineLayer, Layer(c.name));
        s.filter.Mark();
        Begin(s, c.name);
        EXPECT_EQ(s.filter.SinceMark(), Opening("1  1 1 1 0 0 -1 0  0 0  Lb", c.written)) << c.name;
    }
}

TEST(Layers, LongAndUnterminatedNamesAreCutTo255)
{
    ExportSession s;
    DefLayerData full{};
    std::memset(full.name, 'x', sizeof full.name);  // no terminator in the array
    full.visibility = 1;
    ASSERT_EQ(s.Record(aiop::kDefineLayer, full), 1);
    EXPECT_EQ(std::strlen(s.filter.layerDefinitions[0].name), 255u);

    // The host's text is read no further than a name can hold, terminated or not.
    char unterminated[256];
    std::memset(unterminated, 'x', sizeof unterminated);
    const std::string longer(400, 'x');
    const std::string want = Opening("1  1 1 1 0 0 -1 0  0 0  Lb", std::string(255, 'x'));
    s.filter.Mark();
    EXPECT_EQ(s.Record(aiop::kBeginLayer, static_cast<void*>(unterminated)), 1);
    EXPECT_EQ(s.filter.SinceMark(), want);
    s.filter.Mark();
    EXPECT_EQ(Begin(s, longer), 1);
    EXPECT_EQ(s.filter.SinceMark(), want);
    s.filter.Mark();
    EXPECT_EQ(Begin(s, std::string(254, 'x')), 1);
    EXPECT_EQ(s.filter.SinceMark(), "");
}

TEST(Layers, ListGrowsTenAtATimeAndSurvivesAFailedAllocation)
{
    ExportSession s;
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(s.Record(aiop::kDefineLayer, Layer("L" + std::to_string(i))), 1);
    EXPECT_EQ(s.filter.layerCapacity, 10);

    plat::SetFault(plat::kFaultAllocate, 1);
    EXPECT_EQ(s.Record(aiop::kDefineLayer, Layer("L10")), 0);
    plat::ClearFaults();
    EXPECT_EQ(s.filter.layerCount, 10);
    EXPECT_EQ(s.filter.layerCapacity, 10);

    for (int i = 10; i < 25; ++i)
        ASSERT_EQ(s.Record(aiop::kDefineLayer, Layer("L" + std::to_string(i))), 1);
    EXPECT_EQ(s.filter.layerCapacity, 30);
    s.filter.Mark();
    Begin(s, "L0");
    Begin(s, "L24");
    EXPECT_EQ(s.filter.SinceMark(), Opening("1  1 1 1 0 0 -1 0  0 0  Lb", "L0") +
                                        Opening("1  1 1 1 0 0 -1 24  0 0  Lb", "L24"));
}

TEST(Layers, DeclarationsHoldForOneExport)
{
    ExportSession s;
    s.Record(aiop::kDefineLayer, Layer("A"));
    Begin(s, "A");
    s.Finish();
    ASSERT_EQ(s.filter.exportFile(s.target.data()), 1);
    BeginPictureData picture{0, 0.0, 0.0, 8.5, 11.0};
    ASSERT_EQ(s.Record(aiop::kBeginPicture, picture), 1);
    EXPECT_EQ(s.filter.layerCount, 0);
    EXPECT_EQ(s.filter.layerDefinitions, nullptr);
    EXPECT_FALSE(s.filter.layerOpen);
    s.filter.Mark();
    Begin(s, "A");
    s.Record(aiop::kEndLayer);
    EXPECT_EQ(s.filter.SinceMark(), "");
}

TEST(Layers, FailedFlushLeavesTheLayerOpen)
{
    ExportSession s;
    s.Record(aiop::kDefineLayer, Layer("A"));
    plat::SetFault(plat::kFaultWrite, 1);
    EXPECT_EQ(Begin(s, "A"), 0);
    plat::ClearFaults();
    EXPECT_TRUE(s.filter.layerOpen);
    plat::SetFault(plat::kFaultWrite, 1);
    EXPECT_EQ(s.Record(aiop::kEndLayer), 0);
    plat::ClearFaults();
    EXPECT_NE(s.filter.Written().find("LB\n%AI5_EndLayer\n"), std::string::npos);
}
