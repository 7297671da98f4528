#include "display/MMSpGramPalette.h"

#include "display/MMSpGramAnalysis.h"

namespace keb
{

namespace
{

TPaletteEntry Entry(double red, double green, double blue)
{
    // Every component is truncated to a byte.
    return {static_cast<std::uint8_t>(static_cast<int>(red)),
            static_cast<std::uint8_t>(static_cast<int>(green)),
            static_cast<std::uint8_t>(static_cast<int>(blue)), 0};
}

TPaletteEntry HSV(int e)
{
    if (e < 64)
        return Entry(0, 4 * e, 255);
    if (e < 128)
        return Entry(0, 255, 254 - 4 * (e - 64));
    if (e < 192)
        return Entry(4 * (e - 128) + 2, 255, 0);
    return Entry(255, 252 - 4 * (e - 192), 0);
}

TPaletteEntry Bone(int e)
{
    if (e < 96)
        return Entry(0.88889 * e, 0.88889 * e, 1.2 * e);
    if (e < 192)
        return Entry(0.88889 * e, 1.2 * e - 29, 0.88889 * e + 29);
    return Entry(1.2 * e - 60, 0.88889 * e + 29, 0.88889 * e + 29);
}

TPaletteEntry Hot(int e)
{
    if (e < 96)
        return Entry(2.66667 * e + 0.5, 0, 0);
    if (e < 192)
        return Entry(255, 2.66667 * e - 254, 0);
    return Entry(255, 255, 4 * e - 766);
}

} // namespace

TPaletteEntry SpectrogramColor(TMMSpectrogramPalette scheme, int e)
{
    switch (scheme)
    {
    case spHSV:
        return HSV(e);
    case spThreshold:
        return e < 16 ? Entry(0, 0, 0) : HSV(e);
    case spBlackWhite:
        return Entry(e, e, e);
    case spWhiteBlack:
        return Entry(255 - e, 255 - e, 255 - e);
    case spCool:
        return Entry(e, 255 - e, 255);
    case spBone:
        return Bone(e);
    case spCopper:
        return e < 208 ? Entry(1.23 * e, 0.78 * e, 0.5 * e) : Entry(255, 0.78 * e, 0.5 * e);
    case spHot:
        return Hot(e);
    }
    return {};
}

TLogPalette BuildSpectrogramPalette(TMMSpectrogramPalette scheme)
{
    TLogPalette palette;
    palette.palNumEntries = DIBPaletteSize;
    for (int i = 0; i < SpectrogramPaletteSize; ++i)
        palette.palPalEntry[SpectrogramPaletteBase + i] =
            SpectrogramColor(scheme, i * 256 / SpectrogramPaletteSize);
    return palette;
}

} // namespace keb
