// The benchmark drawing, generated the same way for the module and for the peer writers.
#pragma once

#include <cstdint>

namespace bench {

// splitmix64: tiny, fast and the same on every platform, so every writer
// sees the very same numbers.
class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1), 53 bits.
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Between(double low, double high) { return low + (high - low) * Unit(); }
    unsigned Byte() { return static_cast<unsigned>(Next() >> 56); }

private:
    std::uint64_t state;
};

constexpr double kSpace = 1000.0;  // the drawing is kSpace by kSpace points
constexpr double kBox = 200.0;     // each path keeps to a kBox square
constexpr std::uint64_t kSeed = 20240601;

struct Rgb {
    unsigned red, green, blue;  // 0..255
};

// Walks N paths of M segments each: one move, then segments alternating a
// line and a cubic curve. Coordinates are in points, y upwards.
// The sink has Path(fill, stroke), Move(x, y), Line(x, y),
// Curve(x1, y1, x2, y2, x3, y3) and End().
template <class Sink>
void Generate(Sink& sink, long paths, long segments, std::uint64_t seed = kSeed)
{
    Random random(seed);
    for (long p = 0; p < paths; ++p) {
        const double cx = random.Between(kBox / 2, kSpace - kBox / 2);
        const double cy = random.Between(kBox / 2, kSpace - kBox / 2);
        auto x = [&] { return cx + random.Between(-kBox / 2, kBox / 2); };
        auto y = [&] { return cy + random.Between(-kBox / 2, kBox / 2); };
        const Rgb fill{random.Byte(), random.Byte(), random.Byte()};
        const Rgb stroke{random.Byte(), random.Byte(), random.Byte()};
        sink.Path(fill, stroke);
        {
            const double x0 = x();
            sink.Move(x0, y());
        }
        for (long s = 0; s < segments; ++s) {
            if ((s & 1) == 0) {
                const double x1 = x();
                sink.Line(x1, y());
            } else {
                const double x1 = x();
                const double y1 = y();
                const double x2 = x();
                const double y2 = y();
                const double x3 = x();
                sink.Curve(x1, y1, x2, y2, x3, y());
            }
        }
        sink.End();
    }
}

}  // namespace bench
