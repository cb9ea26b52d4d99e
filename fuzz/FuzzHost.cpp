// The fuzzers' host: private directories and the checks after record 17.
#include "FuzzHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "RecordCatalog.h"
#include "host/Payloads.h"

namespace {

const char kEarlier[] = "the user's earlier drawing\n";

std::string Slurp(const std::string& path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<missing>";
    char chunk[65536];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

void Put(const std::string& path, const void* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
        std::perror(path.c_str());
        std::abort();
    }
    ::close(fd);
}

std::string Listing(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::string all;
    for (const auto& n : names)
        all += n + " ";
    return all;
}

// A reader ends a comment at a form feed or a return as at a line feed and
// runs the rest of the line: no comment line may hold a byte below 0x20 or
// 0x7F. The offending line's start, or "".
std::string ControlInComment(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        if (text[at] == '%') {
            for (std::size_t i = at; i < end; ++i) {
                const auto c = static_cast<unsigned char>(text[i]);
                if (c < 0x20 || c == 0x7f)
                    return "a comment line holds byte " + std::to_string(c) + " at " +
                           std::to_string(i) + ": " + text.substr(at, std::min<std::size_t>(end - at, 80));
            }
        }
        at = end + 1;
    }
    return "";
}

void MakeDir(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

}  // namespace

FuzzHost::FuzzHost()
{
    if (const char* keep = std::getenv("AIEXPORT_FUZZ_DOCUMENTS"))
        documentsDir = keep;
    // Memory-backed when possible: every successful end of picture syncs.
    const char* env = std::getenv("TMPDIR");
    std::string root = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                       : (env != nullptr && *env != '\0') ? env
                                                          : "/tmp";
    std::string templ = root + "/aiexport-fuzz.XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    base = templ;
    tmpDir = base + "/tmp";
    outDir = base + "/out";
    filesDir = base + "/files";
    MakeDir(tmpDir);
    MakeDir(outDir);
    MakeDir(filesDir);
    ::setenv("TMPDIR", tmpDir.c_str(), 1);
    ::setenv("SOURCE_DATE_EPOCH", "0", 1);
    target = outDir + "/drawing.ai";
    // libFuzzer leaves by exit(), past the destructors of function statics
    // that are still in use; the tree goes at exit. A crash leaves it for
    // inspection.
    static std::string removeAtExit;
    removeAtExit = base;
    std::atexit([] {
        ::nftw(
            removeAtExit.c_str(),
            [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
            FTW_DEPTH | FTW_PHYS);
    });
}

void FuzzHost::StartInput()
{
    for (const std::string& dir : {outDir, tmpDir}) {
        if (DIR* d = ::opendir(dir.c_str())) {
            while (dirent* e = ::readdir(d)) {
                const std::string n = e->d_name;
                if (n != "." && n != "..")
                    ::unlink((dir + "/" + n).c_str());
            }
            ::closedir(d);
        }
    }
    Put(target, kEarlier, sizeof kEarlier - 1);
    expected = kEarlier;
}

void FuzzHost::CheckAfterEnd(int result)
{
    const std::string now = Slurp(target);
    if (result == 1) {
        const std::string fault = reliability::DocumentFault(now);
        if (!fault.empty())
            Fail("record 17 reported success but the document " + fault);
        const std::string control = ControlInComment(now);
        if (!control.empty())
            Fail("record 17 reported success but " + control);
        expected = now;
        constexpr int kDocumentsToKeep = 100;
        if (!documentsDir.empty() && documentsKept < kDocumentsToKeep)
            Put(documentsDir + "/" + std::to_string(::getpid()) + "-" + std::to_string(documentsKept++) +
                    ".ai",
                now.data(), now.size());
    } else if (result == 0) {
        if (now != expected)
            Fail("record 17 failed and the earlier target file was changed");
    } else {
        Fail("record 17 returned " + std::to_string(result));
    }
    CheckNothingLeft();
}

void FuzzHost::CheckNothingLeft() const
{
    if (Listing(outDir) != "drawing.ai ")
        Fail("the target's directory holds: " + Listing(outDir));
    if (Listing(tmpDir) != "")
        Fail("the temporary directory holds: " + Listing(tmpDir));
}

void FuzzHost::ConfinePath(unsigned char* pathBitmapPayload) const
{
    char path[sizeof PathBitmapData::filePath];
    std::memcpy(path, pathBitmapPayload, sizeof path);
    const std::size_t length = strnlen(path, sizeof path);
    std::string confined = filesDir + "/";
    for (std::size_t i = 0; i < length; ++i)
        confined += path[i] == '/' || path[i] == '\\' ? '_' : path[i];
    const std::size_t keep =
        std::min(confined.size(), length < sizeof path ? sizeof path - 1 : sizeof path);
    std::memset(pathBitmapPayload, 0, sizeof path);
    std::memcpy(pathBitmapPayload, confined.data(), keep);
}

void FuzzHost::PutFile(const std::string& name, const std::uint8_t* data, std::size_t size) const
{
    Put(filesDir + "/" + name, data, size);
}

void FuzzHost::Fail(const std::string& what) const
{
    std::fprintf(stderr, "\n*** aiexport fuzz check: %s\n", what.c_str());
    std::abort();
}
