// Record 17: the trailer, and the target assembled from the body file.
#include <cstring>

#include "filter/AAIExportFilter.h"
#include "platform/Platform.h"

namespace plat = aiexport_platform;

namespace {

constexpr char kTrailer[] = "%%PageTrailer\n"
                            "gsave annotatepage grestore showpage\n"
                            "%%Trailer\n"
                            "Adobe_Illustrator_AI5 /terminate get exec\n"
                            "Adobe_ColorImage_AI6 /terminate get exec\n"
                            "Adobe_pattern_AI5 /terminate get exec\n"
                            "Adobe_blend_AI5 /terminate get exec\n"
                            "Adobe_typography_AI5 /terminate get exec\n"
                            "Adobe_screens_AI5 /terminate get exec\n"
                            "Adobe_cshow /terminate get exec\n"
                            "Adobe_level2_AI5 /terminate get exec\n"
                            "%%EOF\n";

}  // namespace

int AAIExportFilter::EndPicture()
{
    // A picture whose brackets cannot all be closed is not complete.
    if (!CloseOpenBrackets())
        return 0;
    if (pictureOpen && !setupClosed && !CloseSetup())
        return 0;
    if (!output.WriteBufferToExportFile(0))
        return 0;
    if (!output.Write(kTrailer))
        return 0;
    if (!output.WriteBufferToExportFile(0))
        return 0;
    if (!GenerateLastExport())
        return 0;
    return CommitTarget();
}

int AAIExportFilter::OpenTargetSibling()
{
    ReleaseTarget();
    if (targetPath.empty())
        return 0;
    const std::string destination = plat::ResolveTarget(targetPath);
    const std::string directory = plat::DirectoryOf(destination);
    int fd = plat::CreateUnnamedFile(directory, 0666);
    const bool unnamed = fd >= 0;
    if (fd == plat::kUnnamedUnsupported) {
        std::string created;
        fd = plat::CreateUniqueFile(directory, std::string(".") + fileName, created, 0666);
        if (fd >= 0)
            siblingPath = created;
    }
    if (fd < 0)
        return 0;
    plat::CopyOwnership(fd, destination.c_str());
    if (!targetFile.Attach(fd))
        return 0;
    if (unnamed)
        unnamedTarget = fd;
    return 1;
}

int AAIExportFilter::CommitTarget()
{
    if (siblingPath.empty() && unnamedTarget < 0)
        return 0;
    const std::string destination = plat::ResolveTarget(targetPath);
    if (!targetFile.Sync())
        return 0;
    if (unnamedTarget >= 0) {
        const int linked =
            plat::LinkUnnamedFile(unnamedTarget, destination, std::string(".") + fileName);
        ReleaseTarget();
        return linked;
    }
    targetFile.Close();
    if (!plat::RenameFile(siblingPath.c_str(), destination.c_str()))
        return 0;  // the reset removes the sibling; the old file stays
    siblingPath.clear();
    return 1;
}

int AAIExportFilter::GenerateLastExport()
{
    if (!OpenTargetSibling())
        return 0;
    if (tempFile.SeekToBegin() != 0 || targetFile.SeekToBegin() != 0)
        return 0;
    output.Clear();
    if (!output.CopyTempToExport(commentsEndMark))
        return 0;
    if (!ExportPresetting())
        return 0;
    if (prologEndMark < commentsEndMark ||
        !output.CopyTempToExport(prologEndMark - commentsEndMark))
        return 0;
    unsigned long long position = prologEndMark;
    if (!ExportPatternDefinition(position))
        return 0;
    if (setupEndMark < position || !output.CopyTempToExport(setupEndMark - position))
        return 0;
    if (gradientTable[0].name[0] != '\0' && !ExportGradientDefinition())
        return 0;
    const long length = tempFile.GetLength();
    const long at = tempFile.GetPosition();
    if (at < 0 || length < at)
        return 0;
    return output.CopyTempToExport(static_cast<unsigned long long>(length - at));
}

int AAIExportFilter::ExportPresetting()
{
    if (!output.WriteBufferToExportFile(1))
        return 0;
    if (!output.Write("%AI5_FileFormat 2.0\n"
                      "%AI3_ColorUsage: Color\n"
                      "%AI5_ArtSize: ",
                      token::Integer{TruncateToInt(artWidth)},
                      token::Integer{TruncateToInt(artHeight)}, "\n%AI5_RulerUnits: 0\n"))
        return 0;
    return output.WriteBufferToExportFile(1);
}
