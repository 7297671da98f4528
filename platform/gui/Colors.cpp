#include "platform/gui/Colors.h"

#include <array>

namespace keb
{

namespace
{

// The classic grey desktop scheme, indexed like the system colour values.
constexpr std::array<TColor, 25> SystemColors = {
    0xC0C0C0, // scroll bar
    0x808000, // desktop
    0x800000, // active caption
    0x808080, // inactive caption
    0xC0C0C0, // menu
    0xFFFFFF, // window
    0x000000, // window frame
    0x000000, // menu text
    0x000000, // window text
    0xFFFFFF, // caption text
    0xC0C0C0, // active border
    0xC0C0C0, // inactive border
    0x808080, // application work space
    0x800000, // highlight
    0xFFFFFF, // highlight text
    0xC0C0C0, // button face
    0x808080, // button shadow
    0x808080, // grey text
    0x000000, // button text
    0xC0C0C0, // inactive caption text
    0xFFFFFF, // button highlight
    0x000000, // 3-D dark shadow
    0xC0C0C0, // 3-D light
    0x000000, // tool-tip text
    0xE1FFFF, // tool-tip background
};

} // namespace

TColor ColorToRGB(TColor color)
{
    if ((color & SystemColorFlag) == 0)
        return color & 0xFFFFFF;
    const TColor index = color & ~SystemColorFlag;
    return index < SystemColors.size() ? SystemColors[index] : clBlack;
}

QColor ToQColor(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

TColor FromQRgb(QRgb rgb)
{
    return TColor(qRed(rgb)) | TColor(qGreen(rgb)) << 8 | TColor(qBlue(rgb)) << 16;
}

} // namespace keb
