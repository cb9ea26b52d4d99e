// How the tool writes its files: the document, those of @file and --eps alike.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/Files.h"

namespace {

const std::string kMinimal = "BeginPicture 0 0 8.5 11\nBeginDrawingSection 8.5 11\nEndPicture\n";

// Starts aiexport with args in dir, TMPDIR=tmp; its standard error goes to the
// pipe *errors when one is asked for.
pid_t Start(const TempDir& dir, const TempDir& tmp, const std::vector<std::string>& args,
            int* errors = nullptr)
{
    int ends[2] = {-1, -1};
    if (errors != nullptr && ::pipe(ends) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(errors != nullptr ? ends[1] : null, STDERR_FILENO);
        if (::chdir(dir.path.c_str()) != 0)
            std::_Exit(126);
        ::setenv("TMPDIR", tmp.path.c_str(), 1);
        ::setenv("SOURCE_DATE_EPOCH", "0", 1);
        std::vector<char*> argv{const_cast<char*>(AIEXPORT_TOOL_PATH)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(AIEXPORT_TOOL_PATH, argv.data());
        std::_Exit(127);
    }
    if (errors != nullptr) {
        ::close(ends[1]);
        *errors = ends[0];
    }
    return pid;
}

int RunTool(const TempDir& dir, const TempDir& tmp, const std::vector<std::string>& args)
{
    const pid_t pid = Start(dir, tmp, args);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Entries(const std::string& path)
{
    std::string names;
    DIR* dir = ::opendir(path.c_str());
    while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr)
        if (entry->d_name[0] != '.' || (entry->d_name[1] != '\0' && entry->d_name[1] != '.'))
            names += std::string(entry->d_name) + "\n";
    if (dir != nullptr)
        ::closedir(dir);
    return names;
}

bool IsLink(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

// The module's document, a file of @file and an EPS file follow one policy: a
// link is written through, dangling or not; a read-only file is refused and
// stays; any name the file system takes is written, and nothing else is left.
TEST(ToolFiles, EveryWriterWritesThroughLinksAndRefusesReadOnlyFiles)
{
    const std::string longName = std::string(250, 'n') + ".eps";
    const struct {
        const char* writer;
        int refused;  // the exit status for a read-only file
        std::string start;
    } writers[] = {{"module", 1, "%!PS-Adobe-3.0\n"},
                   {"@file", 2, "NEW"},
                   {"--eps", 1, "%!PS-Adobe-3.0 EPSF-3.0\n"}};
    for (const auto& w : writers) {
        const std::string writer = w.writer;
        TempDir dir;
        TempDir tmp;
        ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
        WriteFile(dir.File("sub/kept"), "old");
        ASSERT_EQ(::chmod(dir.File("sub/kept").c_str(), 0640), 0);
        ASSERT_EQ(::symlink("sub/kept", dir.File("link").c_str()), 0);
        ASSERT_EQ(::symlink("sub/made", dir.File("dangling").c_str()), 0);
        WriteFile(dir.File("ro"), "keep");
        ASSERT_EQ(::chmod(dir.File("ro").c_str(), 0444), 0);
        const auto write = [&](const std::string& target) {
            if (writer != "@file") {
                WriteFile(dir.File("s.records"), kMinimal);
                const std::vector<std::string> eps{"--eps", "s.records", target};
                return RunTool(dir, tmp,
                               writer == "--eps" ? eps
                                                 : std::vector<std::string>{"s.records", target});
            }
            WriteFile(dir.File("s.records"), "@file \"" + target + "\" <4E4557>\n" + kMinimal);
            return RunTool(dir, tmp, {"s.records", "out.ai"});
        };
        for (const std::string target : {"link", "dangling", longName.c_str()})
            EXPECT_EQ(write(target), 0) << writer << " " << target;
        EXPECT_TRUE(IsLink(dir.File("link"))) << writer;
        EXPECT_TRUE(IsLink(dir.File("dangling"))) << writer;
        EXPECT_EQ(ReadFile(dir.File("sub/kept")).rfind(w.start, 0), 0u) << writer;
        EXPECT_EQ(ReadFile(dir.File("sub/made")).rfind(w.start, 0), 0u) << writer;
        EXPECT_EQ(ReadFile(dir.File(longName)).rfind(w.start, 0), 0u) << writer;
        struct stat st;
        ASSERT_EQ(::stat(dir.File("sub/kept").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u) << writer;

        EXPECT_EQ(write("ro"), w.refused) << writer;
        EXPECT_EQ(ReadFile(dir.File("ro")), "keep") << writer;
        EXPECT_EQ(dir.Listing(), "dangling\nlink\n" + longName + "\n" +
                                     (writer == "@file" ? "out.ai\n" : "") + "ro\ns.records\nsub\n")
            << writer;
        EXPECT_EQ(tmp.Listing(), "") << writer;
    }
}

// A set named again and again goes into the EPS file once.
TEST(ToolFiles, EpsSuppliesEachProcedureSetOnce)
{
    TempDir dir;
    TempDir tmp;
    std::string repeated;
    for (int i = 0; i < 2000; ++i)
        repeated += "%%IncludeResource: procset Adobe_cshow 2.0 8\n"
                    "%%IncludeResource: procset Adobe_level2_AI5 1.2 0\n";
    WriteFile(dir.File("many.ai"),
              "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 9 9\n%%EndComments\n" + repeated + "%%EOF\n");
    ASSERT_EQ(RunTool(dir, tmp, {"--eps", "many.ai", "many.eps"}), 0);
    const std::string eps = ReadFile(dir.File("many.eps"));
    std::size_t sets = 0;
    for (std::size_t at = 0;
         (at = eps.find("%%BeginResource: procset ", at + 1)) != std::string::npos;)
        ++sets;
    EXPECT_EQ(sets, 2u);
    EXPECT_EQ(eps.find("%%IncludeResource"), std::string::npos);
    EXPECT_EQ(eps.compare(eps.size() - 6, 6, "%%EOF\n"), 0);
    EXPECT_LT(eps.size(), 200000u);  // each of the 4000 lines whole would make it hundreds of MB
}

// Killed at any moment, --eps leaves the old file or the complete new one at
// the target, a link's destination included, and nothing in TMPDIR or beside it.
TEST(ToolFiles, KilledEpsLeavesTheOldFileOrTheNewOneAndNothingElse)
{
    TempDir dir;
    TempDir tmp;
    std::string script = "BeginPicture 0 0 1000 1000\nBeginDrawingSection 1000 1000\n";
#ifdef AIEXPORT_SANITIZED
    const int kPaths = 3000;
#else
    const int kPaths = 10000;
#endif
    for (int i = 0; i < kPaths; ++i) {
        const std::string x = std::to_string(i % 997);
        const std::string y = std::to_string(i % 991);
        script += "BeginPath\nMoveTo " + x + " " + y + "\nLineTo " + x + ".5 " + y + "\nLineTo " +
                  x + " " + y + ".5\nEndPath\n";
    }
    WriteFile(dir.File("big.records"), script + "EndPicture\n");
    ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("sub/big.eps", dir.File("link.eps").c_str()), 0);
    const auto now = [] {
        timespec t{};
        ::clock_gettime(CLOCK_MONOTONIC, &t);
        return t.tv_sec * 1e6 + t.tv_nsec / 1e3;  // microseconds
    };
    const double start = now();
    ASSERT_EQ(RunTool(dir, tmp, {"--eps", "big.records", "big.eps"}), 0);
    const double span = now() - start;
    const std::string complete = ReadFile(dir.File("big.eps"));
    ASSERT_GT(complete.size(), kPaths * 50u);
    // Through the link the document is named after the link.
    ASSERT_EQ(RunTool(dir, tmp, {"--eps", "big.records", "link.eps"}), 0);
    const std::string throughLink = ReadFile(dir.File("sub/big.eps"));
    ASSERT_EQ(throughLink.size(), complete.size() + 1);

    std::srand(static_cast<unsigned>(::getpid()));
    int betweenLinkAndRename = 0;
    int inPlace = 0;
    for (int round = 0; round < 20; ++round) {
        // Even rounds replace a file, odd ones create the destination of a dangling link.
        const bool dangling = round % 2 != 0;
        const std::string target = dangling ? "link.eps" : "big.eps";
        const std::string written = dangling ? dir.File("sub/big.eps") : dir.File("big.eps");
        if (dangling)
            ::unlink(written.c_str());
        else
            WriteFile(written, "old");
        int errors = -1;
        const pid_t pid = Start(dir, tmp, {"--eps", "big.records", target}, &errors);
        ::usleep(static_cast<useconds_t>(span * 1.1 * std::rand() / RAND_MAX));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        // Standard error ends when whatever cleans up after the tool is done too.
        char sink[256];
        while (::read(errors, sink, sizeof sink) > 0) {
        }
        ::close(errors);

        EXPECT_EQ(tmp.Listing(), "") << "round " << round;
        std::string found = ReadFile(written);
        if (dangling) {
            EXPECT_TRUE(IsLink(dir.File("link.eps")));
            EXPECT_TRUE(found.empty() || found == throughLink) << "round " << round;
            inPlace += !found.empty();
            EXPECT_EQ(dir.Listing(), "big.eps\nbig.records\nlink.eps\nsub\n") << "round " << round;
            EXPECT_EQ(Entries(dir.File("sub")), found.empty() ? "" : "big.eps\n")
                << "round " << round;
            continue;
        }
        EXPECT_TRUE(found == "old" || found == complete)
            << "round " << round << ": " << found.size();
        inPlace += found == complete;
        const std::string listing = dir.Listing();
        if (listing == "big.eps\nbig.records\nlink.eps\nsub\n")
            continue;
        // As the module's own: a complete file may wait under a hidden name for
        // the rename that puts it in place, a few system calls later.
        const std::string hidden = listing.substr(0, listing.find('\n'));
        ASSERT_EQ(hidden.rfind(".big.eps.", 0), 0u) << "round " << round << ": " << listing;
        EXPECT_EQ(ReadFile(dir.File(hidden)), complete);
        EXPECT_LT(++betweenLinkAndRename, 3);
        ::unlink(dir.File(hidden).c_str());
    }
    std::printf("[   INFO   ] --eps %.0f ms; %d of 20 kills came after the new file was in place, "
                "%d between its link and its rename\n",
                span / 1e3, inPlace, betweenLinkAndRename);
}
