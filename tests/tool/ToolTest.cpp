// The replay tool end to end: the built aiexport run as a user runs it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/ExportSession.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs aiexport with `args` (already quoted for the shell) in `dir`, `env` (NAME=value ...) set.
ToolRun Aiexport(const TempDir& dir, const std::string& args,
                 const std::string& input = "/dev/null", const std::string& env = "")
{
    static TempDir logs;
    const std::string command = "cd '" + dir.path + "' && SOURCE_DATE_EPOCH=0 " + env +
                                " '" AIEXPORT_TOOL_PATH "' " + args + " <'" + input + "' >'" +
                                logs.File("out") + "' 2>'" + logs.File("err") + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(logs.File("out")),
            ReadFile(logs.File("err"))};
}

const std::string kMinimal = "BeginPicture 0 0 8.5 11\nBeginDrawingSection 8.5 11\nEndPicture\n";

bool IsCompleteDocument(const std::string& text)
{
    return text.rfind("%!PS-Adobe-3.0\n", 0) == 0 && text.size() > 6 &&
           text.compare(text.size() - 6, 6, "%%EOF\n") == 0;
}

}  // namespace

TEST(AiexportTool, ExitStatusTellsSuccessFailedRecordsAndMalformedScripts)
{
    TempDir dir;
    WriteFile(dir.File("min.records"), kMinimal);
    ToolRun run = Aiexport(dir, "min.records min.ai");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err + run.out, "");
    EXPECT_TRUE(IsCompleteDocument(ReadFile(dir.File("min.ai"))));
    run = Aiexport(dir, "--module '" AIEXPORT_TOOL_MODULE "' - piped.ai", dir.File("min.records"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(IsCompleteDocument(ReadFile(dir.File("piped.ai"))));

    // A failed record is reported with its line; the replay goes on.
    WriteFile(dir.File("s.records"), "BeginPicture 0 0 8.5 11\nBeginDrawingSection 8.5 11\nMoveTo "
                                     "null\n# c\n261 null\nEndPicture\n");
    run = Aiexport(dir, "s.records out.ai");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "s.records:3: record MoveTo failed\ns.records:5: record MoveTo failed\n");
    EXPECT_TRUE(IsCompleteDocument(ReadFile(dir.File("out.ai"))));

    // A malformed script sends no record and writes no file, linked ones included.
    WriteFile(dir.File("bad.records"), "@file \"linked.bin\" <00>\n" + kMinimal + "MoveTo 1 x\n");
    run = Aiexport(dir, "bad.records bad.ai");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "bad.records:5:10: expected a real number, got 'x' for field 'y' of MoveTo\n");
    EXPECT_EQ(dir.Listing(), "bad.records\nmin.ai\nmin.records\nout.ai\npiped.ai\ns.records\n");
}

