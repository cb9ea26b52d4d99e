// The replay tool end to end: the built aiexport run as a user runs it.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>

#include "support/ExportSession.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs aiexport with `args` (already quoted for the shell) in `dir`.
ToolRun Aiexport(const TempDir& dir, const std::string& args, const std::string& input = "/dev/null")
{
    static TempDir logs;
    const std::string command = "cd '" + dir.path + "' && SOURCE_DATE_EPOCH=0 '" AIEXPORT_TOOL_PATH "' " +
                                args + " <'" + input + "' >'" + logs.File("out") + "' 2>'" +
                                logs.File("err") + "'";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(logs.File("out"));
    run.err = ReadFile(logs.File("err"));
    return run;
}

const std::string kMinimal = "BeginPicture 0 0 8.5 11\nBeginDrawingSection 8.5 11\nEndPicture\n";

bool IsCompleteDocument(const std::string& text)
{
    return text.rfind("%!PS-Adobe-3.0\n", 0) == 0 && text.size() > 6 &&
           text.compare(text.size() - 6, 6, "%%EOF\n") == 0;
}

}  // namespace

TEST(AiexportTool, ReplaysAScriptIntoTheTarget)
{
    TempDir dir;
    WriteFile(dir.File("min.records"), kMinimal);
    const ToolRun run = Aiexport(dir, "min.records min.ai");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(IsCompleteDocument(ReadFile(dir.File("min.ai"))));
    EXPECT_NE(ReadFile(dir.File("min.ai")).find("%%Title: (min.ai) \n"), std::string::npos);
    EXPECT_EQ(dir.Listing(), "min.ai\nmin.records\n");

    // The same from standard input, and with the module named explicitly.
    const ToolRun piped = Aiexport(dir, "--module '" AIEXPORT_TOOL_MODULE "' - piped.ai", dir.File("min.records"));
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(IsCompleteDocument(ReadFile(dir.File("piped.ai"))));
}

TEST(AiexportTool, MalformedScriptStopsBeforeAnyRecord)
{
    TempDir dir;
    WriteFile(dir.File("bad.records"),
              "@file \"linked.bin\" <00>\nBeginPicture 0 0 8.5 11\nBeginDrawingSection 8.5 11\n"
              "MoveTo 1 x\nEndPicture\n");
    const ToolRun run = Aiexport(dir, "bad.records out.ai");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "bad.records:4:10: expected a real number, got 'x' for field 'y' of MoveTo\n");
    EXPECT_EQ(dir.Listing(), "bad.records\n");  // no target, no linked file
}

TEST(AiexportTool, FailedRecordIsReportedAndReplayGoesOn)
{
    TempDir dir;
    WriteFile(dir.File("s.records"),
              "BeginPicture 0 0 8.5 11\nBeginDrawingSection 8.5 11\nMoveTo null\n# comment\n"
              "261 null\nEndPicture\n");
    const ToolRun run = Aiexport(dir, "s.records out.ai");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "s.records:3: record MoveTo failed\ns.records:5: record MoveTo failed\n");
    EXPECT_TRUE(IsCompleteDocument(ReadFile(dir.File("out.ai"))));

    WriteFile(dir.File("open.records"), "BeginPicture 0 0 1 1\n");
    const ToolRun open = Aiexport(dir, "open.records open.ai");
    EXPECT_EQ(open.status, 0);
    EXPECT_EQ(open.err, "aiexport: warning: the script sends no EndPicture, so open.ai was not written\n");
}

TEST(AiexportTool, ReportsWhatKeepsItFromStarting)
{
    TempDir dir;
    WriteFile(dir.File("min.records"), kMinimal);
    struct Case {
        std::string args;
        int status;
        std::string err;  // the start of standard error
    } cases[] = {
        {"min.records missing/out.ai", 1,
         "aiexport: the module refused the output file missing/out.ai (exportFile failed)"},
        {"--module /nonexistent/libnothing.so min.records out.ai", 2,
         "aiexport: cannot load the module: /nonexistent/libnothing.so: cannot open shared object file"},
        {"--module min.records min.records out.ai", 2, "aiexport: cannot load the module: ./min.records: "},
        {"--module", 2, "aiexport: --module needs a path\n"},
        {"absent.records out.ai", 2, "aiexport: cannot read absent.records: No such file or directory\n"},
        {". out.ai", 2, "aiexport: cannot read .: Is a directory\n"},
        {"min.records", 2, "aiexport: missing OUTPUT after the script\n"},
        {"a b c", 2, "aiexport: too many arguments\n"},
        {"--frobnicate", 2, "aiexport: unknown option '--frobnicate'\n"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Aiexport(dir, c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.args;
    }
    EXPECT_EQ(dir.Listing(), "min.records\n");
}

TEST(AiexportTool, WritesLinkedFilesBesideTheOutput)
{
    TempDir dir;
    WriteFile(dir.File("s.records"), "@file \"data.bin\" <41 42 0A>\n" + kMinimal);
    const ToolRun run = Aiexport(dir, "s.records out.ai");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir.File("data.bin")), "AB\n");

    WriteFile(dir.File("clash.records"), "@file \"out.ai\" <00>\n" + kMinimal);
    const ToolRun clash = Aiexport(dir, "clash.records out.ai");
    EXPECT_EQ(clash.status, 2);
    EXPECT_EQ(clash.err, "clash.records:1: @file \"out.ai\" would overwrite the output\n");
}

TEST(AiexportTool, WithoutArgumentsExportsTheSample)
{
    TempDir dir;
    const ToolRun run = Aiexport(dir, "");
    EXPECT_EQ(run.status, 0) << run.err;
    char real[PATH_MAX];
    ASSERT_NE(::realpath(dir.path.c_str(), real), nullptr);
    EXPECT_EQ(run.out.substr(0, run.out.find(" (with")),
              "aiexport: wrote the built-in sample drawing to " + std::string(real) + "/sample.ai" +
                  (run.out.find(" (with") == std::string::npos ? "\n" : ""));
    EXPECT_TRUE(IsCompleteDocument(ReadFile(dir.File("sample.ai"))));
}

TEST(AiexportTool, HelpDocumentsUsageOptionsAndExitStatus)
{
    TempDir dir;
    const ToolRun run = Aiexport(dir, "--help");
    EXPECT_EQ(run.status, 0);
    for (const char* text : {"Usage: aiexport [--module PATH] SCRIPT OUTPUT", "sample.ai", "--module PATH",
                             "docs/record-script.md", "Exit status", "FILE:LINE:COLUMN: message",
                             "FILE:LINE: record NAME failed", "SOURCE_DATE_EPOCH"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
}
