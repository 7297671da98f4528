// The waterfall's colour schemes as logical palettes: entries 10 .. 245 run
// through the scheme, every other entry is black (the DIB canvas keeps its
// static colours there). Plain functions; any thread.
#pragma once

#include "display/MMDIBCv.h"

namespace keb
{

enum TMMSpectrogramPalette
{
    spHSV,
    spThreshold,
    spBlackWhite,
    spWhiteBlack,
    spBone,
    spCopper,
    spCool,
    spHot
};

// A 256-entry logical palette of version 0x300 for the scheme.
TLogPalette BuildSpectrogramPalette(TMMSpectrogramPalette scheme);

// The colour of palette index 10 .. 245 in the scheme; e is
// ((index - 10) x 256) div 236, 0 .. 254.
TPaletteEntry SpectrogramColor(TMMSpectrogramPalette scheme, int e);

} // namespace keb
