// Routing of opcodes: the interface's own table and the filter's.
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

namespace {

// The interface with its default bodies, noting which operations records reach.
class RecordingHost : public AHostExportFilter {
public:
    char* getFilterDescriptor() override { return nullptr; }
    std::string calls;

protected:
    int SetGradient(SetGradientData*) override { return Note("SetGradient"); }
    int SetColorTable(SetColorTableData*) override { return Note("SetColorTable"); }
    int BeginGroup() override { return Note("BeginGroup"); }
    int EndLayer() override { return Note("EndLayer"); }
    int SetTextTracking(double*) override { return Note("SetTextTracking"); }

private:
    int Note(const char* name)
    {
        calls += std::string(name) + " ";
        return 7;
    }
};

// The filter, noting the operations that the interface does not declare.
class RecordingFilter : public FilterProbe {
public:
    std::string calls;

protected:
    int BeginClipRgn() override { return Note("BeginClipRgn"); }
    int SetMatrix(SetMatrixData*) override { return Note("SetMatrix"); }
    int SetPatternSections(int*) override { return Note("SetPatternSections"); }
    int EndDrawingSection() override { return Note("EndDrawingSection"); }
    int SetGradient(SetGradientData*) override { return Note("SetGradient"); }

private:
    int Note(const char* name)
    {
        calls += std::string(name) + " ";
        return 7;
    }
};

}  // namespace

TEST(Routing, InterfaceRoutesItsOwnOperationsOnly)
{
    RecordingHost host;
    double value = 0;
    for (unsigned short op : {aiop::kSetGradient, aiop::kSetColorTable, aiop::kBeginGroup,
                              aiop::kEndLayer, aiop::kSetTextTracking})
        EXPECT_EQ(host.writeData(op, &value), 7) << op;
    EXPECT_EQ(host.calls, "SetGradient SetColorTable BeginGroup EndLayer SetTextTracking ");
    // Clip regions, the matrix and the sections belong to the filter alone.
    for (unsigned short op :
         {aiop::kBeginClipRgn, aiop::kEndClipRgn, aiop::kSetMatrix, aiop::kSetPatternSections,
          aiop::kBeginDrawingSection, aiop::kSetPreview})
        EXPECT_EQ(host.writeData(op, &value), 1) << op;
    EXPECT_EQ(host.exportFile(nullptr), 0);
    EXPECT_EQ(host.hasPrefererences(), 0);
}

TEST(Routing, FilterRoutesItsAdditionsAndLeavesOutTheUnusedOnes)
{
    RecordingFilter filter;
    int count = 3;
    SetMatrixData matrix{};
    EXPECT_EQ(filter.writeData(aiop::kBeginClipRgn, nullptr), 7);
    EXPECT_EQ(filter.writeData(aiop::kSetMatrix, &matrix), 7);
    EXPECT_EQ(filter.writeData(aiop::kSetPatternSections, &count), 7);
    EXPECT_EQ(filter.writeData(aiop::kEndDrawingSection, nullptr), 7);
    // 1290 is accepted without effect: it never reaches SetGradient.
    EXPECT_EQ(filter.writeData(aiop::kSetGradient, &count), 1);
    EXPECT_EQ(filter.calls, "BeginClipRgn SetMatrix SetPatternSections EndDrawingSection ");
}
