// The window as a screen reader sees it: its own controls queried through
// Qt's accessibility framework (roles, names, values, ranges, states,
// actions), the events they send while the window works, the Tab order and
// Escape on the about view.
#include "WindowTestSupport.h"
#include "platform/gui/ErrorBox.h"

#include <QAccessible>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#include <map>

namespace keb::test
{
namespace
{

struct TRecordedEvent
{
    QAccessible::Event Type;
    QObject* Object;
    QVariant Value;
    QAccessible::State Changed;
};

std::vector<TRecordedEvent>& RecordedEvents()
{
    static std::vector<TRecordedEvent> events;
    return events;
}

void RecordEvent(QAccessibleEvent* event)
{
    TRecordedEvent recorded{event->type(), event->object(), {}, {}};
    if (event->type() == QAccessible::ValueChanged)
        recorded.Value = static_cast<QAccessibleValueChangeEvent*>(event)->value();
    if (event->type() == QAccessible::StateChanged)
        recorded.Changed = static_cast<QAccessibleStateChangeEvent*>(event)->changedStates();
    RecordedEvents().push_back(recorded);
}

class AccessibilityTest : public WindowTest
{
  protected:
    // Accessibility on, as when a screen reader asks for it; the events
    // that would go to it are recorded instead.
    void SetUp() override
    {
        WindowTest::SetUp();
        Platform()->setActive(true);
        QAccessible::installUpdateHandler(RecordEvent);
        RecordedEvents().clear();
    }

    void TearDown() override
    {
        QAccessible::installUpdateHandler(nullptr);
        Platform()->setActive(false);
        RecordedEvents().clear();
        WindowTest::TearDown();
    }

    static QPlatformAccessibility* Platform()
    {
        return QGuiApplicationPrivate::platformIntegration()->accessibility();
    }

    static QAccessibleInterface* Interface(QWidget* widget)
    {
        QAccessibleInterface* interface = QAccessible::queryAccessibleInterface(widget);
        EXPECT_NE(interface, nullptr) << widget->objectName().toStdString();
        return interface;
    }

    static QString Name(QWidget* widget) { return Interface(widget)->text(QAccessible::Name); }

    // Every object below the window's accessible object, as a screen reader
    // walks the tree: object -> interface.
    std::map<QObject*, QAccessibleInterface*> Tree()
    {
        std::map<QObject*, QAccessibleInterface*> found;
        std::vector<QAccessibleInterface*> pending = {Interface(&Form())};
        while (!pending.empty())
        {
            QAccessibleInterface* node = pending.back();
            pending.pop_back();
            found[node->object()] = node;
            for (int index = 0; index < node->childCount(); ++index)
                pending.push_back(node->child(index));
        }
        return found;
    }

    static std::vector<TRecordedEvent> EventsOf(QObject* object, QAccessible::Event type)
    {
        std::vector<TRecordedEvent> events;
        for (const TRecordedEvent& event : RecordedEvents())
            if (event.Object == object && event.Type == type)
                events.push_back(event);
        return events;
    }
};

TEST_F(AccessibilityTest, EveryControlIsInTheTreeWithItsRoleNameAndValue)
{
    TMainForm& form = Form();
    const auto tree = Tree();
    for (int band = 0; band < BandCount; ++band)
    {
        SCOPED_TRACE(band);
        ASSERT_TRUE(tree.contains(form.sl[band]));
        QAccessibleInterface* slider = tree.at(form.sl[band]);
        EXPECT_EQ(slider->role(), QAccessible::Slider);
        EXPECT_EQ(slider->text(QAccessible::Name),
                  QString("Band %1 to %2 Hz").arg(band * 200).arg(band * 200 + 200));
        EXPECT_EQ(slider->text(QAccessible::Value), "0 dB");
        QAccessibleValueInterface* value = slider->valueInterface();
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->currentValue().toInt(), 0);
        EXPECT_EQ(value->minimumValue().toInt(), -60);
        EXPECT_EQ(value->maximumValue().toInt(), 12);
        EXPECT_EQ(value->minimumStepSize().toInt(), 1);
        EXPECT_TRUE(slider->state().focusable);
    }

    ASSERT_TRUE(tree.contains(form.Sh));
    QAccessibleInterface* wheel = tree.at(form.Sh);
    EXPECT_EQ(wheel->role(), QAccessible::Dial);
    EXPECT_EQ(wheel->text(QAccessible::Name), "Shift");
    EXPECT_EQ(wheel->text(QAccessible::Value), "4");
    ASSERT_NE(wheel->valueInterface(), nullptr);
    EXPECT_EQ(wheel->valueInterface()->minimumValue().toInt(), 0);
    EXPECT_EQ(wheel->valueInterface()->maximumValue().toInt(), 20);

