// POSIX implementation of the platform layer.
#include "platform/Platform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace aiexport_platform {

namespace {

long faultAt[kFaultKinds] = {};
long faultSeen[kFaultKinds] = {};
long lengthExcess = 0;
long positionExcess = 0;
int copyCallError = EIO;
unsigned long copyCallLimit = 0;
unsigned long partialWrite = 0;

}  // namespace

void SetFault(FaultKind kind, long nth)
{
    faultAt[kind] = nth;
    faultSeen[kind] = 0;
}

void ClearFaults()
{
    for (int k = 0; k < kFaultKinds; ++k) {
        faultAt[k] = 0;
        faultSeen[k] = 0;
    }
    lengthExcess = 0;
    positionExcess = 0;
    copyCallError = EIO;
    copyCallLimit = 0;
    partialWrite = 0;
}

void SetCopyCallError(int error) { copyCallError = error; }

void SetCopyCallLimit(unsigned long bytes) { copyCallLimit = bytes; }

void SetPartialWrite(unsigned long bytes) { partialWrite = bytes; }

void SetLengthExcess(long excess) { lengthExcess = excess; }

void SetPositionExcess(long excess) { positionExcess = excess; }

long FaultCount(FaultKind kind) { return faultSeen[kind]; }

bool ShouldFail(FaultKind kind)
{
    ++faultSeen[kind];
    return faultAt[kind] != 0 && faultSeen[kind] == faultAt[kind];
}

int OpenFile(const char* path, unsigned int mode)
{
    if (path == nullptr || ShouldFail(kFaultOpen))
        return -1;
    const bool read = (mode & 1u) != 0;
    const bool create = (mode & 256u) != 0;
    const bool keep = (mode & 512u) != 0;
    const bool write = (mode & 2u) != 0 || create || keep;
    int flags = O_CLOEXEC;
    // A file only read is a linked file the host names: opened without
    // waiting, so a FIFO or a device cannot block the export, and taken only
    // when it is a regular file.
    if (!write)
        flags |= O_NONBLOCK | O_NOCTTY;
    if (read && write)
        flags |= O_RDWR;
    else if (write)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (create) {
        flags |= O_CREAT;
        if (!keep)
            flags |= O_TRUNC;
    }
    int fd;
    do {
        fd = ::open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (!write && !S_ISREG(st.st_mode)) ||
        (!write && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

long ReadFile(int fd, void* buffer, unsigned long count)
{
    if (ShouldFail(kFaultRead))
        return -1;
    auto* p = static_cast<char*>(buffer);
    unsigned long done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? static_cast<long>(done) : -1;
        }
        if (n == 0)
            break;
        done += static_cast<unsigned long>(n);
    }
    return static_cast<long>(done);
}

long WriteFile(int fd, const void* buffer, unsigned long count)
{
    if (ShouldFail(kFaultWrite)) {
        const unsigned long part = partialWrite < count ? partialWrite : count;
        const ssize_t n = part > 0 ? ::write(fd, buffer, part) : -1;
        errno = ENOSPC;
        return n > 0 ? static_cast<long>(n) : -1;
    }
    const auto* p = static_cast<const char*>(buffer);
    unsigned long done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? static_cast<long>(done) : -1;
        }
        if (n == 0)
            break;
        done += static_cast<unsigned long>(n);
    }
    return static_cast<long>(done);
}

namespace {

// Errors of a kernel that cannot copy between these two files at all: other
// file systems, an old kernel, a special file or an appending target.
bool CopyUnsupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
           error == EBADF;
}

ssize_t CopyCall(int from, int to, unsigned long count)
{
    if (ShouldFail(kFaultCopyCall)) {
        errno = copyCallError;
        return -1;
    }
    if (copyCallLimit != 0 && count > copyCallLimit)
        count = copyCallLimit;
    return ::copy_file_range(from, nullptr, to, nullptr, count, 0);
}

// The rest of a copy the kernel gave up on, through a buffer of its own.
long CopyByHand(int from, int to, unsigned long count)
{
    char block[16384];
    unsigned long done = 0;
    while (done < count) {
        const unsigned long want = count - done < sizeof block ? count - done : sizeof block;
        const long got = ReadFile(from, block, want);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        if (WriteFile(to, block, static_cast<unsigned long>(got)) != got)
            return -1;
        done += static_cast<unsigned long>(got);
    }
    return static_cast<long>(done);
}

}  // namespace

