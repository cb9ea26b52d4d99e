// Links the fuzz input as a TIFF file into a drawing and checks the finished document.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzHost.h"
#include "RecordCatalog.h"
#include "filter/AAIExportFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzHost host;
    host.StartInput();
    host.PutFile("linked.tif", data, size);

    auto filter = std::make_unique<AAIExportFilter>();
    AHostExportFilter* h = filter.get();
    std::string target = host.target;
    if (h->exportFile(target.data()) != 1)
        std::abort();
    BeginPictureData picture{0, 0.0, 0.0, 8.5, 11.0};
    h->writeData(aiop::kBeginPicture, &picture);
    BeginDrawingSectionData section{8.5, 11.0};
    h->writeData(aiop::kBeginDrawingSection, &section);
    auto link = std::make_unique<PathBitmapData>();
    std::memset(link.get(), 0, sizeof *link);
    const std::string path = host.FilesDir() + "/linked.tif";
    std::strncpy(link->filePath, path.c_str(), sizeof link->filePath - 1);
    link->fileType = 1;
    link->placeX = 1.0;
    link->placeY = 2.0;
    link->placeWidth = 3.0;
    link->placeHeight = 1.5;
    link->placeScale = 1.0;
    h->writeData(aiop::kPathBitmap, link.get());
    host.CheckAfterEnd(h->writeData(aiop::kEndPicture, nullptr));
    filter.reset();
    host.CheckNothingLeft();
    return 0;
}