    for (auto [waterfall, name] : {std::pair{form.MMSpectrogram1, "Input waterfall"},
                                   std::pair{form.MMSpectrogram2, "Output waterfall"}})
    {
        ASSERT_TRUE(tree.contains(waterfall));
        EXPECT_EQ(tree.at(waterfall)->role(), QAccessible::Graphic);
        EXPECT_EQ(tree.at(waterfall)->text(QAccessible::Name), name);
        EXPECT_EQ(tree.at(waterfall)->text(QAccessible::Description), "No tones");
    }

    ASSERT_TRUE(tree.contains(form.LED));
    EXPECT_EQ(tree.at(form.LED)->role(), QAccessible::Indicator);
    EXPECT_EQ(tree.at(form.LED)->text(QAccessible::Name), "Stopped");

    struct TButton
    {
        QAbstractButton* Button;
        const char* Name;
        bool Checkable;
    };
    const std::vector<TButton> buttons = {
        {form.StartBtn, "ON", true},        {form.StopBtn, "OFF", false},
        {form.btnEQ, "Filter On", false},   {form.F02b, "0.2", true},
        {form.F04b, "0.4", true},           {form.F18b, "1.8", true},
        {form.F26b, "2.6", true},           {form.MemoryButtons[0], "A", true},
        {form.MemoryButtons[1], "B", true}, {form.MemoryButtons[2], "C", true},
        {form.MemoryButtons[3], "D", true}, {form.M, "Save", false},
        {form.Button1, "Def", false},       {form.Ab, "?", false}};
    for (const TButton& expected : buttons)
    {
        SCOPED_TRACE(expected.Name);
        ASSERT_TRUE(tree.contains(expected.Button));
        QAccessibleInterface* button = tree.at(expected.Button);
        EXPECT_EQ(button->role(), QAccessible::Button);
        EXPECT_EQ(button->text(QAccessible::Name), expected.Name);
        EXPECT_EQ(button->state().checkable, expected.Checkable);
        EXPECT_FALSE(button->state().checked);
        ASSERT_NE(button->actionInterface(), nullptr);
        EXPECT_EQ(button->actionInterface()->actionNames().contains(
                      QAccessibleActionInterface::pressAction()),
                  expected.Button->isEnabled());
    }
    EXPECT_EQ(Interface(form.F18b)->text(QAccessible::Accelerator),
              QKeySequence(Qt::ALT | Qt::Key_8).toString(QKeySequence::NativeText));
}

TEST_F(AccessibilityTest, PresetsWheelDefAndScreenReaderMoveSlidersAndAnnounceTheirValues)
{
    TMainForm& form = Form();
    // 0.2 kHz at 4: every band but 800-1000 Hz moves to -60.
    Interface(form.F02b)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(form.F02b->Down());
    EXPECT_TRUE(Interface(form.F02b)->state().checked);
    EXPECT_TRUE(Interface(form.F02b)->state().pressed);
    EXPECT_EQ(SliderPositions(), OpenBands(4, 4));
    for (int band = 0; band < BandCount; ++band)
    {
        SCOPED_TRACE(band);
        const auto changes = EventsOf(form.sl[band], QAccessible::ValueChanged);
        if (band == 4)
        {
            EXPECT_TRUE(changes.empty());
            continue;
        }
        ASSERT_EQ(changes.size(), 1U);
        EXPECT_EQ(changes[0].Value.toInt(), -60);
        EXPECT_EQ(Interface(form.sl[band])->text(QAccessible::Value), "-60 dB");
        EXPECT_EQ(Interface(form.sl[band])->valueInterface()->currentValue().toInt(), -60);
    }

    // The wheel by key: its own change and the sliders the preset moves.
    RecordedEvents().clear();
    QTest::keyClick(form.Sh, Qt::Key_Right);
    const auto turns = EventsOf(form.Sh, QAccessible::ValueChanged);
    ASSERT_EQ(turns.size(), 1U);
    EXPECT_EQ(turns[0].Value.toInt(), 5);
    EXPECT_EQ(EventsOf(form.sl[5], QAccessible::ValueChanged).at(0).Value.toInt(), 0);
    EXPECT_EQ(EventsOf(form.sl[4], QAccessible::ValueChanged).at(0).Value.toInt(), -60);

    // Def flattens: every closed band announces 0 dB.
    RecordedEvents().clear();
    Click(form.Button1);
    for (int band = 0; band < BandCount; ++band)
        EXPECT_EQ(EventsOf(form.sl[band], QAccessible::ValueChanged).size(), band == 5 ? 0U : 1U)
            << band;

    // A screen reader setting a value moves the band's gain like the mouse.
    Interface(form.sl[7])->valueInterface()->setCurrentValue(-12);
    EXPECT_EQ(form.sl[7]->Position(), -12);
    EXPECT_EQ(BandGains()[7], -12);
    Interface(form.sl[7])->valueInterface()->setCurrentValue(40);
    EXPECT_EQ(form.sl[7]->Position(), 12);
}

TEST_F(AccessibilityTest, LedStateFollowsOnFilterOffAndOff)
{
    TMainForm& form = Form();
    QAccessibleInterface* led = Interface(form.LED);
    EXPECT_EQ(led->text(QAccessible::Name), "Stopped");
    EXPECT_FALSE(led->state().active);

    struct TStep
    {
        QWidget* Button;
        const char* Name;
        bool Active;
        bool Checked;
        bool ActiveChanges;
        bool CheckedChanges;
    };
    const std::vector<TStep> steps = {{form.StartBtn, "Filter on", true, true, true, true},
                                      {form.btnEQ, "Filter off", true, false, false, true},
                                      {form.btnEQ, "Filter on", true, true, false, true},
                                      {form.btnEQ, "Filter off", true, false, false, true},
                                      {form.StopBtn, "Stopped", false, false, true, false}};
    for (const TStep& step : steps)
    {
        SCOPED_TRACE(step.Name);
        RecordedEvents().clear();
        Click(step.Button);
        ASSERT_TRUE(PumpUntil([&] { return led->text(QAccessible::Name) == step.Name; }));
        EXPECT_FALSE(led->text(QAccessible::Description).isEmpty());
        EXPECT_TRUE(led->text(QAccessible::Description).startsWith(step.Name));
        EXPECT_EQ(led->state().active, step.Active);
        EXPECT_EQ(led->state().checked, step.Checked);
        const auto changes = EventsOf(form.LED, QAccessible::StateChanged);
        ASSERT_EQ(changes.size(), 1U);
        EXPECT_EQ(changes[0].Changed.active, step.ActiveChanges);
        EXPECT_EQ(changes[0].Changed.checked, step.CheckedChanges);
        EXPECT_EQ(EventsOf(form.LED, QAccessible::NameChanged).size(), 1U);
        EXPECT_EQ(EventsOf(form.LED, QAccessible::DescriptionChanged).size(), 1U);
    }
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(AccessibilityTest, TabVisitsTheControlsInWorkingOrder)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_TRUE(PumpUntil([&] { return form.StopBtn->isEnabled(); }));
    Click(form.MemoryButtons[0]); // enables Save
    std::vector<QWidget*> expected = {form.StartBtn, form.StopBtn, form.btnEQ, form.F02b,
                                      form.F04b,     form.F18b,    form.F26b};
    expected.insert(expected.end(), form.MemoryButtons.begin(), form.MemoryButtons.end());
    expected.push_back(form.M);
    expected.push_back(form.Sh);
    expected.insert(expected.end(), form.sl.begin(), form.sl.end());
    expected.push_back(form.Button1);
    expected.push_back(form.Ab);
    expected.push_back(form.StartBtn);

    form.StartBtn->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited = {QApplication::focusWidget()};
    for (std::size_t step = 1; step < expected.size(); ++step)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited, expected);

