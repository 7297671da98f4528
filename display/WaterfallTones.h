// The strongest tones a waterfall's picture shows, for words instead of
// colours (a screen reader's description of the waterfall).
//
// Each distinct pixel row (one frequency) gets the mean brightness of its
// pixels over the picture's columns, leaving out the columns of the bar; the
// brightness is the palette index above the lowest one the waterfall draws
// with. A tone is a row (or a run of equally bright rows) brighter than the
// rows on both sides that stands at least ToneMargin above the median row. The strongest come
// first; a weaker peak within ToneSpacing Hz of a stronger one is the stronger one's skirt and is
// left out. Frequencies are refined between the neighbouring rows and
// rounded to 10 Hz. Runs in the waterfall's thread (the GUI thread).
#pragma once

#include "display/MMSpGramWaterfall.h"

#include <string>
#include <vector>

namespace keb
{

constexpr double ToneMargin = 20.0;
constexpr double ToneSpacing = 100.0;

// At most count tone frequencies in Hz, strongest first.
std::vector<int> StrongestTones(TMMWaterfall& waterfall, int count);

// "Strongest tones: 700 Hz, 1500 Hz", or "No tones" for none.
std::string DescribeTones(const std::vector<int>& tones);

} // namespace keb
