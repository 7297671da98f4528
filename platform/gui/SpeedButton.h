// TSpeedButton: a flat button that can stay down, alone or in a group.
//
// GroupIndex 0: a plain button; it is down only while the mouse holds it.
// GroupIndex > 0: the button belongs to the group of speed buttons with the
// same GroupIndex under the same parent widget (buttons under another parent
// form another group). A click puts an up button down and releases the other
// buttons of its group; a click on a down button releases it only when the
// group allows all buttons up (AllowAllUp), otherwise it stays down. The
// click's handlers (Qt's clicked signal) run after Down has changed.
//
// Down by program follows the same rules: SetDown(true) releases the others of
// the group; SetDown(false) is ignored for a grouped button whose group does
// not allow all up. AllowAllUp is a property of the whole group: setting it on
// one button sets it on every button of the group present at that time.
//
// The caption may hold a mnemonic ("&ON": Alt+O clicks the button); FontColor
// is the caption's colour. A speed button takes no keyboard focus unless its
// focus policy is changed; then it shows the focus by a dotted frame and
// Space clicks it. Main thread only, like every widget.
#pragma once

#include "platform/gui/Colors.h"

#include <QAbstractButton>
#include <vector>

namespace keb
{

class TSpeedButton : public QAbstractButton
{
  public:
    explicit TSpeedButton(QWidget* parent = nullptr);

    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int groupIndex);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool allowAllUp);
    bool Down() const { return isChecked(); }
    void SetDown(bool down);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor color);

    // The other buttons of this button's group (none for GroupIndex 0).
    std::vector<TSpeedButton*> GroupMembers() const;

    QSize sizeHint() const override;

  protected:
    void nextCheckState() override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void ReleaseOthers();

    int groupIndex_ = 0;
    bool allowAllUp_ = false;
    TColor fontColor_ = clBlack;
};

} // namespace keb
