// Whole-export benchmark: loads the built module as a host does and writes one drawing.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Drawing.h"
#include "host/AHostExportFilter.h"
#include "host/Opcodes.h"

namespace {

constexpr double kPointsPerUnit = 72.0;  // the module's unit: one host unit is 72 points

const char* const kUsage =
    "usage: aiexport_export_bench [--module PATH] --out FILE CASE\n"
    "  vector PATHS SEGMENTS   PATHS paths of SEGMENTS segments each\n"
    "  raster MEGABYTES        one RGB image in rows of 30000 bytes\n"
    "  text RUNS               short text runs, 100 to an object\n";

struct Host {
    AHostExportFilter* filter = nullptr;
    long failures = 0;

    void Send(unsigned short opcode, void* payload = nullptr)
    {
        if (filter->writeData(opcode, payload) != 1)
            ++failures;
    }
};

// Feeds the drawing to the module, in host units.
struct ModuleSink {
    Host& host;
    void Path(bench::Rgb fill, bench::Rgb stroke)
    {
        SetColorByValueData f{0, static_cast<std::uint16_t>(fill.red),
                              static_cast<std::uint16_t>(fill.green),
                              static_cast<std::uint16_t>(fill.blue), 0, 0, 0, 0};
        SetColorByValueData s{0, static_cast<std::uint16_t>(stroke.red),
                              static_cast<std::uint16_t>(stroke.green),
                              static_cast<std::uint16_t>(stroke.blue), 0, 0, 0, 0};
        host.Send(aiop::kSetFillColorByValue, &f);
        host.Send(aiop::kSetStrokeColorByValue, &s);
        host.Send(aiop::kBeginPath);
    }
    void Move(double x, double y)
    {
        MoveToData d{x / kPointsPerUnit, y / kPointsPerUnit};
        host.Send(aiop::kMoveTo, &d);
    }
    void Line(double x, double y)
    {
        LineToData d{x / kPointsPerUnit, y / kPointsPerUnit};
        host.Send(aiop::kLineTo, &d);
    }
    void Curve(double x1, double y1, double x2, double y2, double x3, double y3)
    {
        CurveToData d{x1 / kPointsPerUnit, y1 / kPointsPerUnit, x2 / kPointsPerUnit,
                      y2 / kPointsPerUnit, x3 / kPointsPerUnit, y3 / kPointsPerUnit};
        host.Send(aiop::kCurveTo, &d);
    }
    void End() { host.Send(aiop::kEndPath); }
};

void Begin(Host& host)
{
    const double side = bench::kSpace / kPointsPerUnit;
    BeginPictureData picture{0, 0.0, 0.0, side, side};
    BeginDrawingSectionData section{side, side};
    host.Send(aiop::kBeginPicture, &picture);
    host.Send(aiop::kBeginDrawingSection, &section);
}

void Vector(Host& host, long paths, long segments)
{
    unsigned short solid = 1;
    SetStrokeData stroke{0, 1.0 / kPointsPerUnit, 0, 0, 4.0};
    host.Send(aiop::kSetFillType, &solid);
    host.Send(aiop::kSetStroke, &stroke);
    ModuleSink sink{host};
    bench::Generate(sink, paths, segments);
}

void Raster(Host& host, long megabytes)
{
    constexpr int kBytesPerRow = 30000;  // 10000 RGB pixels
    constexpr int kRowsPerRecord = 16;
    const long total = megabytes * 1000000L;
    const int height = static_cast<int>((total + kBytesPerRow - 1) / kBytesPerRow);
    if (height > 32767) {
        std::fprintf(stderr, "raster: at most %ld MB fit 16-bit row numbers\n",
                     32767L * kBytesPerRow / 1000000L);
        std::exit(2);
    }
    // One block of rows reused for every record: the host's pixels are not what is measured.
    std::vector<unsigned char> rows(static_cast<std::size_t>(kBytesPerRow) * kRowsPerRecord);
    bench::Random random(bench::kSeed);
    for (unsigned char& b : rows)
        b = static_cast<unsigned char>(random.Byte());

    SetMatrixData matrix{1000.0 / kPointsPerUnit, 0, 0, 300.0 / kPointsPerUnit, 0, 0};
    BeginBitmapData begin{};
    begin.width = kBytesPerRow / 3;
    begin.height = static_cast<std::int16_t>(height);
    begin.bytesPerRow = kBytesPerRow;
    begin.bitDepth = 8;
    begin.colorModel = 3;
    host.Send(aiop::kSetMatrix, &matrix);
    host.Send(aiop::kBeginBitmap, &begin);
    for (int first = 0; first < height; first += kRowsPerRecord) {
        const int last = first + kRowsPerRecord - 1 < height ? first + kRowsPerRecord - 1 : height - 1;
        BitmapData data{static_cast<std::int16_t>(first), static_cast<std::int16_t>(last),
                        rows.data()};
        host.Send(aiop::kBitmap, &data);
    }
    host.Send(aiop::kEndBitmap);
}

void Text(Host& host, long runs)
{
    constexpr long kRunsPerObject = 100;
    static const char* const kWords[] = {"Lorem ", "ipsum ", "dolor ", "sit ", "amet, ",
                                         "consectetur ", "adipiscing ", "elit (", "sed) ",
                                         "do\\ "};
    unsigned short type = 0;
    long written = 0;
    for (long object = 0; written < runs; ++object) {
        SetTextMatrixData matrix{1, 0, 0, 1, static_cast<double>(object % 100) / 10.0,
                                 static_cast<double>(object / 100 % 100) / 10.0};
        host.Send(aiop::kBeginText);
        host.Send(aiop::kSetTextType, &type);
        host.Send(aiop::kSetTextMatrix, &matrix);
        for (long r = 0; r < kRunsPerObject && written < runs; ++r, ++written) {
            _TextData text{const_cast<char*>(kWords[written % 10]), 0, 0};
            host.Send(aiop::kText, &text);
            // A scale change ends the run without an operator of its own.
            SetTextScaleData scale{1.0 + static_cast<double>(r & 1), 1.0};
            host.Send(aiop::kSetTextScale, &scale);
        }
        host.Send(aiop::kEndText);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string module = AIEXPORT_MODULE_PATH;
    std::string out;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--module" && i + 1 < argc)
            module = argv[++i];
        else if (arg == "--out" && i + 1 < argc)
            out = argv[++i];
        else
            rest.push_back(arg);
    }
    const bool vector = rest.size() == 3 && rest[0] == "vector";
    const bool raster = rest.size() == 2 && rest[0] == "raster";
    const bool text = rest.size() == 2 && rest[0] == "text";
    if (out.empty() || !(vector || raster || text)) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", module.c_str(), ::dlerror());
        return 1;
    }
    auto getFilter = reinterpret_cast<AHostExportFilter* (*)()>(::dlsym(handle, "getFilter"));
    Host host;
    host.filter = getFilter != nullptr ? getFilter() : nullptr;
    if (host.filter == nullptr || host.filter->exportFile(out.data()) != 1) {
        std::fprintf(stderr, "cannot export to %s\n", out.c_str());
        return 1;
    }
    Begin(host);
    if (vector)
        Vector(host, std::atol(rest[1].c_str()), std::atol(rest[2].c_str()));
    else if (raster)
        Raster(host, std::atol(rest[1].c_str()));
    else
        Text(host, std::atol(rest[1].c_str()));
    host.Send(aiop::kEndPicture);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (host.failures != 0) {
        std::fprintf(stderr, "%ld records failed\n", host.failures);
        return 1;
    }
    std::printf("%.6f\n", seconds);
    return 0;
}
