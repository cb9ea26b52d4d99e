// Peer writer: the benchmark drawing through cairo's PostScript surface.
#include <cairo-ps.h>
#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "../Drawing.h"

namespace {

struct CairoSink {
    cairo_t* cr;
    bench::Rgb fill{}, stroke{};
    void Path(bench::Rgb f, bench::Rgb s)
    {
        fill = f;
        stroke = s;
        cairo_new_path(cr);
    }
    void Move(double x, double y) { cairo_move_to(cr, x, bench::kSpace - y); }
    void Line(double x, double y) { cairo_line_to(cr, x, bench::kSpace - y); }
    void Curve(double x1, double y1, double x2, double y2, double x3, double y3)
    {
        cairo_curve_to(cr, x1, bench::kSpace - y1, x2, bench::kSpace - y2, x3, bench::kSpace - y3);
    }
    void End()
    {
        cairo_set_source_rgb(cr, fill.red / 255.0, fill.green / 255.0, fill.blue / 255.0);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, stroke.red / 255.0, stroke.green / 255.0, stroke.blue / 255.0);
        cairo_stroke(cr);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: peer_cairo OUT PATHS SEGMENTS\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    cairo_surface_t* surface = cairo_ps_surface_create(argv[1], bench::kSpace, bench::kSpace);
    cairo_t* cr = cairo_create(surface);
    cairo_set_line_width(cr, 1.0);
    CairoSink sink{cr};
    bench::Generate(sink, std::atol(argv[2]), std::atol(argv[3]));
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok)
        return 1;
    std::printf("%.6f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
