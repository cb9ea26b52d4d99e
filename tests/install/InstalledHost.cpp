// A host built apart from the module, from the installed headers alone, with
// every check of the sanitizers on: each call goes through AHostExportFilter*.
#include "host/AHostExportFilter.h"
#include "host/Opcodes.h"

int main(int argc, char** argv)
{
    AHostExportFilter* filter = getFilter();
    if (argc != 2 || filter == nullptr || filter->exportFile(argv[1]) != 1)
        return 2;
    BeginPictureData picture{0, 0, 0, 2, 2};
    BeginDrawingSectionData section{2, 2};
    MoveToData from{0.5, 0.5};
    LineToData to{1.5, 1.5};
    const bool drawn = filter->writeData(aiop::kBeginPicture, &picture) == 1 &&
                       filter->writeData(aiop::kBeginDrawingSection, &section) == 1 &&
                       filter->writeData(aiop::kBeginPath, nullptr) == 1 &&
                       filter->writeData(aiop::kMoveTo, &from) == 1 &&
                       filter->writeData(aiop::kLineTo, &to) == 1 &&
                       filter->writeData(aiop::kEndPath, nullptr) == 1;
    return drawn && filter->writeData(aiop::kEndPicture, nullptr) == 1 ? 0 : 3;
}
