#include "display/MMSpGramMap.h"

#include "display/MMSpGramAnalysis.h"
#include "stream/MMUtils.h"

#include <algorithm>
#include <cmath>

namespace keb
{

float ClampFrequencyBase(int sampleRate, float base, float scale)
{
    const float half = sampleRate / 2.0f;
    base = Clamp(base, 0.0f, half - 1000.0f);
    const float span = (half - scale * base) / scale;
    if (base + span > half)
        base = half - span - 1000.0f;
    return base;
}

void BuildFrequencyMap(TFrequencyMap& map, int sampleRate, int fftLength, float base, float scale)
{
    const int rows = static_cast<int>(map.size());
    const int bins = fftLength / 2;
    const float f0 = base / static_cast<float>(sampleRate) * static_cast<float>(fftLength);
    const double stretch = (bins - double(scale) * f0) / scale;
    for (int i = 0; i < rows; ++i)
    {
        const double start = std::floor(0.01 + f0 + double(i) / rows * stretch);
        map[i].Start = Clamp(static_cast<std::int32_t>(start), 0, bins - 1);
        if (i > 0)
            map[i - 1].End = map[i].Start;
    }
    for (TFrequencyRow& row : map)
        if (row.End <= row.Start + 1)
            row.End = 0;
    for (int i = rows - 1; i >= 1; --i)
        if (map[i].Start == map[i - 1].Start)
            map[i] = {-1, 0};
}

int SpectrogramTickCount(int sampleRate, float scale, int rows)
{
    int count = static_cast<int>(sampleRate * 0.5 * 0.001 * scale);
    count = std::max(count, 1);
    while (rows / count < 10 && count > 1)
        count /= 2;
    return count;
}

int SpectrogramTickRow(int k, int tickCount, int rows)
{
    return rows - k * (rows - 1) / tickCount - 1;
}

void TMMLineBuilder::Build(const std::int32_t* colourValues, const TFrequencyMap& map,
                           bool embossed, std::uint8_t* line)
{
    const int rows = static_cast<int>(map.size());
    int group = 0;
    std::int32_t previousRaw = SpectrogramPaletteBase;
    auto finishGroup = [&](int firstRow, int endRow)
    {
        const TFrequencyRow& bins = map[firstRow];
        const std::int32_t* first = colourValues + bins.Start;
        const std::int32_t raw =
            bins.End == 0 ? *first : *std::max_element(first, colourValues + bins.End);
        std::int32_t value = raw;
        if (embossed && group < MaxGroups)
        {
            value = embossMemory_[group] - raw + 118;
            embossMemory_[group] = static_cast<std::int16_t>(previousRaw);
        }
        previousRaw = raw;
        ++group;
        value = Clamp(value, SpectrogramPaletteBase,
                      SpectrogramPaletteBase + SpectrogramPaletteSize - 1);
        // Row 0 is the last byte, so that it ends at the bottom of the column.
        for (int row = firstRow; row < endRow; ++row)
            line[rows - 1 - row] = static_cast<std::uint8_t>(value);
    };
    int groupStart = 0;
    // The top row never opens a group: it repeats the group below it.
    for (int row = 1; row < rows - 1; ++row)
    {
        if (map[row].Start == -1)
            continue;
        finishGroup(groupStart, row);
        groupStart = row;
    }
    if (rows > 0)
        finishGroup(groupStart, rows);
}

} // namespace keb
