#include "ControlPictures.h"
#include "controls/MMObj.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

TEST(Bevel, ExtentAddsEveryPartOfTheFrame)
{
    TMMBevel bevel;
    EXPECT_EQ(bevel.BevelExtent(), 1);

    TMMBevel spectrogram;
    spectrogram.SetBevelInner(TPanelBevel::bvLowered);
    spectrogram.SetBevelOuter(TPanelBevel::bvNone);
    spectrogram.SetBorderWidth(3);
    EXPECT_EQ(spectrogram.BevelExtent(), 4);

    TMMBevel slider;
    slider.SetBevelOuter(TPanelBevel::bvNone);
    slider.SetBorderWidth(2);
    EXPECT_EQ(slider.BevelExtent(), 2);

    TMMBevel wheel;
    wheel.SetBevelOuter(TPanelBevel::bvNone);
    EXPECT_EQ(wheel.BevelExtent(), 0);

    TMMBevel everything;
    everything.SetBorderStyle(TBorderStyle::bsSingle);
    everything.SetBevelOuterWidth(2);
    everything.SetBevelInner(TPanelBevel::bvRaised);
    everything.SetBevelInnerWidth(3);
    everything.SetBorderWidth(4);
    everything.SetBorderSpace(5);
    EXPECT_EQ(everything.BevelExtent(), 1 + 2 + 3 + 4 + 5);
}

TEST(Bevel, SettersNotifyOnlyRealChangesAndClampWidths)
{
    TMMBevel bevel;
    int changes = 0;
    bevel.OnChange = [&](TMMObject*) { ++changes; };
    bevel.SetBorderWidth(0);
    bevel.SetBevelOuter(TPanelBevel::bvLowered);
    EXPECT_EQ(changes, 0);
    bevel.SetBorderWidth(2);
    bevel.SetInnerLightColor(clRed);
    EXPECT_EQ(changes, 2);
    bevel.SetBevelInnerWidth(0);
    EXPECT_EQ(bevel.BevelInnerWidth(), 1);
    bevel.SetBorderSpace(-3);
    EXPECT_EQ(bevel.BorderSpace(), 0);
    EXPECT_EQ(changes, 2);
}

TEST(Bevel, AssignNotifiesOnceAndNotForEqualOrSelf)
{
    TMMBevel source;
    source.SetBevelInner(TPanelBevel::bvRaised);
    source.SetBorderWidth(3);
    source.SetBorderSpaceColor(clYellow);
    source.SetOuterShadowColor(clNavy);

    TMMBevel target;
    int changes = 0;
    target.OnChange = [&](TMMObject*) { ++changes; };
    target.Assign(source);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(target.BevelInner(), TPanelBevel::bvRaised);
    EXPECT_EQ(target.BorderWidth(), 3);
    EXPECT_EQ(target.BorderSpaceColor(), clYellow);
    EXPECT_EQ(target.OuterShadowColor(), clNavy);

    target.Assign(source);
    target.Assign(target);
    EXPECT_EQ(changes, 1);
}

TEST(Bevel, NestedUpdatesNotifyOnceAtTheEnd)
{
    TMMBevel bevel;
    int changes = 0;
    bevel.OnChange = [&](TMMObject*) { ++changes; };
    bevel.BeginUpdate();
    bevel.BeginUpdate();
    bevel.SetBorderWidth(1);
    bevel.EndUpdate();
    bevel.SetBorderWidth(2);
    EXPECT_EQ(changes, 0);
    bevel.EndUpdate();
    EXPECT_EQ(changes, 1);
}

// Paints a bevel on a 10 x 8 image filled with white.
QImage PaintOnImage(const TMMBevel& bevel, TRect* inner)
{
    TBitmap bitmap(10, 8);
    bitmap.Image().fill(Qt::white);
    {
        TCanvas canvas(bitmap);
        *inner = bevel.PaintBevel(canvas, {0, 0, 10, 8});
    }
    return bitmap.Image();
}

TEST(Bevel, LoweredBevelHasShadowTopLeftAndLightBottomRight)
{
    TMMBevel bevel;
    bevel.SetOuterLightColor(clYellow); // light distinct from the white background
    TRect inner;
    const QImage image = PaintOnImage(bevel, &inner);
    EXPECT_EQ(inner, (TRect{1, 1, 9, 7}));
    for (int x = 0; x < 9; ++x)
        EXPECT_TRUE(IsColor(image, x, 0, clBtnShadow)) << x;
    for (int y = 0; y < 7; ++y)
        EXPECT_TRUE(IsColor(image, 0, y, clBtnShadow)) << y;
    // The light edges own the top-right and bottom-left corners.
    for (int y = 0; y < 8; ++y)
        EXPECT_TRUE(IsColor(image, 9, y, clYellow)) << y;
    for (int x = 0; x < 10; ++x)
        EXPECT_TRUE(IsColor(image, x, 7, clYellow)) << x;
    EXPECT_TRUE(IsColor(image, 1, 1, clWhite));
}

