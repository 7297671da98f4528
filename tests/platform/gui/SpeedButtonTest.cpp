// The speed button's group rules, through mouse clicks and by program.
#include "platform/gui/SpeedButton.h"

#include "controls/AccessibleControls.h"

#include <QAccessible>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

namespace keb::test
{
namespace
{

class SpeedButtonTest : public ::testing::Test
{
  protected:
    TSpeedButton* Add(QWidget* Parent, int GroupIndex)
    {
        auto* button = new TSpeedButton(Parent);
        button->setGeometry(0, 0, 30, 20);
        button->SetGroupIndex(GroupIndex);
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [this, button] { DownWhenClicked.push_back(button->Down()); });
        return button;
    }

    static void Click(TSpeedButton* Button)
    {
        QTest::mouseClick(Button, Qt::LeftButton, Qt::NoModifier, Button->rect().center());
    }

    QWidget Parent;
    QWidget OtherParent;
    std::vector<bool> DownWhenClicked;
};

TEST_F(SpeedButtonTest, PlainButtonNeverStaysDown)
{
    TSpeedButton* button = Add(&Parent, 0);
    Click(button);
    EXPECT_FALSE(button->Down());
    button->SetDown(true);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(DownWhenClicked, std::vector<bool>{false});
}

TEST_F(SpeedButtonTest, GroupKeepsOneDownAndAllowsAllUp)
{
    TSpeedButton* first = Add(&Parent, 2);
    TSpeedButton* second = Add(&Parent, 2);
    TSpeedButton* elsewhere = Add(&OtherParent, 2);
    TSpeedButton* otherGroup = Add(&Parent, 3);
    new QPushButton("plain", &Parent); // a sibling, but no speed button
    EXPECT_EQ(first->GroupMembers(), std::vector<TSpeedButton*>{second});
    first->SetAllowAllUp(true);
    EXPECT_TRUE(second->AllowAllUp());
    EXPECT_FALSE(elsewhere->AllowAllUp());

    elsewhere->SetDown(true);
    otherGroup->SetDown(true);
    Click(first);
    EXPECT_TRUE(first->Down());
    Click(second);
    EXPECT_FALSE(first->Down());
    EXPECT_TRUE(second->Down());
    EXPECT_TRUE(elsewhere->Down()) << "another parent is another group";
    EXPECT_TRUE(otherGroup->Down()) << "another index is another group";
    Click(second);
    EXPECT_FALSE(second->Down());
    // Handlers see the state after the click.
    EXPECT_EQ(DownWhenClicked, (std::vector<bool>{true, true, false}));
}

TEST_F(SpeedButtonTest, GroupWithoutAllowAllUpKeepsItsButtonDown)
{
    TSpeedButton* first = Add(&Parent, 1);
    TSpeedButton* second = Add(&Parent, 1);
    first->SetDown(true);
    Click(first);
    EXPECT_TRUE(first->Down());
    first->SetDown(false);
    EXPECT_TRUE(first->Down());
    second->SetDown(true);
    EXPECT_FALSE(first->Down());
    EXPECT_TRUE(second->Down());
}

TEST_F(SpeedButtonTest, JoiningAGroupTakesItsRulesAndReleasesTheOthers)
{
    TSpeedButton* member = Add(&Parent, 4);
    member->SetAllowAllUp(true);
    member->SetDown(true);
    TSpeedButton* newcomer = Add(&Parent, 0);
    newcomer->SetGroupIndex(4);
    EXPECT_TRUE(newcomer->AllowAllUp());
    newcomer->SetDown(true);
    EXPECT_FALSE(member->Down());
}

TEST_F(SpeedButtonTest, MnemonicClicksTheButton)
{
    TSpeedButton* button = Add(&Parent, 2);
    button->SetAllowAllUp(true);
    button->SetCaption("&ON");
    Parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Parent));
    Parent.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Parent));
    QTest::keyClick(&Parent, Qt::Key_O, Qt::AltModifier);
    // A mnemonic clicks the way Qt animates it: after a short moment.
    EXPECT_TRUE(QTest::qWaitFor([button] { return button->Down(); }, 2000));
}

TEST_F(SpeedButtonTest, ScreenReadersReadTheCaptionTheDownStateAndPressIt)
{
    InstallAccessibleControls();
    TSpeedButton* button = Add(&Parent, 3);
    button->SetCaption("R&&&D");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_EQ(accessible->text(QAccessible::Name), "R&D");
    EXPECT_EQ(accessible->text(QAccessible::Accelerator),
              QKeySequence(Qt::ALT | Qt::Key_D).toString(QKeySequence::NativeText));
    EXPECT_TRUE(accessible->state().checkable);

    QAccessibleActionInterface* actions = accessible->actionInterface();
    ASSERT_NE(actions, nullptr);
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(button->Down());
    EXPECT_TRUE(accessible->state().checked);
    EXPECT_TRUE(accessible->state().pressed);
    EXPECT_EQ(DownWhenClicked, std::vector<bool>{true});

    // A disabled button offers no press, and pressing it anyway does nothing.
    button->setEnabled(false);
    EXPECT_FALSE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(DownWhenClicked.size(), 1U);
}

TEST_F(SpeedButtonTest, FocusFrameShowsOnlyWhileFocused)
{
    TSpeedButton* plain = Add(&Parent, 0);
    TSpeedButton* focusable = Add(&Parent, 0);
    focusable->move(40, 0);
    focusable->setFocusPolicy(Qt::TabFocus);
    for (TSpeedButton* button : {plain, focusable})
        button->SetCaption("&A");
    Parent.show();
    Parent.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Parent));
    // The only focusable widget took the focus when the window opened.
    focusable->clearFocus();
    ASSERT_FALSE(focusable->hasFocus());
    EXPECT_EQ(focusable->grab().toImage(), plain->grab().toImage());
    focusable->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(focusable->hasFocus());
    EXPECT_NE(focusable->grab().toImage(), plain->grab().toImage());
}

} // namespace
} // namespace keb::test
