#include "display/MMSpGramWaterfall.h"

#include "display/MMDIBCvPixels.h"
#include "stream/MMUtils.h"

#include <algorithm>

namespace keb
{

namespace
{

std::vector<TMMWaterfall*>& Registry()
{
    static std::vector<TMMWaterfall*> registry;
    return registry;
}

// The fill of a fresh picture: the lowest palette colour, or for the relief
// (10 + 236) div 2, near the 118 its values centre on.
constexpr int EmbossedFill = (SpectrogramPaletteBase + SpectrogramPaletteSize) / 2;

} // namespace

TMMWaterfall::TMMWaterfall(TMMDIBCanvas& canvas) : canvas_(canvas)
{
    overflowHandler_ = [this] { PcmOverflow(); };
    writeColumn_ = -barWidth_;
    SetPictureSize(4, 4);
}

TMMWaterfall::~TMMWaterfall()
{
    LeaveRegistry();
}

void TMMWaterfall::JoinRegistry()
{
    if (registered_)
        return;
    Registry().push_back(this);
    registered_ = true;
}

void TMMWaterfall::LeaveRegistry()
{
    if (!registered_)
        return;
    std::erase(Registry(), this);
    registered_ = false;
}

void TMMWaterfall::SetDisplayFormat(const TWaveFormatEx& format)
{
    if (!IsValidPCMFormat(&format))
        throw EMMSpectrogramError("Invalid WaveFormat");
    SetSampleRate(static_cast<int>(format.nSamplesPerSec));
    SetBitLength(static_cast<TMMBits>(format.wBitsPerSample / 8 - 1));
    SetMode(static_cast<TMMMode>(format.nChannels - 1));
}

void TMMWaterfall::ProcessBlock(const std::uint8_t* block)
{
    AnalyseBlock(block);
    DrawLine(false, nullptr);
}

void TMMWaterfall::ResetDisplay()
{
    RepaintPicture();
}

void TMMWaterfall::SetAccelerate(bool value)
{
    if (value == accelerate_)
        return;
    accelerate_ = value;
    // The screen of a scrolling waterfall was moved without its DIB.
    if (!value && scroll_)
        RepaintPicture();
}

void TMMWaterfall::SetScroll(bool value)
{
    scroll_ = value;
    RepaintPicture();
}

void TMMWaterfall::SetFFTLength(int value)
{
    analysis_.SetFFTLength(value);
    RebuildFrequencyMap();
    RepaintPicture();
}

void TMMWaterfall::SetBitLength(TMMBits value)
{
    analysis_.SetBitLength(value);
    RepaintPicture();
}

void TMMWaterfall::SetMode(TMMMode value)
{
    analysis_.SetMode(value);
    RepaintPicture();
}

void TMMWaterfall::SetChannel(TMMChannel value)
{
    analysis_.SetChannel(value);
    RepaintPicture();
}

void TMMWaterfall::SetSampleRate(int value)
{
    sampleRate_ = Clamp(value, 8000, 100000);
    RebuildFrequencyMap();
    RepaintPicture();
}

void TMMWaterfall::SetEmbossed(bool value)
{
    embossed_ = value;
    RepaintPicture();
}

void TMMWaterfall::SetFrequencyBase(int value)
{
    frequencyBase_ = static_cast<float>(std::max(value, 0));
    RebuildFrequencyMap();
    RepaintPicture();
}

void TMMWaterfall::SetFrequencyScale(int value)
{
    frequencyScale_ = static_cast<float>(Clamp(value, 1, 16));
    RebuildFrequencyMap();
    RepaintPicture();
}

void TMMWaterfall::SetBarColor(TDIBColor value)
{
    barColor_ = value;
    RepaintPicture();
}

void TMMWaterfall::SetBarTickColor(TDIBColor value)
{
    barTickColor_ = value;
    RepaintPicture();
}

void TMMWaterfall::SetBarWidth(int value)
{
    barWidth_ = std::max(value, 1);
    RepaintPicture();
}

void TMMWaterfall::SetPaletteTyp(TMMSpectrogramPalette value)
{
    paletteTyp_ = value;
    if (!SettingsLoading())
        ApplyPalette();
}

void TMMWaterfall::ApplyPalette()
{
    const TLogPalette palette = BuildSpectrogramPalette(paletteTyp_);
    canvas_.SetLogPalette(&palette);
    RepaintPicture();
}

void TMMWaterfall::SetPictureSize(int columns, int rows)
{
    columns_ = std::max(columns, 4);
    rows_ = std::max(rows, 4);
    canvas_.SetSize(columns_, rows_);
    map_.assign(static_cast<std::size_t>(rows_), TFrequencyRow{});
    line_.assign(static_cast<std::size_t>(rows_), SpectrogramPaletteBase);
    RebuildFrequencyMap();
}

void TMMWaterfall::RebuildFrequencyMap()
{
    tickCount_ = SpectrogramTickCount(sampleRate_, frequencyScale_, rows_);
    if (SettingsLoading())
        return;
    frequencyBase_ = ClampFrequencyBase(sampleRate_, frequencyBase_, frequencyScale_);
    BuildFrequencyMap(map_, sampleRate_, analysis_.FFTLength(), frequencyBase_, frequencyScale_);
}

void TMMWaterfall::AnalyseBlock(const std::uint8_t* block)
{
    analysis_.Analyse(block, overflowHandler_);
}

void TMMWaterfall::PcmOverflow()
{
    if (OnPcmOverflow)
        OnPcmOverflow(this);
}

void TMMWaterfall::RestartOthers()
{
    for (TMMWaterfall* other : Registry())
        if (other != this)
            other->restartFlag_ = true;
}

void TMMWaterfall::DrawLine(bool full, TDIBScreen* screen)
{
    TDIBDrawing drawing(canvas_);
    const bool restart = restartFlag_;
    if (full || restart)
    {
        canvas_.SetFillIndex(embossed_ ? EmbossedFill : SpectrogramPaletteBase);
        ClearDIB();
        writeColumn_ = -barWidth_;
        barEnd_ = 0;
        if (!restart)
            RestartOthers();
    }
    lineBuilder_.Build(analysis_.ColourValues(), map_, embossed_, line_.data());
    DrawColumn(rows_, line_.data(), 0, writeColumn_);
    if (full || restart || !accelerate_)
    {
        if (!(scroll_ && barEnd_ >= columns_))
            DrawBar(screen);
        if (screen)
            screen->BlitTo(0, 0, columns_, rows_, 0, 0);
        restartFlag_ = false;
    }
    else if (screen)
        screen->BlitTo(writeColumn_, 0, 1, rows_, writeColumn_, 0);
    Advance(screen);
}

void TMMWaterfall::DrawBar(TDIBScreen* screen)
{
    const TDIBColor barColor = ResolveColor(barColor_);
    const TDIBColor tickColor = ResolveColor(barTickColor_);
    if (!accelerate_)
    {
        const int from = writeColumn_ < barEnd_ ? writeColumn_ + 1 : 0;
        canvas_.SetDrawColor(barColor);
        DIBFillRect(from, 0, barEnd_ + 1, rows_);
        canvas_.SetDrawColor(tickColor);
        for (int k = 0; k <= tickCount_; ++k)
            DIBHorizLine(from, barEnd_, SpectrogramTickRow(k, tickCount_, rows_));
        return;
    }
    if (!screen)
        return;
    screen->FillScreen(barEnd_, 0, barEnd_ + 1, rows_, barColor);
    for (int k = 0; k <= tickCount_; ++k)
    {
        const int y = SpectrogramTickRow(k, tickCount_, rows_);
        screen->FillScreen(barEnd_, y, barEnd_ + 1, y + 1, tickColor);
    }
}

void TMMWaterfall::Advance(TDIBScreen* screen)
{
    if (!scroll_)
    {
        if (accelerate_)
            DrawBar(screen);
        if (++writeColumn_ >= columns_)
            writeColumn_ = 0;
        if (++barEnd_ >= columns_)
            barEnd_ = 0;
        return;
    }
    if (barEnd_ < columns_)
    {
        if (accelerate_)
            DrawBar(screen);
        ++writeColumn_;
        ++barEnd_;
    }
    else if (accelerate_)
    {
        if (screen)
            screen->ScrollLeft(0, 0, columns_ - (barWidth_ - 1), rows_);
    }
    else
        MoveRect(DrawingTarget().Bits, 1, 0, columns_ - 1, rows_, 0, 0);
}

} // namespace keb
