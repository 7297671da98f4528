#include "app/WindowAccessibility.h"

#include "app/unit1.h"
#include "controls/AccessibleControls.h"
#include "display/AccessibleWaterfall.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QShortcut>
#include <vector>

namespace keb
{

namespace
{

constexpr int BandHertz = 200;

struct TLedStatus
{
    const char* Name;
    const char* Description;
    bool Running;
    bool Filtering;
};

constexpr TLedStatus Stopped = {"Stopped", "Stopped: no audio runs", false, false};
constexpr TLedStatus FilterOn = {"Filter on", "Filter on: the audio runs through the filter", true,
                                 true};
constexpr TLedStatus FilterOff = {"Filter off", "Filter off: the audio runs unfiltered", true,
                                  false};

const TLedStatus& StatusOf(const TMMLED& led)
{
    if (led.LEDColor() == LedFilterOnColor)
        return FilterOn;
    if (led.LEDColor() == LedFilterOffColor)
        return FilterOff;
    return Stopped;
}

QAccessible::State StateOf(const TLedStatus& status)
{
    QAccessible::State state;
    state.checkable = true;
    state.active = status.Running;
    state.checked = status.Filtering;
    return state;
}

class TAccessibleStatusLed : public QAccessibleWidget
{
  public:
    explicit TAccessibleStatusLed(TMMLED* led)
        : QAccessibleWidget(led, QAccessible::Indicator), led_(led)
    {
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name)
            return StatusOf(*led_).Name;
        if (type == QAccessible::Description)
            return StatusOf(*led_).Description;
        return QAccessibleWidget::text(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        const QAccessible::State status = StateOf(StatusOf(*led_));
        state.checkable = status.checkable;
        state.active = status.active;
        state.checked = status.checked;
        return state;
    }

  private:
    TMMLED* led_;
};

QAccessibleInterface* StatusLedInterface(const QString&, QObject* object)
{
    if (auto* led = dynamic_cast<TMMLED*>(object))
        return new TAccessibleStatusLed(led);
    return nullptr;
}

// Tells assistive tools what changed between two states of the LED.
void AnnounceLedChange(TMMLED* led, const TLedStatus& before, const TLedStatus& after)
{
    if (&before == &after || !QAccessible::isActive())
        return;
    QAccessibleEvent name(led, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&name);
    QAccessibleEvent description(led, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&description);
    const QAccessible::State old = StateOf(before);
    const QAccessible::State now = StateOf(after);
    QAccessible::State changed;
    changed.active = old.active != now.active;
    changed.checked = old.checked != now.checked;
    QAccessibleStateChangeEvent state(led, changed);
    QAccessible::updateAccessibility(&state);
}

void NameControls(TMainForm& form)
{
    for (int band = 0; band < BandCount; ++band)
    {
        TMMSlider* slider = form.sl[band];
        slider->setAccessibleName(
            QString("Band %1 to %2 Hz").arg(band * BandHertz).arg((band + 1) * BandHertz));
        SetAccessibleValueUnit(slider, "dB");
    }
    form.Sh->setAccessibleName("Shift");
    form.MMSpectrogram1->setAccessibleName("Input waterfall");
    form.MMSpectrogram2->setAccessibleName("Output waterfall");
}

void OrderTabs(TMainForm& form)
{
    std::vector<QWidget*> order = {form.StartBtn, form.StopBtn, form.btnEQ, form.F02b,
                                   form.F04b,     form.F18b,    form.F26b};
    order.insert(order.end(), form.MemoryButtons.begin(), form.MemoryButtons.end());
    order.push_back(form.M);
    order.push_back(form.Sh);
    order.insert(order.end(), form.sl.begin(), form.sl.end());
    order.push_back(form.Button1);
    order.push_back(form.Ab);
    for (QWidget* widget : order)
    {
        if (dynamic_cast<TSpeedButton*>(widget) != nullptr)
            widget->setFocusPolicy(Qt::TabFocus);
    }
    for (std::size_t index = 0; index + 1 < order.size(); ++index)
        QWidget::setTabOrder(order[index], order[index + 1]);
}

void CloseAboutByEscape(TMainForm& form)
{
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &form);
    QObject::connect(escape, &QShortcut::activated, &form,
                     [&form]
                     {
                         if (!form.Box->isHidden() || !form.RxGIFAnimator1->OnClick)
                             return;
                         form.RxGIFAnimator1->OnClick();
                         form.Ab->setFocus(Qt::ShortcutFocusReason);
                     });
}

} // namespace

void InstallAccessibleInterfaces()
{
    InstallAccessibleControls();
    InstallAccessibleWaterfalls();
    QAccessible::installFactory(StatusLedInterface);
}

void MakeWindowAccessible(TMainForm& form)
{
    NameControls(form);
    form.LED->OnChange = [shown = &StatusOf(*form.LED)](TMMLED* led) mutable
    {
        const TLedStatus& now = StatusOf(*led);
        AnnounceLedChange(led, *shown, now);
        shown = &now;
    };
    OrderTabs(form);
    CloseAboutByEscape(form);
}

} // namespace keb
