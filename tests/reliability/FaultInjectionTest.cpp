// Every open, write, read, seek, rename and allocation of an export failed in turn.
#include <cstdlib>
#include <dirent.h>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "reliability/EveryRecord.h"
#include "reliability/RecordCatalog.h"
#include "support/ExportSession.h"

namespace plat = aiexport_platform;

namespace {

const char kEarlier[] = "the user's earlier drawing\n";

struct Outcome {
    bool exported = false;               // exportFile accepted the target
    std::vector<unsigned short> failed;  // records answered 0, record 17 included
    int end = -1;                        // record 17's result
    std::string target;                  // what the target path holds afterwards
};

class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("SOURCE_DATE_EPOCH", "0", 1);
        ::setenv("TMPDIR", tmp.path.c_str(), 1);
        WriteFile(files.File("linked.tif"), reliability::SmallTiff());
        plat::ClearFaults();
    }
    void TearDown() override
    {
        plat::ClearFaults();
        ::unsetenv("TMPDIR");
    }

    // One whole export over a target that already holds an earlier file.
    Outcome Export(reliability::EveryRecord::Late late = reliability::EveryRecord::kPatternFill)
    {
        Outcome o;
        const std::string target = out.File("drawing.ai");
        WriteFile(target, kEarlier);
        {
            AAIExportFilter filter;
            std::string path = target;
            o.exported = filter.exportFile(path.data()) == 1;
            if (o.exported) {  // a host goes no further when the target is refused
                reliability::EveryRecord drawing(filter, files.File("linked.tif"), late);
                drawing.Send();
                o.failed = drawing.failed;
                o.end = filter.writeData(aiop::kEndPicture, nullptr);
                if (o.end == 0)
                    o.failed.push_back(aiop::kEndPicture);
            }
        }
        o.target = ReadFile(target);
        return o;
    }

    TempDir tmp;    // the filter's temporary directory
    TempDir out;    // the target's directory
    TempDir files;  // linked files
};

const char* const kKindNames[] = {"open",     "write", "read",    "seek",      "rename",
                                  "allocate", "copy",  "unnamed", "copy call", "write-back"};
static_assert(sizeof kKindNames / sizeof kKindNames[0] == aiexport_platform::kFaultKinds);

}  // namespace

TEST_F(FaultInjection, EveryFaultPointIsReportedAndLosesNothing)
{
    // Each drawing ends another way: the head written before the body kept,
    // or the file assembled anew after a late pattern fill or gradient.
    using reliability::EveryRecord;
    const struct {
        EveryRecord::Late late;
        const char* name;
    } drawings[] = {{EveryRecord::kPatternFill, "pattern fill"},
                    {EveryRecord::kStraight, "straight"},
                    {EveryRecord::kLateGradient, "late gradient"}};
    long total = 0;
    std::map<std::string, long> perKind;
    std::string absorbed;
    for (const auto& drawing : drawings) {
        plat::ClearFaults();
        const Outcome clean = Export(drawing.late);
        ASSERT_TRUE(clean.exported);
        ASSERT_TRUE(clean.failed.empty())
            << drawing.name << ": record " << clean.failed.front() << " failed without a fault";
        ASSERT_EQ(clean.end, 1) << drawing.name;
        ASSERT_EQ(reliability::DocumentFault(clean.target), "") << drawing.name;
        long points[plat::kFaultKinds];
        for (int k = 0; k < plat::kFaultKinds; ++k)
            points[k] = plat::FaultCount(static_cast<plat::FaultKind>(k));
        // Every kind of point is reached by this drawing; a kind with none would
        // test nothing. The disk is started on pieces of a body larger than this one
        // (BodyInTarget.DiskStartsOnTheBodyAsItIsWritten).
        for (int k = 0; k < plat::kFaultKinds; ++k) {
            if (k != plat::kFaultWriteBack) {
                EXPECT_GT(points[k], 0) << drawing.name << ": " << kKindNames[k];
            }
        }

        const int descriptors = OpenDescriptors();
        for (int k = 0; k < plat::kFaultKinds; ++k) {
            const auto kind = static_cast<plat::FaultKind>(k);
            perKind[kKindNames[k]] += points[k];
            for (long n = 1; n <= points[k]; ++n) {
                plat::ClearFaults();
                plat::SetFault(kind, n);
                const Outcome o = Export(drawing.late);
                plat::ClearFaults();
                ++total;
                const std::string where =
                    std::string(drawing.name) + ", " + kKindNames[k] + " #" + std::to_string(n);

                // A failure is never reported as success: either some answer was
                // 0, or the fault was absorbed and the document is the same.
                const bool reported = !o.exported || !o.failed.empty();
                if (!reported) {
                    absorbed += " " + where;
                    EXPECT_EQ(o.target, clean.target) << where << ": all records succeeded";
                }
                if (o.end == 1) {
                    EXPECT_EQ(reliability::DocumentFault(o.target), "") << where;
                    if (o.failed.empty()) {
                        EXPECT_EQ(o.target, clean.target) << where;
                    }
                } else {
                    EXPECT_EQ(o.target, kEarlier) << where << ": the earlier file was lost";
                }
                EXPECT_EQ(tmp.Listing(), "") << where;
                EXPECT_EQ(out.Listing(), "drawing.ai\n") << where;
                EXPECT_EQ(OpenDescriptors(), descriptors) << where;
                if (HasFailure())
                    return;  // one broken point is enough to read
            }
        }
    }
    std::string summary;
    for (const auto& [kind, count] : perKind)
        summary += kind + " " + std::to_string(count) + ", ";
    RecordProperty("fault_points", static_cast<int>(total));
    std::printf("[   INFO   ] %ld fault points (%s); absorbed without a visible change:%s\n", total,
                summary.substr(0, summary.size() - 2).c_str(),
                absorbed.empty() ? " none" : absorbed.c_str());
}

