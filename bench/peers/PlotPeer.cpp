// Peer writer: the benchmark drawing through libplot's Illustrator driver.
// plot.h uses FILE without including its header.
#include <cstdio>

#include <plot.h>

#include <chrono>
#include <cstdlib>
#include <unistd.h>

#include "../Drawing.h"

namespace {

int Wide(unsigned component) { return static_cast<int>(component * 257); }  // 0..65535

struct PlotSink {
    plPlotter* plotter;
    double cx = 0, cy = 0;
    void Path(bench::Rgb fill, bench::Rgb stroke)
    {
        pl_fillcolor_r(plotter, Wide(fill.red), Wide(fill.green), Wide(fill.blue));
        pl_pencolor_r(plotter, Wide(stroke.red), Wide(stroke.green), Wide(stroke.blue));
    }
    void Move(double x, double y)
    {
        pl_fmove_r(plotter, x, y);
        cx = x;
        cy = y;
    }
    void Line(double x, double y)
    {
        pl_fcont_r(plotter, x, y);
        cx = x;
        cy = y;
    }
    void Curve(double x1, double y1, double x2, double y2, double x3, double y3)
    {
        // Starting at the current point, the curve continues the path.
        pl_fbezier3_r(plotter, cx, cy, x1, y1, x2, y2, x3, y3);
        cx = x3;
        cy = y3;
    }
    void End() { pl_endpath_r(plotter); }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: peer_libplot OUT PATHS SEGMENTS\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr)
        return 1;
    plPlotterParams* params = pl_newplparams();
    plPlotter* plotter = pl_newpl_r("ai", nullptr, out, stderr, params);
    if (plotter == nullptr || pl_openpl_r(plotter) < 0)
        return 1;
    pl_fspace_r(plotter, 0.0, 0.0, bench::kSpace, bench::kSpace);
    pl_filltype_r(plotter, 1);
    pl_flinewidth_r(plotter, 1.0);
    PlotSink sink{plotter};
    bench::Generate(sink, std::atol(argv[2]), std::atol(argv[3]));
    pl_closepl_r(plotter);
    pl_deletepl_r(plotter);
    pl_deleteplparams(params);
    // On disk before it counts as written, as the module's file is; a run
    // with fsync preloaded as a no-op compares the two without.
    if (std::fflush(out) != 0 || ::fdatasync(::fileno(out)) != 0 || std::fclose(out) != 0)
        return 1;
    std::printf("%.6f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
