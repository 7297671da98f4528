// The speed button's group rules, through mouse clicks and by program.
#include "platform/gui/SpeedButton.h"

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

} // namespace
} // namespace keb::test