TEST_F(FaultInjection, FilterWithoutItsFirstBlocksStillExports)
{
    // The constructor's allocations are the first ones: the output buffer,
    // then the text block. Each failure alone must leave a working filter.
    for (long n : {1, 2}) {
        plat::SetFault(plat::kFaultAllocate, n);
        AAIExportFilter filter;
        plat::ClearFaults();
        std::string path = out.File("drawing.ai");
        ASSERT_EQ(filter.exportFile(path.data()), 1);
        reliability::EveryRecord drawing(filter, files.File("linked.tif"));
        drawing.Send();
        EXPECT_TRUE(drawing.failed.empty()) << "allocation " << n;
        ASSERT_EQ(filter.writeData(aiop::kEndPicture, nullptr), 1) << "allocation " << n;
        EXPECT_EQ(reliability::DocumentFault(ReadFile(path)), "") << "allocation " << n;
    }
}

TEST_F(FaultInjection, DefinitionsAndTheSetupPast4GiBAreTakenLikeAnyOther)
{
    // Positions in the body are 64-bit: a pattern definition or the end of
    // the setup that lies past 4 GiB is taken, not refused as beyond a mark.
    const std::string target = out.File("drawing.ai");
    WriteFile(target, kEarlier);
    AAIExportFilter filter;
    std::string path = target;
    ASSERT_EQ(filter.exportFile(path.data()), 1);
    plat::SetPositionExcess(1L << 32);
    reliability::EveryRecord drawing(filter, files.File("linked.tif"));
    drawing.Send();
    plat::ClearFaults();
    EXPECT_TRUE(drawing.failed.empty()) << drawing.failed.front();
}

TEST_F(FaultInjection, ABodyPast4GiBIsCopiedWholeOrTheEndFails)
{
    // The platform reports every length 2^32 bytes longer than it is, as a
    // body past 4 GiB would be: a count cut to 32 bits would copy just the
    // bytes there are and call the document complete.
    const std::string target = out.File("drawing.ai");
    long copies = 0;  // in-kernel copies of a clean end; the last is the body's tail
    for (int run = 0; run < 3; ++run) {
        WriteFile(target, kEarlier);
        AAIExportFilter filter;
        std::string path = target;
        ASSERT_EQ(filter.exportFile(path.data()), 1);
        reliability::EveryRecord drawing(filter, files.File("linked.tif"));
        drawing.Send();
        ASSERT_TRUE(drawing.failed.empty());
        plat::ClearFaults();
        if (run == 0) {
            ASSERT_EQ(filter.writeData(aiop::kEndPicture, nullptr), 1);
            copies = plat::FaultCount(plat::kFaultCopy);
            ASSERT_GT(copies, 0);
            continue;
        }
        if (run == 2)  // the tail copied through the buffer instead
            plat::SetFault(plat::kFaultCopy, copies);
        plat::SetLengthExcess(1L << 32);
        EXPECT_EQ(filter.writeData(aiop::kEndPicture, nullptr), 0) << run;
        plat::ClearFaults();
        EXPECT_EQ(ReadFile(target), kEarlier) << run;
        EXPECT_EQ(tmp.Listing(), "") << run;
        EXPECT_EQ(out.Listing(), "drawing.ai\n") << run;
    }
}
