// TMMSpectrogram: the waterfall display as a control.
//
// It is a TMMWaterfall (analysis, frequency map, lines, bar; MMSpGramWaterfall.h)
// drawn into the control's DIB canvas and shown at once through DrawNow, framed
// by the bevel and, with DrawScale, by two 32-pixel frequency scale strips.
// With ShowInfo, holding the left button shows a box with the frequency under
// the cursor ("%2.3f KHz"); while it is shown, blocks are ignored.
//
// Picture geometry: the display area is the client rectangle, narrowed by 32
// pixels on both sides with DrawScale, inset by the bevel width; the picture
// has max(area width, 4) columns and max(area height, 4) rows. SetBounds
// raises a size below 2 x bevel width + 5 (+ 64 in width with DrawScale).
//
// Blocks: ProcessBlock ignores a block while the control is disabled, hidden
// or in info mode. Repaints draw the picture afresh (and restart every other
// spectrogram at its next line).
//
// The control is also a TComponent, so a connector that displays it clears
// its slot when the control is destroyed. Main thread only.
//
// Implemented in: MMSpGram.cpp (properties, geometry, blocks and painting),
// MMSpGramScale.cpp (the frequency scale strips), MMSpGramInfo.cpp (the
// frequency box).
#pragma once

#include "display/MMDIBCvControl.h"
#include "display/MMSpGramWaterfall.h"
#include "platform/core/Component.h"

#include <optional>
#include <vector>

namespace keb
{

class TMMSpectrogram : public TMMDIBGraphicControl, public TMMWaterfall, public TComponent
{
  public:
    explicit TMMSpectrogram(QWidget* parent = nullptr);
    ~TMMSpectrogram() override;

    // The control's names, not the component's.
    using TControl::BeginLoading;
    using TControl::Name;
    using TControl::SetDesigning;
    using TControl::SetName;
    using TControl::SetTag;
    using TControl::Tag;

    void ProcessBlock(const std::uint8_t* block) override;
    // Leaves info mode (as if the button were released), then repaints.
    void ResetDisplay() override;

    void SetEnabled(bool enabled) override; // repaints
    bool ShowInfo() const { return showInfo_; }
    void SetShowInfo(bool value) { showInfo_ = value; }
    bool DrawScale() const { return drawScale_; }
    void SetDrawScale(bool value); // size limits re-applied; repaints
    TColor ScaleTextColor() const { return scaleTextColor_; }
    void SetScaleTextColor(TColor value);
    TColor ScaleLineColor() const { return scaleLineColor_; }
    void SetScaleLineColor(TColor value);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value) { showHint_ = value; }

    void SetBounds(int left, int top, int width, int height) override;
    // Builds the frequency map and the palette, then draws in full.
    void Loaded() override;

    bool InfoMode() const { return infoMode_; }
    TRect DisplayArea() const { return area_; }

    // The frequency in Hz that the row at widget position y shows.
    double FrequencyAt(int y) const;

  protected:
    void RepaintPicture() override;
    bool SettingsLoading() const override { return ComponentState().IsLoading(); }
    TDIBColor ResolveColor(TDIBColor color) const override { return ColorToRGB(color); }
    void PaintScreen() override;
    void BevelChanged() override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct TSaveArea
    {
        int Left = 0;
        int Top = 0;
        int Width = 0;
        int Height = 0;
        std::vector<std::uint8_t> Pixels;
    };

    void Resized();
    void DrawFull();
    TColor ParentColor() const;
    void PaintScaleStrips(TCanvas& screen);
    void PaintStrip(TCanvas& screen, int x, bool left);
    QString ScaleLabel(int k) const;

    void BeginInfo(QPoint point);
    void EndInfo();
    QPoint ConfineToArea(QPoint point) const;
    void CopyScreenToDIB();
    void DrawInfoBox(QPoint point);
    void RestoreSavedBox();

    bool showInfo_ = true;
    bool drawScale_ = false;
    TColor scaleTextColor_ = clBlack;
    TColor scaleLineColor_ = clBlack;
    bool showHint_ = false;
    bool savedShowHint_ = false;
    bool infoMode_ = false;
    bool fullPending_ = true;
    TRect area_;
    std::optional<TSaveArea> saveArea_;
};

} // namespace keb
