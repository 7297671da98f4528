#include "platform/gui/BitBtn.h"

namespace keb
{

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent) {}

void TBitBtn::SetGlyph(const QPixmap& glyph)
{
    glyph_ = glyph;
    setIcon(QIcon(glyph));
    setIconSize(glyph.size());
}

} // namespace keb
