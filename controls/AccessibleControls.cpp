#include "controls/AccessibleControls.h"

#include "controls/MMSlider.h"
#include "controls/MMWheel.h"
#include "platform/gui/SpeedButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeySequence>

namespace keb
{

namespace
{

const char* const ValueUnitProperty = "kebAccessibleValueUnit";

// What sliders and wheels share: a whole number within a range, offered as
// the value text and through the value interface. The template arguments
// are the control's own accessors of the value, its range and its step.
template <typename TRangeControl, int (TRangeControl::*Get)() const,
          void (TRangeControl::*Set)(int), int (TRangeControl::*Step)() const>
class TAccessibleRange : public QAccessibleWidget, public QAccessibleValueInterface
{
  public:
    TAccessibleRange(TRangeControl* control, QAccessible::Role role)
        : QAccessibleWidget(control, role), control_(control)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override
    {
        if (type != QAccessible::Value)
            return QAccessibleWidget::text(type);
        const QString unit = widget()->property(ValueUnitProperty).toString();
        const QString number = QString::number((control_->*Get)());
        return unit.isEmpty() ? number : number + ' ' + unit;
    }

    QVariant currentValue() const override { return (control_->*Get)(); }
    void setCurrentValue(const QVariant& value) override { (control_->*Set)(value.toInt()); }
    QVariant maximumValue() const override { return control_->MaxValue(); }
    QVariant minimumValue() const override { return control_->MinValue(); }
    QVariant minimumStepSize() const override { return (control_->*Step)(); }

  private:
    TRangeControl* control_;
};

using TAccessibleSlider =
    TAccessibleRange<TMMCustomSlider, &TMMCustomSlider::Position, &TMMCustomSlider::SetPosition,
                     &TMMCustomSlider::LineSize>;
using TAccessibleWheel = TAccessibleRange<TMMCustomWheel, &TMMCustomWheel::Value,
                                          &TMMCustomWheel::SetValue, &TMMCustomWheel::LineStep>;

// A caption without its mnemonic marks: "0.&2" reads "0.2", "&&" reads "&".
QString WithoutMnemonic(const QString& caption)
{
    QString plain;
    for (qsizetype index = 0; index < caption.size(); ++index)
    {
        if (caption[index] == '&' && index + 1 < caption.size())
            ++index;
        plain += caption[index];
    }
    return plain;
}

class TAccessibleSpeedButton : public QAccessibleWidget
{
  public:
    explicit TAccessibleSpeedButton(TSpeedButton* button)
        : QAccessibleWidget(button, QAccessible::Button), button_(button)
    {
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name && button_->accessibleName().isEmpty())
            return WithoutMnemonic(button_->Caption());
        if (type == QAccessible::Accelerator)
            return QKeySequence::mnemonic(button_->Caption()).toString(QKeySequence::NativeText);
        return QAccessibleWidget::text(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = button_->isCheckable();
        state.checked = button_->Down();
        state.pressed = button_->isDown() || button_->Down();
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (button_->isEnabled())
            names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name == pressAction())
        {
            if (button_->isEnabled())
                button_->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name != pressAction())
            return QAccessibleWidget::keyBindingsForAction(name);
        return {text(QAccessible::Accelerator)};
    }

  private:
    TSpeedButton* button_;
};

// The classes have no meta-objects of their own, so Qt names them by their
// Qt base; the object itself tells which control it is.
QAccessibleInterface* ControlInterface(const QString&, QObject* object)
{
    if (auto* slider = dynamic_cast<TMMCustomSlider*>(object))
        return new TAccessibleSlider(slider, QAccessible::Slider);
    if (auto* wheel = dynamic_cast<TMMCustomWheel*>(object))
        return new TAccessibleWheel(wheel, QAccessible::Dial);
    if (auto* button = dynamic_cast<TSpeedButton*>(object))
        return new TAccessibleSpeedButton(button);
    return nullptr;
}

} // namespace

void InstallAccessibleControls()
{
    QAccessible::installFactory(ControlInterface);
}

void SetAccessibleValueUnit(QWidget* control, const QString& unit)
{
    control->setProperty(ValueUnitProperty, unit);
}

void AnnounceValueChange(QWidget* control, int value)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(control, value);
    QAccessible::updateAccessibility(&event);
}

} // namespace keb
