// The waterfall's geometry in the frequency direction: which FFT bins each
// pixel row shows, how a line of colour values becomes a column of palette
// indices, and where the bar's ticks sit.
//
// Rows count from the lowest frequency (row 0, drawn at the bottom) upwards.
// A row either shows bins start .. end - 1 (a single bin when end is 0) or,
// with start -1, repeats the row below it. Plain functions and values; any
// thread.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace keb
{

struct TFrequencyRow
{
    std::int32_t Start = 0;
    std::int32_t End = 0;
};

using TFrequencyMap = std::vector<TFrequencyRow>;

// The lowest frequency shown: base clamped to 0 .. SR/2 - 1000, lowered
// further when base plus the shown span would pass SR/2.
float ClampFrequencyBase(int sampleRate, float base, float scale);

// Rebuilds map (its size is the row count) for a base already clamped. The
// end of the top row keeps its previous value.
void BuildFrequencyMap(TFrequencyMap& map, int sampleRate, int fftLength, float base, float scale);

// Ticks of the bar: trunc(kHz of half the sample rate x scale), halved while
// fewer than 10 rows fall between two ticks (down to 1).
int SpectrogramTickCount(int sampleRate, float scale, int rows);
// The row (top = 0) of tick k of n.
int SpectrogramTickRow(int k, int tickCount, int rows);

// Turns colour values into a column of palette indices, top row first, with
// the relief memory that Embossed compares successive lines with.
class TMMLineBuilder
{
  public:
    static constexpr int MaxGroups = 2048;

    // Writes map.size() bytes to line (top row first): each group of rows
    // takes the largest value of its bins; with embossed, the value is
    // compared with the previous line one group lower. Values are clamped to
    // 10 .. 245.
    void Build(const std::int32_t* colourValues, const TFrequencyMap& map, bool embossed,
               std::uint8_t* line);

  private:
    std::array<std::int16_t, MaxGroups> embossMemory_{};
};

} // namespace keb