TEST(AiexportTool, ReportsWhatKeepsItFromStarting)
{
    TempDir dir;
    WriteFile(dir.File("min.records"), kMinimal);
    const struct {
        std::string args;
        int status;
        std::string err;  // the start of standard error
    } cases[] = {
        {"min.records missing/out.ai", 1,
         "aiexport: the module refused the output file missing/out.ai (exportFile failed)"},
        {"--module /nonexistent/libnothing.so min.records out.ai", 2,
         "aiexport: cannot load the module: /nonexistent/libnothing.so: cannot open shared object "
         "file"},
        {"--module", 2, "aiexport: --module needs a path\n"},
        {"absent.records out.ai", 2,
         "aiexport: cannot read absent.records: No such file or directory\n"},
        {"min.records", 2, "aiexport: missing OUTPUT after the script\n"},
        {"a b c", 2, "aiexport: too many arguments\n"},
        {"--frobnicate", 2, "aiexport: unknown option '--frobnicate'\n"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Aiexport(dir, c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.args;
    }
    EXPECT_EQ(dir.Listing(), "min.records\n");
}

TEST(AiexportTool, WithoutArgumentsExportsTheSample)
{
    TempDir dir;
    const ToolRun run = Aiexport(dir, "");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("aiexport: wrote the built-in sample drawing to ", 0), 0u) << run.out;
    EXPECT_TRUE(IsCompleteDocument(ReadFile(dir.File("sample.ai"))));
}

TEST(AiexportTool, EpsCarriesItsProcedureSetsAndReplacesTheFileOnlyWhenComplete)
{
    TempDir dir;
    WriteFile(dir.File("min.records"), kMinimal);
    ToolRun run = Aiexport(dir, "--eps min.records min.eps");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string eps = ReadFile(dir.File("min.eps"));
    EXPECT_EQ(eps.rfind("%!PS-Adobe-3.0 EPSF-3.0\n", 0), 0u);
    EXPECT_NE(eps.find("\n%%Title: (min.eps) \n%%CreationDate: (01/01/1970) (00:00:00) "
                       "\n%%BoundingBox: 0 0 612 792\n"),
              std::string::npos);
    std::size_t sets = 0;
    for (std::size_t at = 0;
         (at = eps.find("\n%%BeginResource: procset ", at + 1)) != std::string::npos;)
        ++sets;
    EXPECT_EQ(sets, 8u);
    EXPECT_EQ(eps.find("%%IncludeResource"), std::string::npos);
    EXPECT_EQ(eps.compare(eps.size() - 6, 6, "%%EOF\n"), 0);

    // An existing file: its box rounded outwards from the high-resolution one (-0.5 36 143.5 261).
    run = Aiexport(dir, "--eps '" AIEXPORT_SOURCE_DIR "/tests/golden/picture-box.ai' box.eps");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadFile(dir.File("box.eps")).find("\n%%BoundingBox: -1 36 144 261\n"),
              std::string::npos);

    WriteFile(dir.File("escape.ai"), "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 9 9\n%%EndComments\n"
                                     "%%IncludeResource: procset ../../../etc/passwd 1 0\n");
    WriteFile(dir.File("foreign.ai"), "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 9 9\n%%EndComments\n"
                                      "%%IncludeResource: procset Adobe_packedarray 2.0 0\n");
    WriteFile(dir.File("nobox.ai"), "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 0 9\n%%EndComments\n");
    ASSERT_EQ(std::system(("mkdir '" + dir.File("sets") + "' '" + dir.File("tmp") + "'").c_str()),
              0);
    const struct {
        std::string env;
        std::string args;
        int status;
        std::string err;  // the start of standard error
    } failures[] = {
        {"", "--eps escape.ai min.eps", 2,
         "aiexport: escape.ai:4: the procedure set name '../../../etc/passwd' is not a plain file "
         "name; refused\n"},
        {"", "--eps foreign.ai min.eps", 2, "aiexport: no procedure set Adobe_packedarray in /"},
        {"", "--eps nobox.ai min.eps", 2,
         "aiexport: nobox.ai: the bounding box 0 0 0 9 is empty, and an EPS file is drawn inside "
         "it\n"},
        {"", "--procsets /nonexistent --eps min.records min.eps", 2,
         "aiexport: the procedure-set directory /nonexistent (--procsets) is not a directory\n"},
        {"AIEXPORT_PROCSETS=sets TMPDIR=tmp", "--eps min.records min.eps", 2,
         "aiexport: no procedure set Adobe_level2_AI5 in sets (sets/Adobe_level2_AI5.ps: No such "
         "file"},
        {"", "--eps min.records missing/out.eps", 1,
         "aiexport: cannot write missing/out.eps: No such file or directory\n"},
        {"", "--procsets sets min.records out.ai", 2, "aiexport: --procsets goes with --eps\n"},
    };
    for (const auto& c : failures) {
        run = Aiexport(dir, c.args, "/dev/null", c.env);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.args;
    }
    // The earlier file stands, and nothing is left beside it or in the working directory.
    EXPECT_EQ(ReadFile(dir.File("min.eps")), eps);
    EXPECT_EQ(std::system(("rmdir '" + dir.File("tmp") + "'").c_str()), 0) << "tmp is not empty";
    EXPECT_EQ(dir.Listing(),
              "box.eps\nescape.ai\nforeign.ai\nmin.eps\nmin.records\nnobox.ai\nsets\n");
}
