// The layer list: growth, a failed allocation, and its end with the picture.
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

TEST(Layers, ListGrowsAndSurvivesAFailedAllocationButNotThePicture)
{
    ExportSession s;
    for (int i = 0; i < 10; ++i)
        Define(s, "L" + std::to_string(i));
    plat::SetFault(plat::kFaultAllocate, 1);
    EXPECT_EQ(Define(s, "lost"), 0);
    plat::ClearFaults();
    for (int i = 10; i < 25; ++i)
        ASSERT_EQ(Define(s, "L" + std::to_string(i)), 1);
    s.Mark();
    Begin(s, "L0");
    Begin(s, "L24");
    Begin(s, "lost");
    EXPECT_EQ(s.SinceMark(),
              Opening("1  1 1 1 0 0 -1 0", "L0") + Opening("1  1 1 1 0 0 -1 24", "L24"));
    // The next picture starts with no layers.
    ASSERT_EQ(s.NextPicture(), 1);
    s.Mark();
    Begin(s, "L0");
    s.Record(aiop::kEndLayer);
    EXPECT_EQ(s.SinceMark(), "");
}

TEST(Layers, DeclaringAndOpeningLayersCostsTheSameEachHoweverManyCameBefore)
{
    struct Cost {
        long allocations;
        unsigned long long steps;
    };
    const auto costFor = [](int n) {
        ExportSession s;
        plat::ClearFaults();  // counts from here
        const unsigned long long before = s.filter.searchSteps;
        for (int i = 0; i < n; ++i)
            Define(s, "Layer " + std::to_string(i));
        const long allocations = plat::FaultCount(plat::kFaultAllocate);
        for (int i = n; i-- > 0;) {
            Begin(s, ("Layer " + std::to_string(i)).c_str());
            s.Record(aiop::kEndLayer);
        }
        return Cost{allocations, s.filter.searchSteps - before};
    };
    const Cost small = costFor(5000);
    const Cost large = costFor(20000);
    // The list doubles: four times the layers take two or three more blocks.
    EXPECT_LE(large.allocations, small.allocations + 3)
        << small.allocations << " blocks for 5000 layers, " << large.allocations << " for 20000";
    EXPECT_LE(large.steps, 4 * small.steps + small.steps / 4)
        << small.steps << " steps for 5000 layers, " << large.steps << " for 20000";
}
