#include "settings/Presets.h"

namespace keb
{
namespace
{

// All bands closed but first .. last (inclusive).
TBandPositions OpenRange(int first, int last)
{
    TBandPositions positions{};
    for (int band = 0; band < BandCount; ++band)
        positions[band] = (band >= first && band <= last) ? BandOpen : BandClosed;
    return positions;
}

} // namespace

std::optional<TPreset> PresetNamed(std::string_view name)
{
    if (name == "0.2")
        return TPreset::pr02;
    if (name == "0.4")
        return TPreset::pr04;
    if (name == "1.8")
        return TPreset::pr18;
    if (name == "2.6")
        return TPreset::pr26;
    return std::nullopt;
}

std::optional<TBandPositions> PresetPositions(TPreset preset, int v)
{
    switch (preset)
    {
    case TPreset::pr02:
        if (v < 0 || v > BandCount)
            return std::nullopt;
        return OpenRange(v, v);
    case TPreset::pr04:
        if (v < 0 || v >= BandCount)
            return std::nullopt;
        return v == 0 ? OpenRange(0, 0) : OpenRange(v - 1, v);
    case TPreset::pr18:
        if (v < 0 || v > 11)
            return std::nullopt;
        return OpenRange(v, v + 8);
    case TPreset::pr26:
        return OpenRange(1, 12);
    }
    return std::nullopt;
}

std::optional<int> PresetWheelMaximum(TPreset preset)
{
    switch (preset)
    {
    case TPreset::pr02:
        return 20;
    case TPreset::pr04:
        return 19;
    case TPreset::pr18:
        return 12;
    case TPreset::pr26:
        return std::nullopt;
    }
    return std::nullopt;
}

TBandPositions FlatPositions()
{
    TBandPositions positions{};
    positions.fill(BandOpen);
    return positions;
}

} // namespace keb
