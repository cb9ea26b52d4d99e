// Test support: whole exports driven through writeData.
#include "support/ExportSession.h"

#include "host/Opcodes.h"
#include "platform/Platform.h"

ExportSession::ExportSession(double width, double height, bool drawingSection, bool assembled)
    : target(dir.File("drawing.ai"))
{
    filter.exportFile(target.data());
    BeginPictureData picture{0, 0.0, 0.0, width, height};
    filter.writeData(aiop::kBeginPicture, &picture);
    if (drawingSection) {
        BeginDrawingSectionData section{width, height};
        if (assembled)
            aiexport_platform::SetFault(aiexport_platform::kFaultUnnamed, 1);
        filter.writeData(aiop::kBeginDrawingSection, &section);
        if (assembled)
            aiexport_platform::SetFault(aiexport_platform::kFaultUnnamed, 0);
    }
}

std::string ExportSession::Drawing()
{
    const std::string all = filter.Written();
    const std::string mark = "%%EndSetup\n";
    const std::size_t at = all.rfind(mark);
    return at == std::string::npos ? all : all.substr(at + mark.size());
}

std::string ExportSession::Finish()
{
    finishResult = filter.writeData(aiop::kEndPicture, nullptr);
    return finishResult == 1 ? ReadFile(target) : std::string();
}

int ExportSession::NextPicture()
{
    Finish();
    filter.exportFile(target.data());
    BeginPictureData picture{0, 0.0, 0.0, 8.5, 11.0};
    return filter.writeData(aiop::kBeginPicture, &picture);
}

int Box(ExportSession& s, double x0, double y0, double x1, double y1)
{
    constexpr double kPoint = 1 / 72.0;  // host units per point
    s.Record(aiop::kBeginPath);
    s.Record(aiop::kMoveTo, MoveToData{x0 * kPoint, y0 * kPoint});
    s.Record(aiop::kLineTo, LineToData{x1 * kPoint, y0 * kPoint});
    s.Record(aiop::kLineTo, LineToData{x1 * kPoint, y1 * kPoint});
    s.Record(aiop::kLineTo, LineToData{x0 * kPoint, y1 * kPoint});
    s.Record(aiop::kClosePath);
    return s.Record(aiop::kEndPath);
}

std::string Between(const std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t a = text.find(from);
    if (a == std::string::npos)
        return std::string();
    const std::size_t b = text.find(to, a);
    if (b == std::string::npos)
        return text.substr(a);
    return text.substr(a, b + to.size() - a);
}
