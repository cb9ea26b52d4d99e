// AImportFile over the platform's file descriptors.
#include "output/AImportFile.h"

#include <new>

#include "platform/Platform.h"

namespace plat = aiexport_platform;

int AImportFile::Open(const char* path, unsigned int mode)
{
    Close();
    const int fd = plat::OpenFile(path, mode);
    if (fd < 0)
        return 0;
    return Attach(fd);
}

int AImportFile::Attach(int descriptor)
{
    Close();
    if (descriptor < 0)
        return 0;
    file = new (std::nothrow) plat::FileHandle(descriptor);
    if (file == nullptr) {
        plat::CloseFile(descriptor);
        return 0;
    }
    return 1;
}

long AImportFile::Read(void* buffer, unsigned long count)
{
    if (file == nullptr)
        return -1;
    return plat::ReadFile(file->fd, buffer, count);
}

long AImportFile::Write(const void* buffer, unsigned long count)
{
    if (file == nullptr)
        return -1;
    return plat::WriteFile(file->fd, buffer, count);
}

long AImportFile::CopyTo(AImportFile& to, unsigned long count)
{
    if (file == nullptr || to.file == nullptr)
        return -1;
    return plat::CopyFileData(file->fd, to.file->fd, count);
}

long AImportFile::CopyAllTo(AImportFile& to, unsigned long count)
{
    const long copied = CopyTo(to, count);
    if (copied != plat::kCopyUnsupported)
        return copied;
    return plat::CopyFileDataByHand(file->fd, to.file->fd, count);
}

long AImportFile::Seek(long offset, int origin)
{
    if (file == nullptr)
        return -1;
    return plat::SeekFile(file->fd, offset, origin);
}

long AImportFile::GetPosition()
{
    if (file == nullptr)
        return -1;
    return plat::SeekFile(file->fd, 0, 1);
}

long AImportFile::GetLength()
{
    if (file == nullptr)
        return 0;
    return plat::FileLength(file->fd);
}

void AImportFile::StartWriteBack()
{
    if (file != nullptr)
        plat::StartWriteBack(file->fd);
}

int AImportFile::Sync()
{
    if (file == nullptr)
        return 0;
    return plat::SyncFile(file->fd);
}

void AImportFile::Close()
{
    if (file == nullptr)
        return;
    plat::CloseFile(file->fd);
    delete file;
    file = nullptr;
}
