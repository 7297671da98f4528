// A whole recording's waterfall, drawn as the window's waterfalls draw it:
// 8000 Hz 16-bit mono, FFT length 256, amplitude scale 50, the threshold
// palette, linear magnitudes at sensitivity -90, and 293 pixel rows (the
// window's waterfalls are 301 pixels tall inside a 4-pixel bevel). Each
// complete block of 256 samples becomes one column, frequency upwards, time
// from left to right; a last incomplete block is left out, as the window
// waits for a whole block.
//
// Feeding allocates only the new column. Not thread-safe.
#pragma once

#include "display/MMSpGramAnalysis.h"
#include "display/MMSpGramMap.h"
#include "display/MMSpGramPalette.h"

#include <cstdint>
#include <span>
#include <vector>

namespace keb
{

class TWaterfallPicture
{
  public:
    static constexpr int WindowRows = 293;

    TWaterfallPicture();

    // The next samples of the recording, in any pieces.
    void Add(std::span<const std::int16_t> samples);

    int Columns() const { return static_cast<int>(pixels_.size()) / WindowRows; }
    int Rows() const { return WindowRows; }
    // Palette index of column x, row y (row 0 at the top: the highest frequency).
    std::uint8_t Pixel(int x, int y) const
    {
        return pixels_[static_cast<std::size_t>(x) * WindowRows + y];
    }
    const TLogPalette& Palette() const { return palette_; }
    // Samples that reached full scale.
    std::int64_t Overflows() const { return overflows_; }

  private:
    void AddColumn();

    TMMSpectrogramAnalysis analysis_;
    TFrequencyMap map_;
    TMMLineBuilder lineBuilder_;
    TLogPalette palette_;
    std::vector<std::int16_t> block_;
    std::size_t blockFill_ = 0;
    std::vector<std::uint8_t> pixels_; // column after column, top row first
    std::int64_t overflows_ = 0;
};

} // namespace keb