long CopyFileData(int from, int to, unsigned long count)
{
    if (ShouldFail(kFaultCopy))
        return kCopyUnsupported;
    if (ShouldFail(kFaultRead))
        return -1;
    if (ShouldFail(kFaultWrite)) {
        errno = ENOSPC;
        return -1;
    }
    unsigned long done = 0;
    while (done < count) {
        const ssize_t n = CopyCall(from, to, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (!CopyUnsupported(errno))
                return -1;  // the caller drops the whole file: no torn copy is kept
            if (done == 0)
                return kCopyUnsupported;
            // Both positions have moved past what was copied.
            const long rest = CopyByHand(from, to, count - done);
            return rest < 0 ? -1 : static_cast<long>(done) + rest;
        }
        if (n == 0)
            break;
        done += static_cast<unsigned long>(n);
    }
    return static_cast<long>(done);
}

long CopyFileDataByHand(int from, int to, unsigned long count)
{
    return CopyByHand(from, to, count);
}

long SeekFile(int fd, long offset, int origin)
{
    if (ShouldFail(kFaultSeek))
        return -1;
    const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence);
    if (at < 0)
        return -1;
    // A position asked for (no move) counts the test's excess.
    return static_cast<long>(at) + (offset == 0 && whence == SEEK_CUR ? positionExcess : 0);
}

long FileLength(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return 0;
    return static_cast<long>(st.st_size) + lengthExcess;
}

int SyncFile(int fd)
{
    // The data and the size must be on disk before the rename; the times need not.
    return ::fdatasync(fd) == 0 ? 1 : 0;
}

void StartWriteBack(int fd)
{
    if (ShouldFail(kFaultWriteBack))
        return;
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

void CloseFile(int fd)
{
    ::close(fd);  // a failure while closing is ignored
}

std::string TemporaryDirectory()
{
    const char* dir = std::getenv("TMPDIR");
    std::string result = (dir != nullptr && dir[0] != '\0') ? dir : "/tmp";
    if (result.back() != '/')
        result += '/';
    return result;
}

namespace {

// Tries fresh names dir + prefix + ".XXXXXX" with make until one is made;
// gives up at once on any failure but a name that is taken. The name, or "".
template <class Make>
std::string MakeUniquelyNamed(const std::string& dir, const std::string& prefix, Make make)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static unsigned long long counter = 0;
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    unsigned long long seed = static_cast<unsigned long long>(ts.tv_nsec) ^
                              (static_cast<unsigned long long>(::getpid()) << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL + (++counter);
        std::string name = dir + prefix + ".";
        unsigned long long bits = seed;
        for (int i = 0; i < 6; ++i) {
            name += kLetters[bits % 62];
            bits /= 62;
        }
        if (make(name))
            return name;
        if (errno != EEXIST)
            break;
    }
    return std::string();
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

int CreateUniqueFile(const std::string& dir, const std::string& prefix, std::string& path,
                     unsigned int permissions)
{
    if (ShouldFail(kFaultOpen))
        return -1;
    int fd = -1;
    const std::string name = MakeUniquelyNamed(dir, prefix, [&](const std::string& candidate) {
        do {
            fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                        static_cast<mode_t>(permissions));
        } while (fd < 0 && errno == EINTR);
        return fd >= 0;
    });
    if (name.empty())
        return -1;
    path = name;
    return fd;
}

int CreateUnnamedFile(const std::string& dir, unsigned int permissions)
{
    if (ShouldFail(kFaultOpen))
        return -1;
    if (ShouldFail(kFaultUnnamed))
        return kUnnamedUnsupported;
#ifdef O_TMPFILE
    int fd;
    do {
        fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(permissions));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)  // EISDIR: a kernel without O_TMPFILE
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? kUnnamedUnsupported : -1;
    // Without /proc the file could be linked in by a privileged process only.
    if (::access(DescriptorPath(fd).c_str(), F_OK) != 0) {
        ::close(fd);
        return kUnnamedUnsupported;
    }
    return fd;
#else
    (void)dir;
    (void)permissions;
    return kUnnamedUnsupported;
#endif
}

int LinkUnnamedFile(int fd, const std::string& destination, const std::string& prefix)
{
    if (ShouldFail(kFaultRename))
        return 0;
    const std::string self = DescriptorPath(fd);
    const auto link = [&](const std::string& name) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        return errno != EEXIST && ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
    };
    // A new target gets its name in one step; an existing one is replaced by
    // a rename, which needs a name of its own first.
    struct stat st;
    if (::lstat(destination.c_str(), &st) != 0 && errno == ENOENT && link(destination))
        return 1;
    const std::string linked = MakeUniquelyNamed(DirectoryOf(destination), prefix, link);
    if (linked.empty())
        return 0;
    if (::rename(linked.c_str(), destination.c_str()) != 0) {
        ::unlink(linked.c_str());
        return 0;
    }
    return 1;
}

std::size_t FileNameStart(const std::string& path)
{
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? 0 : cut + 1;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t start = FileNameStart(path);
    if (start == 0)
        return "./";
    return path.substr(0, start);
}

