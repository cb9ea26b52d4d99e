// File object for the target, the temporary body and linked image files.
#pragma once

namespace aiexport_platform {
class FileHandle;
}

// Copied by value; every copy refers to the same open file and position.
// Only Close releases the file, so a copy going out of scope leaves it open.
class AImportFile {
public:
    AImportFile() = default;
    ~AImportFile() = default;  // forgets the file without closing it

    // Mode bits: 1 read, 2 write, 256 create or truncate, 512 keep contents.
    // 259 is read-write-create, 1 read-only. Returns 1 when open.
    int Open(const char* path, unsigned int mode);
    // Takes ownership of a descriptor that is already open.
    int Attach(int descriptor);

    long Read(void* buffer, unsigned long count);
    // The bytes written: fewer than count, or -1 when none, on an error.
    long Write(const void* buffer, unsigned long count);
    // Copies count bytes from this file's position to the position of to;
    // the bytes copied, -1 on an error, -2 when only a copy by hand can do it.
    long CopyTo(AImportFile& to, unsigned long count);
    // The same, copying by hand where the kernel cannot: the bytes copied or -1.
    long CopyAllTo(AImportFile& to, unsigned long count);
    long Seek(long offset, int origin);
    long SeekToBegin() { return Seek(0, 0); }
    long GetPosition();
    long GetLength();
    int Sync();
    void StartWriteBack();
    void Close();
    bool IsOpen() const { return file != nullptr; }

private:
    [[maybe_unused]] void* stream = nullptr;  // a host stream; never set by this module
    aiexport_platform::FileHandle* file = nullptr;
};
