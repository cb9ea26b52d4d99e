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

// The finished file's disk work overlaps the writing of the body in pieces
// of this size, instead of all of it waiting for the sync at the end.
constexpr unsigned long kWriteBackEvery = 8ul << 20;

}  // namespace

int AAIExportFilter::EndPicture()
{
    if (bodyLost)
        return 0;
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
    if (bodyInTarget) {
        // The head written at the drawing section stands when the end would
        // write the same; else the file is assembled anew from the body.
        TargetRecording head;
        if (RecordHead(head) && head == headWritten)
            return CommitTarget();
        if (!ReturnBodyToTemp())
            return 0;
    }
    if (!GenerateLastExport())
        return 0;
    return CommitTarget();
}

int AAIExportFilter::RecordHead(TargetRecording& head)
{
    // Enough for every head but one of gradients with tens of thousands of
    // stops; such a head is written at the end only.
    constexpr std::size_t kMaxRecordedHead = std::size_t{1} << 20;
    if (output.Length() != 0)
        return 0;
    const int itemOpened = patternItemOpened;
    output.RecordTarget(&head, kMaxRecordedHead);
    const int recorded = GenerateHead();
    output.RecordTarget(nullptr);
    patternItemOpened = itemOpened;
    output.Clear();
    return recorded;
}

void AAIExportFilter::WriteHeadBeforeBody()
{
    if (bodyInTarget || targetPath.empty())
        return;
    // Only a file without a name takes the body early: a killed host must
    // not leave a named one behind.
    if (!RecordHead(headWritten) || !OpenTargetSibling(true)) {
        headWritten = TargetRecording{};
        return;
    }
    if (tempFile.SeekToBegin() == 0 && output.WriteRecording(headWritten)) {
        headLength = headWritten.text.size();
        for (const auto& copy : headWritten.copies)
            headLength += copy.second;
        bodyBase = setupEndMark;
        bodyInTarget = true;
        output.SetBody(targetFile, kWriteBackEvery);
        return;
    }
    // The body stays in the temporary file, at its end.
    headWritten = TargetRecording{};
    ReleaseTarget();
    output.Clear();
    if (tempFile.Seek(0, 2) < 0)
        bodyLost = true;
}

int AAIExportFilter::ReturnBodyToTemp()
{
    if (!bodyInTarget)
        return 1;
    bodyInTarget = false;
    output.SetBody(tempFile);
    const long length = targetFile.GetLength();
    const auto head = static_cast<long>(headLength);
    if (length < head || targetFile.Seek(head, 0) != head || tempFile.Seek(0, 2) < 0) {
        bodyLost = true;
        return 0;
    }
    const auto count = static_cast<unsigned long>(length - head);
    if (targetFile.CopyAllTo(tempFile, count) != static_cast<long>(count)) {
        bodyLost = true;
        return 0;
    }
    return 1;
}

long AAIExportFilter::BodyPosition()
{
    if (!bodyInTarget)
        return tempFile.GetPosition();
    const long at = targetFile.GetPosition();
    if (at < 0 || static_cast<unsigned long long>(at) < headLength)
        return -1;
    return static_cast<long>(static_cast<unsigned long long>(at) - headLength + bodyBase);
}

int AAIExportFilter::OpenTargetSibling(bool unnamedOnly)
{
    ReleaseTarget();
    if (targetPath.empty())
        return 0;
    const std::string destination = plat::ResolveTarget(targetPath);
    const std::string directory = plat::DirectoryOf(destination);
    int fd = plat::CreateUnnamedFile(directory, 0666);
    const bool unnamed = fd >= 0;
    if (fd == plat::kUnnamedUnsupported && !unnamedOnly) {
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
    if (!GenerateHead())
        return 0;
    const long length = tempFile.GetLength();
    const long at = tempFile.GetPosition();
    if (at < 0 || length < at)
        return 0;
    return output.CopyTempToExport(static_cast<unsigned long long>(length - at));
}

int AAIExportFilter::GenerateHead()
{
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
    return gradientTable[0].name[0] == '\0' || ExportGradientDefinition();
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
