// The life of one export: naming the target, the picture reset and teardown.
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "filter/AAIExportFilter.h"
#include "platform/Platform.h"

namespace plat = aiexport_platform;

namespace {

// Can a new file be created beside the target? Tried for real, without a
// name where possible, so that not even a killed host leaves the probe behind.
bool CanCreateIn(const std::string& dir, const char* stem)
{
    std::string probe;
    int fd = plat::CreateUnnamedFile(dir, 0600);
    if (fd == plat::kUnnamedUnsupported)
        fd = plat::CreateUniqueFile(dir, std::string(".") + stem, probe);
    if (fd < 0)
        return false;
    plat::CloseFile(fd);
    if (!probe.empty())
        plat::RemoveFile(probe.c_str());
    return true;
}

// How much of a name fits in limit bytes without cutting through a UTF-8
// character; bytes that are not UTF-8 are cut where the limit falls.
std::size_t KeptLength(const std::string& name, std::size_t limit)
{
    if (name.size() <= limit)
        return name.size();
    const auto continues = [&](std::size_t i) {
        return (static_cast<unsigned char>(name[i]) & 0xC0) == 0x80;
    };
    std::size_t lead = limit;
    while (lead > 0 && limit - lead < 3 && continues(lead))
        --lead;
    return lead < limit && static_cast<unsigned char>(name[lead]) >= 0xC0 ? lead : limit;
}

}  // namespace

int AAIExportFilter::exportFile(char* path)
{
    // Whatever the outcome, the earlier target is given up: a refused call
    // must not leave the previous file to be overwritten by the next picture.
    // A body in it goes back to the temporary file first.
    ReturnBodyToTemp();
    ReleaseTarget();
    targetPath.clear();
    fileName[0] = '\0';
    try {
        if (path == nullptr || path[0] == '\0')
            return 0;
        const std::string target(path);
        const std::size_t start = plat::FileNameStart(target);
        if (start >= target.size())
            return 0;  // a directory, not a file
        const std::string name = target.substr(start);

        struct stat st;
        if (::stat(path, &st) == 0) {
            if (!S_ISREG(st.st_mode))
                return 0;
            // A read-only file stays read-only, even for a privileged host.
            if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path, W_OK) != 0)
                return 0;
        } else if (errno != ENOENT) {
            return 0;
        }
        char stem[sizeof fileName] = {};
        std::memcpy(stem, name.c_str(), KeptLength(name, sizeof stem - 1));
        // A dangling symbolic link is written through, so its destination's
        // directory is the one that must take a new file.
        if (!CanCreateIn(plat::DirectoryOf(plat::ResolveTarget(target)), stem))
            return 0;

        targetPath = target;
        std::memcpy(fileName, stem, sizeof fileName);
        return 1;
    } catch (...) {
        targetPath.clear();
        return 0;
    }
}

void AAIExportFilter::ReleaseTarget()
{
    if (bodyInTarget) {
        bodyInTarget = false;
        bodyLost = true;
        output.SetBody(tempFile);
    }
    targetFile.Close();  // an unnamed file goes with its last descriptor
    unnamedTarget = -1;
    if (!siblingPath.empty()) {
        plat::RemoveFile(siblingPath.c_str());
        siblingPath.clear();
    }
}

int AAIExportFilter::InitializeParameters()
{
    // A picture that never reached its end is abandoned here, with its files.
    ReleaseTarget();
    tempFile.Close();
    output.Clear();
    ResetPicture();

    tempPath = plat::TemporaryDirectory();
    if (fileName[0] == '\0')
        return 0;
    std::string created;
    const int fd = plat::CreateUniqueFile(tempPath, fileName, created);
    if (fd < 0)
        return 0;
    tempPath = created;
    // Unlinked at once: the body lives only as long as the open file, so
    // nothing is left behind even when the host never ends the picture.
    plat::RemoveFile(tempPath.c_str());
    return tempFile.Attach(fd);
}

void AAIExportFilter::ResetPicture()
{
    static_cast<PictureState&>(*this) = PictureState{};
    ResetGraphicsState();
    ResetTextState();
    layerDefinitions.Clear();
    layerIndex.Clear();
    brackets.Clear();
    for (SetColorDefData& slot : colorTable)
        slot = SetColorDefData{};
    colorIndex.Clear();
    for (GradientSlot& slot : gradientTable) {
        static_cast<GradientDefinition&>(slot) = GradientDefinition{};
        slot.stops.Clear();
    }
    gradientNames.Clear();
    for (PatternSlot& slot : patternTable)
        slot = PatternSlot{};
    patternIndex.Clear();
    linkedFiles.Clear();
}

int AAIExportFilter::ResetParameters()
{
    FreeGradientStops();
    ReleaseTarget();
    targetPath.clear();
    tempFile.Close();  // unlinked when it was created, so closing deletes it
    pictureOpen = false;
    return 1;
}
