// Record 16: the header comments, the prolog and the opening of the setup.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "filter/AAIExportFilter.h"
#include "platform/Platform.h"

namespace plat = aiexport_platform;

namespace {

const char* const kProlog =
    "%%BeginProlog\n"
    "%%IncludeResource: procset Adobe_level2_AI5 1.2 0\n"
    "%%IncludeResource: procset Adobe_screens_AI5 1.2 0\n"
    "%%IncludeResource: procset Adobe_typography_AI5 1.0 1\n"
    "%%IncludeResource: procset Adobe_ColorImage_AI6 1.1 0\n"
    "%%IncludeResource: procset Adobe_Illustrator_AI5 1.2 0\n"
    "%%IncludeResource: procset Adobe_blend_AI5 1.0 0\n"
    "%%IncludeResource: procset Adobe_pattern_AI5 1.1 0\n"
    "%%IncludeResource: procset Adobe_cshow 2.0 8\n";

const char* const kSetupOpening =
    "%%BeginSetup\n"
    "Adobe_level2_AI5 /initialize get exec\n"
    "Adobe_cshow /initialize get exec\n"
    "Adobe_screens_AI5 /initialize get exec\n"
    "Adobe_Illustrator_AI5_vars Adobe_Illustrator_AI5 Adobe_typography_AI5 /initialize get exec\n"
    "Adobe_Illustrator_AI5_vars Adobe_Illustrator_AI5 Adobe_blend_AI5 /initialize get exec\n"
    "Adobe_Illustrator_AI5_vars Adobe_Illustrator_AI5 Adobe_pattern_AI5 /initialize get exec\n"
    "Adobe_ColorImage_AI6 /initialize get exec\n"
    "Adobe_Illustrator_AI5 /initialize get exec\n";

}  // namespace

int AAIExportFilter::BeginPicture(BeginPictureData* picture)
{
    if (picture == nullptr)
        return 0;
    InitializeParameters();  // a missing body file makes the flush below fail
    pictureOpen = true;

    const double left = DistanceToPS(picture->left);
    const double bottom = DistanceToPS(picture->bottom);
    const double right = left + DistanceToPS(picture->width);
    const double top = bottom + DistanceToPS(picture->height);
    pictureWidth = DistanceToPS(picture->width);
    pictureHeight = DistanceToPS(picture->height);

    const std::string computer = plat::ComputerName(68);
    const std::time_t now = plat::CreationTime();
    std::tm utc{};
    if (::gmtime_r(&now, &utc) == nullptr)
        std::memset(&utc, 0, sizeof utc);
    char date[64];
    char clock[64];
    std::snprintf(date, sizeof date, "%02d/%02d/%04d", utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_year + 1900);
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", utc.tm_hour, utc.tm_min, utc.tm_sec);

    const std::size_t room =
        4096 + PSStringRoom(computer.size()) + PSStringRoom(sizeof fileName) + 8 * kMaxRealToken;
    if (!EnsureRoom(room))
        return 0;
    bufferLength += AppendStringToBuffer(buffer + bufferLength,
                                         "%!PS-Adobe-3.0\n"
                                         "%%Creator: Adobe Illustrator(TM) 6.0 Export From Ostrel 6.5\n"
                                         "%%For: ");
    bufferLength += StringToPSString(buffer + bufferLength, computer.c_str());
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "() \n%%Title: ");
    bufferLength += StringToPSString(buffer + bufferLength, fileName);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "\n%%CreationDate: ");
    bufferLength += StringToPSString(buffer + bufferLength, date);
    bufferLength += StringToPSString(buffer + bufferLength, clock);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "\n%%BoundingBox: ");
    for (double edge : {left, bottom, right, top})
        bufferLength += IntegerToString(buffer + bufferLength, TruncateToInt(edge));
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "\n%%HiResBoundingBox: ");
    for (double edge : {left, bottom, right, top})
        bufferLength += FloatToString(buffer + bufferLength, edge);
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "\n");

    // The buffer started empty in a new body file: buffer offsets are file offsets.
    commentsEndMark = bufferLength;
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "%%EndComments\n");
    bufferLength += AppendStringToBuffer(buffer + bufferLength, kProlog);
    prologEndMark = bufferLength;
    bufferLength += AppendStringToBuffer(buffer + bufferLength, "%%EndProlog\n");
    bufferLength += AppendStringToBuffer(buffer + bufferLength, kSetupOpening);

    return WriteBufferToExportFile(0);
}
