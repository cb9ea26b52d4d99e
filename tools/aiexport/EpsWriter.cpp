// EPS files from exported documents: the procedure sets put in where the document
// names them, an EPSF-3.0 header with the bounding box, and a file replaced whole.
#include "EpsWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "ModuleLoader.h"
#include "platform/Platform.h"

namespace eps {
namespace {

constexpr int kExitCannotWrite = 1;
constexpr int kExitBadDocument = 2;

constexpr const char kDocumentStart[] = "%!PS-Adobe-";
constexpr const char kBoxKey[] = "%%BoundingBox:";
constexpr const char kHiResBoxKey[] = "%%HiResBoundingBox:";
// Ours are a few kilobytes; a file far larger is not a procedure set.
constexpr long kMaxProcsetBytes = 4L << 20;
constexpr std::size_t kMaxNameLength = 200;
// Coordinates beyond this are no drawing's.
constexpr double kMaxCoordinate = 1e9;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Resolved(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

// Lines end with \n, \r\n or a lone \r (files from older systems); the ending
// is kept apart so that every line is copied with its own.
class LineReader {
public:
    explicit LineReader(std::FILE* in) : file(in) {}

    bool Next(std::string& text, const char*& ending)
    {
        text.clear();
        ending = "";
        int c;
        while ((c = getc_unlocked(file)) != EOF) {
            if (c == '\n') {
                ending = "\n";
                return true;
            }
            if (c == '\r') {
                const int next = getc_unlocked(file);
                if (next == '\n') {
                    ending = "\r\n";
                } else {
                    ending = "\r";
                    if (next != EOF)
                        std::ungetc(next, file);
                }
                return true;
            }
            text.push_back(static_cast<char>(c));
        }
        return !text.empty();
    }

private:
    std::FILE* file;
};

struct Box {
    std::array<double, 4> edges{};
    bool valid = false;
    bool atEnd = false;
};

// The four numbers of a bounding-box comment whose key is `keyLength` long.
Box ParseBox(const std::string& line, std::size_t keyLength)
{
    Box box;
    const char* at = line.c_str() + keyLength;
    while (*at == ' ' || *at == '\t')
        ++at;
    if (std::strncmp(at, "(atend)", 7) == 0) {
        box.atEnd = true;
        return box;
    }
    for (double& edge : box.edges) {
        char* end = nullptr;
        edge = std::strtod(at, &end);
        if (end == at || !std::isfinite(edge) || std::fabs(edge) > kMaxCoordinate)
            return box;
        at = end;
    }
    box.valid = true;
    return box;
}

// NAME and what follows it (version, revision) of "%%IncludeResource: procset NAME ...".
bool ParseInclude(const std::string& line, std::string& name, std::string& rest)
{
    static const char kKey[] = "%%IncludeResource:";
    if (!StartsWith(line, kKey))
        return false;
    std::size_t at = line.find_first_not_of(" \t", sizeof kKey - 1);
    if (at == std::string::npos || line.compare(at, 7, "procset") != 0 ||
        line.find_first_of(" \t", at) != at + 7)
        return false;
    at = line.find_first_not_of(" \t", at + 7);
    if (at == std::string::npos)
        return false;
    const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
    name = line.substr(at, end - at);
    rest = line.substr(end);
    return true;
}

// A set is a file NAME.ps of the directory: a name that could reach another
// directory, a hidden file or a device is refused.
bool IsPlainName(const std::string& name)
{
    if (name.empty() || name.size() > kMaxNameLength || name[0] == '.')
        return false;
    for (const char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
              c == '+'))
            return false;
    return true;
}

bool ReadProcset(const std::string& directory, const std::string& name, std::string& body,
                 std::string& error)
{
    const std::string path = directory + "/" + name + ".ps";
    struct stat st;
    const File in(std::fopen(path.c_str(), "rbe"));
    if (!in || ::fstat(::fileno(in.get()), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > kMaxProcsetBytes) {
        error = "no procedure set " + name + " in " + directory + " (" + path + ": " +
                (in ? "not a procedure set file" : std::strerror(errno)) + ")";
        return false;
    }
    body.resize(static_cast<std::size_t>(st.st_size));
    if (std::fread(&body[0], 1, body.size(), in.get()) != body.size()) {
        error = "cannot read " + path;
        return false;
    }
    if (body.empty() || body.back() != '\n')
        body += '\n';
    return true;
}

// Ends the header comments: %%EndComments, or where the prolog or the program begins.
bool EndsHeader(const std::string& line)
{
    return line.empty() || line[0] != '%' || StartsWith(line, "%%EndComments") ||
           StartsWith(line, "%%Begin") || StartsWith(line, "%%Include");
}

// What the first reading finds: the box, and the sets with their bodies.
struct Plan {
    Box box;
    Box hiResBox;
    std::vector<std::string> supplied;  // "NAME version revision", in order
    std::map<std::string, std::string> bodies;
};

bool Survey(std::FILE* in, const std::string& shown, const std::string& procsets, Plan& plan,
            std::string& error)
{
    LineReader reader(in);
    std::string line;
    const char* ending;
    unsigned long number = 0;
    bool header = true;
    while (reader.Next(line, ending)) {
        ++number;
        if (number == 1 && !StartsWith(line, kDocumentStart)) {
            error = shown + ": not a PostScript document (it does not begin with %!PS-Adobe-)";
            return false;
        }
        header = header && (number == 1 || !EndsHeader(line));
        // (atend) sends the reader to the trailer, whose value comes last.
        const bool isBox = StartsWith(line, kBoxKey);
        Box* box = isBox ? &plan.box : StartsWith(line, kHiResBoxKey) ? &plan.hiResBox : nullptr;
        if (box != nullptr && (header || box->atEnd)) {
            const Box found = ParseBox(line, isBox ? sizeof kBoxKey - 1 : sizeof kHiResBoxKey - 1);
            if (header) {
                *box = found;
            } else if (found.valid) {
                box->edges = found.edges;
                box->valid = true;
            }
        }
        std::string name;
        std::string rest;
        if (header || !ParseInclude(line, name, rest))
            continue;
        if (!IsPlainName(name)) {
            error = shown + ":" + std::to_string(number) + ": the procedure set name '" + name +
                    "' is not a plain file name; refused";
            return false;
        }
        if (plan.bodies.count(name) == 0) {
            if (!ReadProcset(procsets, name, plan.bodies[name], error))
                return false;
            plan.supplied.push_back(name + rest);
        }
    }
    if (std::ferror(in)) {
        error = shown + ": " + std::strerror(errno);
        return false;
    }
    if (number == 0) {
        error = shown + ": empty file";
        return false;
    }
    return true;
}

// The EPS box in whole points around the drawing: the high-resolution box
// when there is one, rounded outwards, so that no edge of the drawing is cut.
bool ChooseBox(const Plan& plan, const std::string& shown, long edges[4], std::string& error)
{
    const Box& box = plan.hiResBox.valid ? plan.hiResBox : plan.box;
    if (!box.valid) {
        error = shown + ": no bounding box (%%BoundingBox)";
        return false;
    }
    edges[0] = static_cast<long>(std::floor(box.edges[0]));
    edges[1] = static_cast<long>(std::floor(box.edges[1]));
    edges[2] = static_cast<long>(std::ceil(box.edges[2]));
    edges[3] = static_cast<long>(std::ceil(box.edges[3]));
    if (edges[2] <= edges[0] || edges[3] <= edges[1]) {
        error = shown + ": the bounding box " + std::to_string(edges[0]) + " " +
                std::to_string(edges[1]) + " " + std::to_string(edges[2]) + " " +
                std::to_string(edges[3]) + " is empty, and an EPS file is drawn inside it";
        return false;
    }
    return true;
}

void WriteSupplied(std::FILE* out, const Plan& plan)
{
    for (std::size_t i = 0; i < plan.supplied.size(); ++i)
        std::fprintf(out, "%s procset %s\n", i == 0 ? "%%DocumentSuppliedResources:" : "%%+",
                     plan.supplied[i].c_str());
}

void Convert(std::FILE* in, std::FILE* out, const Plan& plan, const long box[4])
{
    LineReader reader(in);
    std::string line;
    const char* ending;
    bool first = true;
    bool header = true;
    bool boxWritten = false;
    std::set<std::string> put;  // a set is supplied once, where it is first included
    while (reader.Next(line, ending)) {
        if (first) {
            std::fprintf(out, "%%!PS-Adobe-3.0 EPSF-3.0%s", ending);
            first = false;
            continue;
        }
        if (header && EndsHeader(line)) {
            header = false;
            // A box given only in high resolution still needs its line.
            if (!boxWritten)
                std::fprintf(out, "%s %ld %ld %ld %ld\n", kBoxKey, box[0], box[1], box[2], box[3]);
            WriteSupplied(out, plan);
            if (!StartsWith(line, "%%EndComments"))
                std::fputs("%%EndComments\n", out);
        }
        std::string name;
        std::string rest;
        if (header && StartsWith(line, kBoxKey)) {
            std::fprintf(out, "%s %ld %ld %ld %ld%s", kBoxKey, box[0], box[1], box[2], box[3],
                         ending);
            boxWritten = true;
        } else if (header && StartsWith(line, kHiResBoxKey) && plan.hiResBox.atEnd) {
            if (plan.hiResBox.valid)
                std::fprintf(out, "%s %.4f %.4f %.4f %.4f%s", kHiResBoxKey, plan.hiResBox.edges[0],
                             plan.hiResBox.edges[1], plan.hiResBox.edges[2], plan.hiResBox.edges[3],
                             ending);
        } else if (!header && ParseInclude(line, name, rest)) {
            if (!put.insert(name).second)
                continue;
            const std::string& body = plan.bodies.at(name);
            std::fprintf(out, "%%%%BeginResource: procset %s%s\n", name.c_str(), rest.c_str());
            std::fwrite(body.data(), 1, body.size(), out);
            std::fprintf(out, "%%%%EndResource%s", ending);
        } else {
            std::fwrite(line.data(), 1, line.size(), out);
            std::fputs(ending, out);
        }
    }
}

// Makes the export's private directory and removes what a killed export
// leaves in it, which the killed process cannot: a process of its own makes
// the directory, tells its name, and waits on a pipe that only the tool holds
// open; when that closes, by an exit or a kill, it empties the directory and
// removes it. The directory exists only while that process watches it, so no
// kill of the tool, however early, leaves it. The process makes system calls
// only, as the tool may have threads when it is forked. It keeps standard
// error open until it is done, so that whoever reads that to its end knows
// the directory is gone.
class Sweeper {
public:
    ~Sweeper() { Stop(); }

    // The directory made from `pattern` (ending in XXXXXX), or "" with errno set.
    std::string Start(const std::string& pattern)
    {
        int watch[2];
        int told[2];
        if (::pipe2(watch, O_CLOEXEC) != 0)
            return "";
        if (::pipe2(told, O_CLOEXEC) != 0) {
            ::close(watch[0]);
            ::close(watch[1]);
            return "";
        }
        std::string directory = pattern;
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(watch[1]);
            ::close(told[0]);
            Sweep(watch[0], told[1], &directory[0]);
        }
        const int forkError = errno;
        ::close(watch[0]);
        ::close(told[1]);
        if (child < 0) {
            ::close(watch[1]);
            ::close(told[0]);
            errno = forkError;
            return "";
        }
        pid = child;
        writeEnd = watch[1];
        // The child writes its errno (0 when it made the directory), then the name.
        int childError = EIO;
        const bool made = ReadWhole(told[0], &childError, sizeof childError) && childError == 0 &&
                          ReadWhole(told[0], &directory[0], directory.size());
        ::close(told[0]);
        if (!made) {
            Stop();
            errno = childError != 0 ? childError : EIO;
            return "";
        }
        return directory;
    }

    // Has the directory emptied and removed, and waits until it is.
    void Stop()
    {
        if (pid < 0)
            return;
        ::close(writeEnd);
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
    }

private:
    [[noreturn]] static void Sweep(int readEnd, int tell, char* directory)
    {
        // An interrupt or a hang-up reaches the whole process group: this one stays.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        for (const int signal : {SIGINT, SIGHUP, SIGTERM, SIGQUIT, SIGPIPE})
            ::sigaction(signal, &ignore, nullptr);
        ::close(STDIN_FILENO);
        ::close(STDOUT_FILENO);
        const int error = ::mkdtemp(directory) == nullptr ? errno : 0;
        // A pipe takes this much whole (less than its atomic size).
        char message[sizeof error + 4096];
        const std::size_t length = error == 0 ? std::strlen(directory) : 0;
        if (length > sizeof message - sizeof error)
            ::_exit(1);
        std::memcpy(message, &error, sizeof error);
        std::memcpy(message + sizeof error, directory, length);
        const ssize_t sent = ::write(tell, message, sizeof error + length);
        ::close(tell);
        if (error != 0)
            ::_exit(1);
        if (sent != static_cast<ssize_t>(sizeof error + length)) {
            ::rmdir(directory);
            ::_exit(1);
        }
        char byte;
        while (::read(readEnd, &byte, 1) < 0 && errno == EINTR) {
        }
        const int dir = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int pass = 0; dir >= 0 && pass < 3 && ::rmdir(directory) != 0; ++pass) {
            ::lseek(dir, 0, SEEK_SET);
            alignas(8) char entries[4096];
            long n;
            while ((n = ::syscall(SYS_getdents64, dir, entries, sizeof entries)) > 0) {
                // Each entry: inode (8 bytes), offset (8), its length (2), type (1), name.
                for (long at = 0; at < n;) {
                    unsigned short length;
                    std::memcpy(&length, entries + at + 16, sizeof length);
                    const char* name = entries + at + 19;
                    if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                        ::unlinkat(dir, name, 0);
                    at += length;
                }
            }
        }
        ::_exit(0);
    }

