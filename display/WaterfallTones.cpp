#include "display/WaterfallTones.h"

#include <algorithm>
#include <cmath>

namespace keb
{

namespace
{

struct TRowLevel
{
    double Hertz = 0;
    double Level = 0;
};

// True for a column that the bar covers: the BarWidth columns after the
// newest line.
bool InBar(const TMMWaterfall& waterfall, int column)
{
    const int columns = waterfall.Columns();
    const int after = ((column - waterfall.WriteColumn() - 1) % columns + columns) % columns;
    return after < waterfall.BarWidth();
}

double MeanBrightness(TMMWaterfall& waterfall, int pictureRow)
{
    TMMDIBCanvas& canvas = waterfall.PictureCanvas();
    const std::uint8_t* row = canvas.Bits() + static_cast<std::size_t>(pictureRow) *
                                                  static_cast<std::size_t>(canvas.Stride());
    double sum = 0;
    int counted = 0;
    for (int column = 0; column < waterfall.Columns(); ++column)
    {
        if (InBar(waterfall, column))
            continue;
        sum += std::max(0, row[column] - SpectrogramPaletteBase);
        ++counted;
    }
    return counted > 0 ? sum / counted : 0.0;
}

// One entry per distinct row, lowest frequency first.
std::vector<TRowLevel> RowLevels(TMMWaterfall& waterfall)
{
    std::vector<TRowLevel> levels;
    const TFrequencyMap& map = waterfall.FrequencyMap();
    const int rows = std::min(waterfall.Rows(), static_cast<int>(map.size()));
    const double hertzPerBin = static_cast<double>(waterfall.SampleRate()) / waterfall.FFTLength();
    for (int row = 0; row < rows; ++row)
    {
        const TFrequencyRow& bins = map[static_cast<std::size_t>(row)];
        if (bins.Start < 0)
            continue;
        const double middleBin =
            bins.End > bins.Start ? (bins.Start + bins.End - 1) / 2.0 : bins.Start;
        levels.push_back(
            {middleBin * hertzPerBin, MeanBrightness(waterfall, waterfall.Rows() - 1 - row)});
    }
    return levels;
}

double Median(std::vector<TRowLevel> levels)
{
    const auto middle = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2);
    std::nth_element(levels.begin(), middle, levels.end(),
                     [](const TRowLevel& a, const TRowLevel& b) { return a.Level < b.Level; });
    return middle->Level;
}

// The peak's frequency moved toward its stronger neighbour (a parabola
// through the three levels).
double RefinedHertz(const std::vector<TRowLevel>& levels, std::size_t peak)
{
    const double below = levels[peak - 1].Level;
    const double at = levels[peak].Level;
    const double above = levels[peak + 1].Level;
    const double curve = below - 2 * at + above;
    if (curve >= 0)
        return levels[peak].Hertz;
    const double offset = std::clamp(0.5 * (below - above) / curve, -0.5, 0.5);
    const double spacing = (levels[peak + 1].Hertz - levels[peak - 1].Hertz) / 2;
    return levels[peak].Hertz + offset * spacing;
}

} // namespace

std::vector<int> StrongestTones(TMMWaterfall& waterfall, int count)
{
    if (waterfall.Columns() <= waterfall.BarWidth() ||
        waterfall.PictureCanvas().BitsPerPixel() != 8)
        return {};
    const std::vector<TRowLevel> levels = RowLevels(waterfall);
    if (levels.size() < 3)
        return {};
    const double floor = Median(levels);
    std::vector<TRowLevel> peaks;
    // A peak is a row, or a run of equally bright rows (a tone that fills
    // the palette), brighter than the rows on both sides.
    std::size_t row = 1;
    while (row + 1 < levels.size())
    {
        const double level = levels[row].Level;
        std::size_t last = row;
        while (last + 2 < levels.size() && levels[last + 1].Level == level)
            ++last;
        if (levels[row - 1].Level < level && levels[last + 1].Level < level &&
            level >= floor + ToneMargin)
        {
            const double hertz = row == last ? RefinedHertz(levels, row)
                                             : (levels[row].Hertz + levels[last].Hertz) / 2;
            peaks.push_back({hertz, level});
        }
        row = last + 1;
    }
    std::stable_sort(peaks.begin(), peaks.end(),
                     [](const TRowLevel& a, const TRowLevel& b) { return a.Level > b.Level; });
    std::vector<int> tones;
    std::vector<double> chosen;
    for (const TRowLevel& peak : peaks)
    {
        if (static_cast<int>(tones.size()) == count)
            break;
        const bool skirt =
            std::any_of(chosen.begin(), chosen.end(),
                        [&](double hertz) { return std::abs(hertz - peak.Hertz) < ToneSpacing; });
        if (skirt)
            continue;
        chosen.push_back(peak.Hertz);
        tones.push_back(static_cast<int>(std::lround(peak.Hertz / 10.0)) * 10);
    }
    return tones;
}

std::string DescribeTones(const std::vector<int>& tones)
{
    if (tones.empty())
        return "No tones";
    std::string text = "Strongest tones: ";
    for (std::size_t index = 0; index < tones.size(); ++index)
    {
        if (index > 0)
            text += ", ";
        text += std::to_string(tones[index]) + " Hz";
    }
    return text;
}

} // namespace keb
