// Record 16: the header comments, the prolog and the opening of the setup.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "filter/AAIExportFilter.h"
#include "platform/Platform.h"

namespace plat = aiexport_platform;

namespace {

constexpr char kProlog[] = "%%BeginProlog\n"
                           "%%IncludeResource: procset Adobe_level2_AI5 1.2 0\n"
                           "%%IncludeResource: procset Adobe_screens_AI5 1.2 0\n"
                           "%%IncludeResource: procset Adobe_typography_AI5 1.0 1\n"
                           "%%IncludeResource: procset Adobe_ColorImage_AI6 1.1 0\n"
                           "%%IncludeResource: procset Adobe_Illustrator_AI5 1.2 0\n"
                           "%%IncludeResource: procset Adobe_blend_AI5 1.0 0\n"
                           "%%IncludeResource: procset Adobe_pattern_AI5 1.1 0\n"
                           "%%IncludeResource: procset Adobe_cshow 2.0 8\n";

constexpr char kSetupOpening[] =
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

    const double box[4] = {left, bottom, right, top};
    if (!output.Write("%!PS-Adobe-3.0\n"
                      "%%Creator: Adobe Illustrator(TM) 6.0 Export From Ostrel 6.5\n"
                      "%%For: ",
                      token::String(computer.c_str()), "() \n%%Title: ", token::String(fileName),
                      "\n%%CreationDate: ", token::String(date), token::String(clock),
                      "\n%%BoundingBox: "))
        return 0;
    for (double edge : box) {
        if (!output.Write(token::Integer{TruncateToInt(edge)}))
            return 0;
    }
    if (!output.Write("\n%%HiResBoundingBox: ", token::Reals{box, 4}, "\n"))
        return 0;

    // The buffer started empty in a new body file: buffer offsets are file offsets.
    commentsEndMark = output.Length();
    if (!output.Write("%%EndComments\n", kProlog))
        return 0;
    prologEndMark = output.Length();
    if (!output.Write("%%EndProlog\n", kSetupOpening))
        return 0;

    return output.WriteBufferToExportFile(0);
}
