// What the filter needs from the operating system, and nothing more.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

namespace aiexport_platform {

// Lengths and positions of files are longs: a body may pass 4 GiB.
static_assert(sizeof(long) >= 8, "file lengths and positions need a 64-bit long");

class FileHandle {
public:
    explicit FileHandle(int descriptor) : fd(descriptor) {}
    int fd;
};

// Open modes as the filter names them (bit 0 read, 1 write, 8 create, 9 keep).
// Returns a descriptor, or -1. A file opened for reading only must be a
// regular file, and the open never waits (a FIFO gives -1 at once).
int OpenFile(const char* path, unsigned int mode);
// Reads up to count bytes; -1 on an error. Retries interrupted reads.
long ReadFile(int fd, void* buffer, unsigned long count);
// Writes all count bytes or reports how far it got; -1 on an error before any byte.
long WriteFile(int fd, const void* buffer, unsigned long count);
// Copies count bytes from the current position of one file to the current
// position of the other, inside the kernel; the bytes copied (fewer when from
// ends first), -1 on an error, kCopyUnsupported when the files cannot be
// copied that way (then nothing was copied and the caller copies by hand).
// A kernel that stops copying part way through is followed by a copy by hand
// of the rest, so a copy never ends short while from still has bytes.
constexpr long kCopyUnsupported = -2;
long CopyFileData(int from, int to, unsigned long count);
// The same copy through a buffer, for files the kernel cannot copy between.
long CopyFileDataByHand(int from, int to, unsigned long count);
long SeekFile(int fd, long offset, int origin);
long FileLength(int fd);
int SyncFile(int fd);
// Starts writing the file's dirty pages to disk without waiting for them, so
// that a later SyncFile finds less to do; a failure only leaves that to it.
void StartWriteBack(int fd);
void CloseFile(int fd);

// $TMPDIR when set and non-empty, else /tmp; always ends with "/".
std::string TemporaryDirectory();
// Creates a new file exclusively, named prefix.XXXXXX in dir, with the given
// permission bits (less the umask). Returns its descriptor and path, or -1.
int CreateUniqueFile(const std::string& dir, const std::string& prefix, std::string& path,
                     unsigned int permissions = 0600);
// Where the file name begins in a path: only "/" ends a directory, a
// backslash is an ordinary character of a name.
std::size_t FileNameStart(const std::string& path);
// The directory part of a path, ending with "/"; "./" when there is none.
std::string DirectoryOf(const std::string& path);
// Gives a finished file the owner and permission bits of the file it replaces.
void CopyOwnership(int fd, const char* replaced);
// The path a rename must replace: the end of a chain of symbolic links,
// whether or not that file exists yet, else the path itself.
std::string ResolveTarget(const std::string& path);
// A new file without a name in dir (O_TMPFILE), to be linked in once it is
// complete. Its descriptor, -1 on an error, or kUnnamedUnsupported when the
// file system or the system cannot create or later link such a file.
constexpr int kUnnamedUnsupported = -2;
int CreateUnnamedFile(const std::string& dir, unsigned int permissions);
// Gives the unnamed file fd the name destination, replacing what is there in
// one step; a hidden prefix.XXXXXX link in between is removed on failure.
// 1 on success, else 0 and the destination is untouched.
int LinkUnnamedFile(int fd, const std::string& destination, const std::string& prefix);
int RenameFile(const char* from, const char* to);
void RemoveFile(const char* path);

// How a file is written, the module's document and every file of the tool alike:
// - It is replaced whole. The new bytes go to a file without a name (a hidden
//   sibling where the file system has none) in the directory of the file they
//   replace, and take its name in one step once complete and on disk; a kill
//   leaves the old file or the new one, and nothing else.
// - A symbolic link is written through and stays a link: the file at the end of
//   its chain is the one replaced, or created when the link dangles.
// - What the path names must be absent or a regular file that may be written;
//   a read-only file stays as it is. A replaced file's owner and permission
//   bits go to the new one; a new file gets 0666 less the umask.
// The module's target follows this with the calls above; the tool uses this class.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();  // a file never committed is discarded
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // A new file for path, or false with why it cannot be written.
    bool Open(const std::string& path, std::string& error);
    int Descriptor() const { return fd; }
    // Puts the written file in place of path; false with the reason when the
    // file could not be written or named, and then path is untouched.
    bool Commit(std::string& error);

private:
    void Discard();

    std::string destination;
    std::string prefix;   // of hidden names beside the destination
    std::string sibling;  // the named stand-in where there is no unnamed file
    int fd = -1;
};

// At most maxLength characters of the host name; empty when it is unknown.
std::string ComputerName(std::size_t maxLength);
// SOURCE_DATE_EPOCH when it holds an integer, else now.
std::time_t CreationTime();
// The module's string table; resource 1 is the file-dialog descriptor.
const char* LoadModuleString(int id);

// Blocks owned by the filter; null when the allocation fails.
void* Allocate(std::size_t size);
void Free(void* block);

// Sets the calling thread's numeric locale to "C" for one record and puts the
// thread's own locale back afterwards; other threads never see a change. A
// scope not needed changes nothing.
class NumericLocaleScope {
public:
    explicit NumericLocaleScope(bool needed = true);
    ~NumericLocaleScope();
    NumericLocaleScope(const NumericLocaleScope&) = delete;
    NumericLocaleScope& operator=(const NumericLocaleScope&) = delete;

private:
    void* previous = nullptr;
    bool switched = false;
};

// Fault injection for tests: fail the Nth call of one kind (counting from 1).
// kFaultCopy makes an in-kernel copy report itself unsupported, so the copy
// falls back to reading and writing through the buffer. kFaultUnnamed makes
// an unnamed file unsupported, so the document goes to a named sibling.
// kFaultCopyCall fails one system call of an in-kernel copy, counted call by
// call, with the error SetCopyCallError gives (EIO unless set).
enum FaultKind {
    kFaultOpen,
    kFaultWrite,
    kFaultRead,
    kFaultSeek,
    kFaultRename,
    kFaultAllocate,
    kFaultCopy,
    kFaultUnnamed,
    kFaultCopyCall,
    kFaultWriteBack,
    kFaultKinds
};
void SetFault(FaultKind kind, long nth);
void SetCopyCallError(int error);
// Each system call of an in-kernel copy moves at most bytes, as a kernel
// that copies less than asked does; 0 ends it. ClearFaults ends it too.
void SetCopyCallLimit(unsigned long bytes);
// A write failed by kFaultWrite first writes up to bytes of its data, as a
// disk that fills part way through a write does; 0 ends it. ClearFaults too.
void SetPartialWrite(unsigned long bytes);
// FileLength reports excess bytes more than each file holds, as a body past
// 4 GiB would without the disk it takes; 0 ends it. ClearFaults ends it too.
void SetLengthExcess(long excess);
// SeekFile's answer to where a file stands (offset 0 from the current
// position) is excess bytes further on, as in a body past 4 GiB. ClearFaults
// ends both.
void SetPositionExcess(long excess);
void ClearFaults();
long FaultCount(FaultKind kind);
bool ShouldFail(FaultKind kind);

}  // namespace aiexport_platform
