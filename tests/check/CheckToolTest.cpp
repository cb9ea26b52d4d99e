// aiexport --check as a user runs it: the report's lines, the exit status,
// and exports of ours passing the check of the file they make.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/Files.h"

namespace {

struct CheckRun {
    int status = -1;
    std::string out;
    std::string err;
};

CheckRun Aiexport(const TempDir& dir, const std::string& args)
{
    static TempDir logs;
    const std::string command =
        "cd '" + dir.path + "' && SOURCE_DATE_EPOCH=0 '" AIEXPORT_TOOL_PATH "' " + args +
        " </dev/null >'" + logs.File("out") + "' 2>'" + logs.File("err") + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(logs.File("out")),
            ReadFile(logs.File("err"))};
}

const std::string kSource = AIEXPORT_SOURCE_DIR;

}  // namespace

TEST(CheckTool, ReportsOneFindingALineAndExitsByWhatItFound)
{
    TempDir dir;
    CheckRun run = Aiexport(dir, "--check '" + kSource + "/tests/golden/structure.ai'");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out + run.err, "");

    run = Aiexport(dir, "--check '" + kSource + "/tests/golden/brackets.ai'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kSource +
                           "/tests/golden/brackets.ai:81: error: *U without its *u: readers nest "
                           "the objects wrongly from here; close each bracket in the order it "
                           "was opened\n");
    EXPECT_EQ(run.err, "");

    // A file cut short is a file with findings, not an unreadable one.
    const std::string whole = ReadFile(kSource + "/tests/golden/text.ai");
    WriteFile(dir.File("short.ai"), whole.substr(0, whole.size() / 2));
    run = Aiexport(dir, "--check short.ai");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("short.ai: error: the file is cut short: it does not end with %%EOF\n"),
              std::string::npos)
        << run.out;

    WriteFile(dir.File("notes.txt"), "hello\n");
    const struct {
        std::string args;
        std::string err;
    } unreadable[] = {
        {"--check absent.ai", "aiexport: cannot read absent.ai: No such file or directory\n"},
        {"--check notes.txt", "notes.txt: neither an SVG drawing nor an Illustrator file"},
        {"--check", "aiexport: --check takes one FILE"},
        {"--check a.ai b.ai", "aiexport: --check takes one FILE"},
        {"--check --profile cutter short.ai", "aiexport: unknown profile 'cutter' (there are "
                                              "cut, laser, stock, print)\n"},
        {"--check --profile", "aiexport: --profile needs a name: cut, laser, stock, print\n"},
        {"--check --eps short.ai x.eps", "aiexport: --check goes alone"},
        {"--profile cut short.ai x.ai", "aiexport: --profile and --page apply to SVG drawings"},
    };
    for (const auto& c : unreadable) {
        run = Aiexport(dir, c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.args;
    }
    EXPECT_EQ(dir.Listing(), "notes.txt\nshort.ai\n");
}

TEST(CheckTool, ProfileMakesItsRulesErrors)
{
    TempDir dir;
    CheckRun run = Aiexport(dir, "--check --profile=stock '" + kSource + "/tests/golden/paths.ai'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(": error: a stroked path, which the stock profile forbids"),
              std::string::npos)
        << run.out;
    run = Aiexport(dir, "--check '" + kSource + "/tests/golden/paths.ai'");
    EXPECT_EQ(run.status, 0) << run.out;
}

#ifdef AIEXPORT_HAVE_SVG
TEST(CheckTool, ExportsOfDrawingsPassTheFileCheck)
{
    TempDir dir;
    // The drawing has findings of its own; the file made of it has none.
    CheckRun run = Aiexport(dir, "--check '" + kSource + "/tests/check/every-rule.svg'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("every-rule.svg:15: warning: live text (<text>)"), std::string::npos)
        << run.out;
    run = Aiexport(dir, "'" + kSource + "/tests/check/every-rule.svg' out.ai");
    ASSERT_EQ(run.status, 0) << run.err;
    run = Aiexport(dir, "--check out.ai");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    // What each profile exports passes the check of that profile; stock
    // refuses this drawing, whose images need pixels, and writes nothing.
    for (const char* profile : {"cut", "laser", "print", "stock"}) {
        const std::string out = std::string(profile) + ".ai";
        run = Aiexport(dir, std::string("--profile ") + profile + " '" + kSource +
                                "/tests/check/every-rule.svg' " + out);
        if (std::string(profile) == "stock") {
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_NE(access(dir.File(out).c_str(), F_OK), 0);
            continue;
        }
        ASSERT_EQ(run.status, 0) << profile << ": " << run.err;
        run = Aiexport(dir, std::string("--check --profile ") + profile + " " + out);
        EXPECT_EQ(run.status, 0) << profile << ": " << run.out << run.err;
    }
    // And the built-in sample.
    run = Aiexport(dir, "");
    ASSERT_EQ(run.status, 0) << run.err;
    run = Aiexport(dir, "--check sample.ai");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
}
#endif
