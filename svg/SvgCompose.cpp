// Colour arithmetic: the separable blend functions and source-over.
#include "SvgCompose.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace svgreader {

bool ParseBlendMode(std::string_view text, BlendMode& mode)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const struct {
        const char* name;
        BlendMode mode;
    } kModes[] = {
        {"normal", BlendMode::kNormal},          {"multiply", BlendMode::kMultiply},
        {"screen", BlendMode::kScreen},          {"overlay", BlendMode::kOverlay},
        {"darken", BlendMode::kDarken},          {"lighten", BlendMode::kLighten},
        {"color-dodge", BlendMode::kColorDodge}, {"color-burn", BlendMode::kColorBurn},
        {"hard-light", BlendMode::kHardLight},   {"soft-light", BlendMode::kSoftLight},
        {"difference", BlendMode::kDifference},  {"exclusion", BlendMode::kExclusion},
    };
    for (const auto& m : kModes)
        if (lower == m.name) {
            mode = m.mode;
            return true;
        }
    return false;
}

namespace {

double HardLight(double cb, double cs)
{
    return cs <= 0.5 ? cb * 2 * cs : cb + (2 * cs - 1) - cb * (2 * cs - 1);
}

}  // namespace

double BlendChannel(BlendMode mode, double cb, double cs)
{
    switch (mode) {
    case BlendMode::kNormal: return cs;
    case BlendMode::kMultiply: return cb * cs;
    case BlendMode::kScreen: return cb + cs - cb * cs;
    case BlendMode::kOverlay: return HardLight(cs, cb);
    case BlendMode::kDarken: return std::min(cb, cs);
    case BlendMode::kLighten: return std::max(cb, cs);
    case BlendMode::kColorDodge:
        if (cb <= 0)
            return 0;
        return cs >= 1 ? 1 : std::min(1.0, cb / (1 - cs));
    case BlendMode::kColorBurn:
        if (cb >= 1)
            return 1;
        return cs <= 0 ? 0 : 1 - std::min(1.0, (1 - cb) / cs);
    case BlendMode::kHardLight: return HardLight(cb, cs);
    case BlendMode::kSoftLight: {
        if (cs <= 0.5)
            return cb - (1 - 2 * cs) * cb * (1 - cb);
        const double d = cb <= 0.25 ? ((16 * cb - 12) * cb + 4) * cb : std::sqrt(cb);
        return cb + (2 * cs - 1) * (d - cb);
    }
    case BlendMode::kDifference: return std::fabs(cb - cs);
    case BlendMode::kExclusion: return cb + cs - 2 * cb * cs;
    }
    return cs;
}

Rgb Compose(Rgb backdrop, Rgb source, double alpha, BlendMode mode)
{
    alpha = std::clamp(alpha, 0.0, 1.0);
    auto channel = [&](std::uint8_t b, std::uint8_t s) {
        const double cb = b / 255.0, cs = s / 255.0;
        const double v = (1 - alpha) * cb + alpha * BlendChannel(mode, cb, cs);
        return static_cast<std::uint8_t>(std::clamp(std::floor(v * 255 + 0.5), 0.0, 255.0));
    };
    return {channel(backdrop.r, source.r), channel(backdrop.g, source.g),
            channel(backdrop.b, source.b)};
}

Rgb OverPaper(Rgb source, double alpha)
{
    return Compose({255, 255, 255}, source, alpha, BlendMode::kNormal);
}

bool AffineInBackdrop(BlendMode mode)
{
    return mode == BlendMode::kNormal || mode == BlendMode::kMultiply ||
           mode == BlendMode::kScreen || mode == BlendMode::kExclusion;
}

}  // namespace svgreader