void CopyOwnership(int fd, const char* replaced)
{
    struct stat st;
    if (::stat(replaced, &st) != 0)
        return;  // a new file keeps the default bits the umask gave it
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Not permitted for another user's file: keep ours, the bits still follow.
    }
    ::fchmod(fd, st.st_mode & 07777);
}

std::string ResolveTarget(const std::string& path)
{
    // Followed by hand: a dangling link still names the file to create.
    std::string at = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return at;
        char next[PATH_MAX];
        const ssize_t n = ::readlink(at.c_str(), next, sizeof next);
        if (n <= 0 || n == static_cast<ssize_t>(sizeof next))
            return at;
        const std::string link(next, static_cast<std::size_t>(n));
        at = link[0] == '/' ? link : DirectoryOf(at) + link;
    }
    return at;
}

int RenameFile(const char* from, const char* to)
{
    if (ShouldFail(kFaultRename))
        return 0;
    return ::rename(from, to) == 0 ? 1 : 0;
}

void RemoveFile(const char* path) { ::unlink(path); }

namespace {

// Hidden names keep at most 31 bytes of the file's name, as the module's do,
// so that a name of 255 bytes still leaves room for the ".XXXXXX" after it.
std::string HiddenPrefix(const std::string& destination)
{
    const std::string name = destination.substr(FileNameStart(destination));
    std::size_t keep = name.size() < 31 ? name.size() : 31;
    while (keep > 0 && keep < name.size() &&
           (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;  // not through a UTF-8 character
    return "." + name.substr(0, keep);
}

}  // namespace

ReplacingFile::~ReplacingFile() { Discard(); }

void ReplacingFile::Discard()
{
    if (fd >= 0)
        ::close(fd);  // an unnamed file goes with it
    fd = -1;
    if (!sibling.empty())
        ::unlink(sibling.c_str());
    sibling.clear();
}

bool ReplacingFile::Open(const std::string& path, std::string& error)
{
    Discard();
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            error = "not a regular file";
            return false;
        }
        // Even for a privileged user, whom access() would let through.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::access(path.c_str(), W_OK) != 0) {
            error = "the file is read-only";
            return false;
        }
    } else if (errno != ENOENT) {
        error = std::strerror(errno);
        return false;
    }
    destination = ResolveTarget(path);
    prefix = HiddenPrefix(destination);
    const std::string directory = DirectoryOf(destination);
    fd = CreateUnnamedFile(directory, 0666);
    if (fd == kUnnamedUnsupported)
        fd = CreateUniqueFile(directory, prefix, sibling, 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        fd = -1;
        return false;
    }
    CopyOwnership(fd, destination.c_str());
    return true;
}

bool ReplacingFile::Commit(std::string& error)
{
    bool done = fd >= 0 && SyncFile(fd) == 1;
    if (done && sibling.empty()) {
        done = LinkUnnamedFile(fd, destination, prefix) == 1;
    } else if (done) {
        ::close(fd);
        fd = -1;
        done = RenameFile(sibling.c_str(), destination.c_str()) == 1;
        if (done)
            sibling.clear();
    }
    const int reason = errno;
    Discard();
    if (!done)
        error = std::strerror(reason);
    return done;
}

std::string ComputerName(std::size_t maxLength)
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return std::string();
    name[sizeof name - 1] = '\0';
    std::string result(name);
    if (result.size() > maxLength)
        result.resize(maxLength);
    return result;
}

std::time_t CreationTime()
{
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch != nullptr && epoch[0] != '\0') {
        errno = 0;
        char* end = nullptr;
        const long long value = std::strtoll(epoch, &end, 10);
        if (errno == 0 && end != nullptr && *end == '\0')
            return static_cast<std::time_t>(value);
    }
    return std::time(nullptr);
}

const char* LoadModuleString(int id)
{
    static const char* const kStrings[] = {
        "",
        "Adobe Illustrator (*.AI)|*.ai",
    };
    if (id < 0 || id >= static_cast<int>(sizeof kStrings / sizeof kStrings[0]))
        return "";
    return kStrings[id];
}

void* Allocate(std::size_t size)
{
    if (ShouldFail(kFaultAllocate))
        return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void Free(void* block) { std::free(block); }

namespace {

locale_t CLocale()
{
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

}  // namespace

NumericLocaleScope::NumericLocaleScope(bool needed)
{
    if (!needed)
        return;
    const locale_t c = CLocale();
    if (c == static_cast<locale_t>(0))
        return;
    previous = ::uselocale(c);
    switched = previous != static_cast<locale_t>(0);
}

NumericLocaleScope::~NumericLocaleScope()
{
    if (switched)
        ::uselocale(static_cast<locale_t>(previous));
}

}  // namespace aiexport_platform