TEST(Bevel, PartsAreDrawnOutermostFirst)
{
    TMMBevel bevel;
    bevel.SetBorderStyle(TBorderStyle::bsSingle);
    bevel.SetBevelOuter(TPanelBevel::bvNone);
    bevel.SetBorderWidth(1);
    bevel.SetBorderColor(clBlue);
    bevel.SetBevelInner(TPanelBevel::bvRaised);
    bevel.SetBevelInnerWidth(2);
    bevel.SetInnerLightColor(clLime);
    bevel.SetInnerShadowColor(clRed);
    bevel.SetBorderSpace(0);
    TRect inner;
    const QImage image = PaintOnImage(bevel, &inner);
    EXPECT_EQ(inner, (TRect{4, 4, 6, 4}));
    EXPECT_TRUE(IsColor(image, 0, 0, clWindowFrame));
    EXPECT_TRUE(IsColor(image, 1, 1, clBlue));
    EXPECT_TRUE(IsColor(image, 8, 6, clBlue));
    // A raised inner bevel of width 2: two rings, light top-left, shadow bottom-right.
    EXPECT_TRUE(IsColor(image, 2, 2, clLime));
    EXPECT_TRUE(IsColor(image, 3, 3, clLime));
    EXPECT_TRUE(IsColor(image, 7, 5, clRed));
    EXPECT_TRUE(IsColor(image, 6, 4, clRed));
    EXPECT_TRUE(IsColor(image, 7, 2, clRed));
    EXPECT_TRUE(IsColor(image, 2, 5, clRed));
}

// A graphic control that counts how often its bevel reported a change.
class TCountingControl : public TMMGraphicControl
{
  public:
    int BevelChanges = 0;

  protected:
    void BevelChanged() override
    {
        ++BevelChanges;
        TMMGraphicControl::BevelChanged();
    }
};

TEST(ControlBases, BevelChangesRepaintOncePerChangeAndOncePerAssign)
{
    TCountingControl control;
    control.Bevel().SetBorderWidth(3);
    control.Bevel().SetBorderWidth(3);
    EXPECT_EQ(control.BevelChanges, 1);

    TMMBevel other;
    other.SetBevelInner(TPanelBevel::bvLowered);
    other.SetBorderSpace(2);
    other.SetBevelOuterWidth(4);
    control.SetBevel(other);
    EXPECT_EQ(control.BevelChanges, 2);
    EXPECT_EQ(control.BevelExtent(), 4 + 1 + 2); // the border width 0 came along
}

TEST(ControlBases, PaintDrawsTheBevelAndFillsTheInsideWithColor)
{
    TMMGraphicControl control;
    control.SetBounds(0, 0, 12, 9);
    control.SetColor(clTeal);
    control.Bevel().SetBorderWidth(2);
    control.Bevel().SetBorderColor(clYellow);
    EXPECT_EQ(control.GetInnerRect(), (TRect{3, 3, 9, 6}));
    const QImage image = Grab(control);
    EXPECT_TRUE(IsColor(image, 0, 0, clBtnShadow));
    EXPECT_TRUE(IsColor(image, 1, 1, clYellow));
    EXPECT_TRUE(IsColor(image, 2, 2, clYellow));
    EXPECT_TRUE(IsColor(image, 3, 3, clTeal));
    EXPECT_TRUE(IsColor(image, 8, 5, clTeal));
    EXPECT_TRUE(IsColor(image, 9, 6, clYellow));
}

TEST(ControlBases, PanelKeepsChildrenInsideItsBevelAndCanReplaceItsPainting)
{
    TMMCustomPanel panel;
    panel.SetBounds(0, 0, 70, 70);
    panel.Bevel().SetBorderWidth(5);
    EXPECT_EQ(panel.contentsRect(), QRect(6, 6, 58, 58));

    int paints = 0;
    panel.OnPaint = [&](TMMCustomPanel* sender)
    {
        ++paints;
        sender->Canvas()->FillRect(sender->ClientRect(), clPurple);
    };
    const QImage image = Grab(panel);
    EXPECT_GE(paints, 1);
    EXPECT_TRUE(IsColor(image, 0, 0, clPurple));
}

} // namespace
} // namespace keb::test
