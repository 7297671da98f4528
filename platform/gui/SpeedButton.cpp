#include "platform/gui/SpeedButton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>

namespace keb
{

TSpeedButton::TSpeedButton(QWidget* parent) : QAbstractButton(parent)
{
    // A speed button never takes the keyboard focus, like the toolbar buttons
    // it stands for; its mnemonic still works.
    setFocusPolicy(Qt::NoFocus);
}

void TSpeedButton::SetGroupIndex(int groupIndex)
{
    if (groupIndex == groupIndex_)
        return;
    groupIndex_ = groupIndex;
    setCheckable(groupIndex > 0);
    if (groupIndex == 0)
        return;
    // Joining a group: take its AllowAllUp, and keep at most one button down.
    const auto others = GroupMembers();
    if (!others.empty())
        allowAllUp_ = others.front()->allowAllUp_;
    if (Down())
        ReleaseOthers();
}

void TSpeedButton::SetAllowAllUp(bool allowAllUp)
{
    allowAllUp_ = allowAllUp;
    for (TSpeedButton* other : GroupMembers())
        other->allowAllUp_ = allowAllUp;
}

void TSpeedButton::SetDown(bool down)
{
    if (groupIndex_ == 0 || down == Down())
        return;
    if (!down && !allowAllUp_)
        return;
    setChecked(down);
    if (down)
        ReleaseOthers();
}

void TSpeedButton::SetFontColor(TColor color)
{
    if (color == fontColor_)
        return;
    fontColor_ = color;
    update();
}

std::vector<TSpeedButton*> TSpeedButton::GroupMembers() const
{
    std::vector<TSpeedButton*> members;
    if (groupIndex_ == 0 || parentWidget() == nullptr)
        return members;
    // By dynamic_cast: the class has no meta-object of its own, so Qt's
    // casts would take any sibling button for a speed button.
    const auto siblings =
        parentWidget()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
    for (QAbstractButton* sibling : siblings)
    {
        auto* other = dynamic_cast<TSpeedButton*>(sibling);
        if (other != nullptr && other != this && other->groupIndex_ == groupIndex_)
            members.push_back(other);
    }
    return members;
}

QSize TSpeedButton::sizeHint() const
{
    return {23, 22};
}

void TSpeedButton::nextCheckState()
{
    SetDown(!Down());
}

void TSpeedButton::ReleaseOthers()
{
    for (TSpeedButton* other : GroupMembers())
    {
        if (other->Down())
        {
            other->setChecked(false);
            other->update();
        }
    }
}

void TSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool sunken = isDown() || isChecked();
    painter.fillRect(rect(), palette().button());
    // A button that stays down shows a light checkered face.
    QBrush face(palette().color(QPalette::Light), Qt::Dense4Pattern);
    qDrawWinButton(&painter, rect(), palette(), sunken, isChecked() && !isDown() ? &face : nullptr);
    QPalette captionPalette = palette();
    captionPalette.setColor(QPalette::Active, QPalette::ButtonText, ToQColor(fontColor_));
    captionPalette.setColor(QPalette::Inactive, QPalette::ButtonText, ToQColor(fontColor_));
    const QRect captionRect = sunken ? rect().translated(1, 1) : rect();
    style()->drawItemText(&painter, captionRect, Qt::AlignCenter | Qt::TextShowMnemonic,
                          captionPalette, isEnabled(), text(), QPalette::ButtonText);
    if (hasFocus())
    {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace keb