    static bool ReadWhole(int fd, void* into, std::size_t size)
    {
        auto* at = static_cast<char*>(into);
        while (size > 0) {
            const ssize_t n = ::read(fd, at, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            at += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    pid_t pid = -1;
    int writeEnd = -1;
};

// The EPS file of the document read from in; WriteEps's status.
int Write(std::FILE* in, const std::string& shown, const std::string& output,
          const std::string& procsets)
{
    Plan plan;
    long box[4];
    std::string error;
    if (!Survey(in, shown, procsets, plan, error) || !ChooseBox(plan, shown, box, error)) {
        std::fprintf(stderr, "aiexport: %s\n", error.c_str());
        return kExitBadDocument;
    }
    if (std::fseek(in, 0, SEEK_SET) != 0) {
        std::fprintf(stderr, "aiexport: cannot read %s: %s\n", shown.c_str(), std::strerror(errno));
        return kExitBadDocument;
    }
    const auto cannotWrite = [&] {
        std::fprintf(stderr, "aiexport: cannot write %s: %s\n", output.c_str(), error.c_str());
        return kExitCannotWrite;
    };
    aiexport_platform::ReplacingFile target;
    if (!target.Open(output, error))
        return cannotWrite();
    // A stream of its own descriptor: closing it leaves the file to be named.
    const int copy = ::fcntl(target.Descriptor(), F_DUPFD_CLOEXEC, 0);
    File out(copy < 0 ? nullptr : ::fdopen(copy, "wb"));
    if (!out) {
        error = std::strerror(errno);
        if (copy >= 0)
            ::close(copy);
        return cannotWrite();
    }
    Convert(in, out.get(), plan, box);
    if (std::ferror(in)) {
        std::fprintf(stderr, "aiexport: cannot read %s: %s\n", shown.c_str(), std::strerror(errno));
        return kExitBadDocument;
    }
    const bool written = std::fflush(out.get()) == 0 && !std::ferror(out.get());
    const int reason = errno;
    const bool closed = std::fclose(out.release()) == 0;
    if (!written || !closed) {
        error = std::strerror(written ? errno : reason);
        return cannotWrite();
    }
    return target.Commit(error) ? 0 : cannotWrite();
}

}  // namespace

bool FindProcsets(const std::string& option, std::string& directory, std::string& error)
{
    const char* fromEnvironment = std::getenv("AIEXPORT_PROCSETS");
    const bool named = !option.empty() || (fromEnvironment != nullptr && *fromEnvironment != '\0');
    if (named) {
        directory = !option.empty() ? option : fromEnvironment;
        if (IsDirectory(directory))
            return true;
        error = "the procedure-set directory " + directory + " (" +
                (option.empty() ? "AIEXPORT_PROCSETS" : "--procsets") + ") is not a directory";
        return false;
    }
    // The build tree keeps a copy of the sets two levels above this program
    // (tools/aiexport); an installation keeps them under the prefix's data directory.
    const std::string exe = ExecutableDirectory();
    std::vector<std::string> candidates = {exe + "/../../share/aiexport/procsets",
                                           exe + "/../" AIEXPORT_INSTALL_DATADIR
                                                 "/aiexport/procsets"};
    std::string looked;
    for (const std::string& candidate : candidates) {
        if (IsDirectory(candidate)) {
            directory = Resolved(candidate);
            return true;
        }
        looked += (looked.empty() ? "" : ", ") + candidate;
    }
    error = "cannot find the procedure sets; looked in " + looked +
            " (--procsets DIR or AIEXPORT_PROCSETS names their directory)";
    return false;
}

bool IsDocument(const std::string& path)
{
    const File in(std::fopen(path.c_str(), "rbe"));
    char start[sizeof kDocumentStart - 1];
    return in && std::fread(start, 1, sizeof start, in.get()) == sizeof start &&
           std::memcmp(start, kDocumentStart, sizeof start) == 0;
}

int WriteEps(const std::string& source, const std::string& shown, const std::string& output,
             const std::string& procsets)
{
    const File in(std::fopen(source.c_str(), "rbe"));
    if (!in) {
        std::fprintf(stderr, "aiexport: cannot read %s: %s\n", shown.c_str(), std::strerror(errno));
        return kExitBadDocument;
    }
    return Write(in.get(), shown, output, procsets);
}

int ExportEps(const std::string& output, const std::string& procsets,
              const std::function<int(const std::string& target)>& exportTo)
{
    Sweeper sweeper;
    const std::string work =
        sweeper.Start(aiexport_platform::TemporaryDirectory() + "aiexport-eps-XXXXXX");
    if (work.empty()) {
        std::fprintf(stderr, "aiexport: cannot make a working directory for %s: %s\n",
                     output.c_str(), std::strerror(errno));
        return kExitCannotWrite;
    }
    // The module names the document after its file, so the private copy has the
    // name of the EPS file.
    const std::string document =
        work + "/" + output.substr(aiexport_platform::FileNameStart(output));
    int status = exportTo(document);
    // Read from here on without a name: from now on a kill leaves nothing.
    const File in(std::fopen(document.c_str(), "rbe"));
    ::unlink(document.c_str());
    ::rmdir(work.c_str());
    sweeper.Stop();
    if (in) {
        const int made = Write(in.get(), "the exported document", output, procsets);
        if (made != 0)
            status = made;
    }
    return status;
}

}  // namespace eps
