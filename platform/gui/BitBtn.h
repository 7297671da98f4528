// TBitBtn: a push button with a small picture (its glyph) before the caption.
//
// The glyph is shown in colour while the button is enabled and greyed while
// it is disabled (Qt's disabled icon mode). The caption may hold a mnemonic
// ("O&FF": Alt+F clicks the button). Main thread only.
#pragma once

#include <QPixmap>
#include <QPushButton>

namespace keb
{

class TBitBtn : public QPushButton
{
  public:
    explicit TBitBtn(QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    const QPixmap& Glyph() const { return glyph_; }
    void SetGlyph(const QPixmap& glyph);

  private:
    QPixmap glyph_;
};

} // namespace keb
