// A whole recording's waterfall, drawn as the window's waterfalls draw it:
// 8000 Hz 16-bit mono, FFT length 256, amplitude scale 50, the threshold
// palette, linear magnitudes at sensitivity -90, and 293 pixel rows (the
// window's waterfalls are 301 pixels tall inside a 4-pixel bevel). Each
// complete block of 256 samples gives one line of palette indices, frequency
// upwards; a last incomplete block is left out, as the window waits for a
// whole block.
//
// The picture is at most MaxColumns wide: a recording of more blocks has
// them averaged, each column the mean of the blocks of its share of the
// time (a share may split a block). Memory stays bounded whatever the
// length: the picture keeps at most 2 x MaxColumns partial sums, each of
// the same power-of-two number of blocks, and halves them by adding
// neighbours when they are full.
//
// Feeding allocates nothing once the sums have their full size. Not
// thread-safe.
#pragma once

#include "display/MMSpGramAnalysis.h"
#include "display/MMSpGramMap.h"
#include "display/MMSpGramPalette.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace keb
{

class TWaterfallPicture
{
  public:
    static constexpr int WindowRows = 293;
    static constexpr int SampleRate = 8000; // Hz
    static constexpr int BlockSamples = 256;

    explicit TWaterfallPicture(int maxColumns);

    // The next samples of the recording, in any pieces.
    void Add(std::span<const std::int16_t> samples);

    // min(MaxColumns, Blocks()).
    int Columns() const;
    int Rows() const { return WindowRows; }
    // The complete blocks seen so far; the picture spans their time.
    std::int64_t Blocks() const { return blocks_; }
    // Palette index of column x, row y (row 0 at the top: the highest
    // frequency), rounded from the mean of the column's blocks.
    std::uint8_t Pixel(int x, int y) const;
    const TLogPalette& Palette() const { return palette_; }
    // Samples that reached full scale.
    std::int64_t Overflows() const { return overflows_; }

  private:
    void AddColumn();
    void HalveSums();

    int maxColumns_;
    TMMSpectrogramAnalysis analysis_;
    TFrequencyMap map_;
    TMMLineBuilder lineBuilder_;
    TLogPalette palette_;
    std::vector<std::int16_t> block_;
    std::size_t blockFill_ = 0;
    std::array<std::uint8_t, WindowRows> line_{};
    // Sums of palette indices, column after column, top row first; each
    // column holds span_ blocks, the last one up to span_.
    std::vector<std::uint32_t> sums_;
    std::int64_t span_ = 1;
    std::int64_t blocks_ = 0;
    std::int64_t overflows_ = 0;
};

} // namespace keb
