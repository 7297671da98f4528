// Text for 8-bit pictures: QPainter cannot draw into an Indexed8 image, so a
// text is rendered once into a mask that the pixel routines then copy as
// palette indices (DIBDrawMask). Main thread (fonts are Qt's).
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <vector>

namespace keb
{

struct TTextMask
{
    int Width = 0;
    int Height = 0;
    // Width x Height bytes, row by row; 1 where the text sets a pixel.
    std::vector<std::uint8_t> Bits;
};

// The text in the font, without anti-aliasing, in a mask as wide as the text
// and as tall as the font.
TTextMask RenderTextMask(const QString& text, const QFont& font);

} // namespace keb