    // Space on a focused speed button clicks it, as the mnemonic does.
    form.F26b->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.F26b, Qt::Key_Space);
    EXPECT_TRUE(form.F26b->Down());
    EXPECT_EQ(SliderPositions(), OpenBands(1, 12));
    // The mnemonics still click (after Qt's short animation).
    QTest::keyClick(&form, Qt::Key_4, Qt::AltModifier);
    EXPECT_TRUE(PumpUntil([&] { return form.F04b->Down(); }, 2s));
    Click(form.StopBtn);
}

TEST_F(AccessibilityTest, EscapeClosesTheAboutView)
{
    TMainForm& form = Form();
    Click(form.Ab);
    ASSERT_TRUE(form.Box->isHidden());
    ASSERT_TRUE(form.RxGIFAnimator1->Animating());
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.Box->isHidden());
    EXPECT_FALSE(form.RxGIFAnimator1->Animating());
    EXPECT_TRUE(form.Ab->hasFocus());
    // Escape in the working view changes nothing.
    const TBandPositions before = SliderPositions();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.Box->isHidden());
    EXPECT_EQ(SliderPositions(), before);
}

TEST_F(AccessibilityTest, ErrorBoxIsAnAlertThatReadsItsMessage)
{
    const std::string message = "WaveInOpen:\n\rUnable to open device";
    bool alerted = false;
    QStringList texts;
    QTimer catcher;
    QObject::connect(&catcher, &QTimer::timeout,
                     [&]
                     {
                         auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                         if (box == nullptr || !box->isVisible())
                             return;
                         QAccessibleInterface* alert = Interface(box);
                         alerted = alert->role() == QAccessible::AlertMessage &&
                                   !EventsOf(box, QAccessible::Alert).empty();
                         for (int index = 0; index < alert->childCount(); ++index)
                             texts << alert->child(index)->text(QAccessible::Name);
                         box->accept();
                     });
    catcher.start(5);
    const TErrorBoxHandler collecting = SetErrorBoxHandler(ShowQtErrorBox);
    HandleException(EInOutError(message));
    SetErrorBoxHandler(collecting);
    EXPECT_TRUE(alerted);
    EXPECT_TRUE(texts.contains(QString::fromStdString(message))) << texts.join("|").toStdString();
}

} // namespace
} // namespace keb::test
