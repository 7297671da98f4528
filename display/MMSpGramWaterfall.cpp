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

TMMWaterfall::TMMWaterfall(TMMDIBCanvas& canvas) : Canvas_(canvas)
{
    OverflowHandler_ = [this] { PcmOverflow(); };
    WriteColumn_ = -BarWidth_;
    SetPictureSize(4, 4);
}

TMMWaterfall::~TMMWaterfall()
{
    LeaveRegistry();
}

void TMMWaterfall::JoinRegistry()
{
    if (Registered_)
        return;
    Registry().push_back(this);
    Registered_ = true;
}

void TMMWaterfall::LeaveRegistry()
{
    if (!Registered_)
        return;
    std::erase(Registry(), this);
    Registered_ = false;
}

void TMMWaterfall::SetDisplayFormat(const TWaveFormatEx& Format)
{
    if (!IsValidPCMFormat(&Format))
        throw EMMSpectrogramError("Invalid WaveFormat");
    SetSampleRate(static_cast<int>(Format.nSamplesPerSec));
    SetBitLength(static_cast<TMMBits>(Format.wBitsPerSample / 8 - 1));
    SetMode(static_cast<TMMMode>(Format.nChannels - 1));
}

void TMMWaterfall::ProcessBlock(const std::uint8_t* Block)
{
    AnalyseBlock(Block);
    DrawLine(false, nullptr);
}

void TMMWaterfall::ResetDisplay()
{
    RepaintPicture();
}

void TMMWaterfall::SetAccelerate(bool value)
{
    if (value == Accelerate_)
        return;
    Accelerate_ = value;
    // The screen of a scrolling waterfall was moved without its DIB.
    if (!value && Scroll_)
        RepaintPicture();
}

void TMMWaterfall::SetScroll(bool value)
{
    Scroll_ = value;
    RepaintPicture();
}

void TMMWaterfall::SetFFTLength(int value)
{
    Analysis_.SetFFTLength(value);
    RebuildFrequencyMap();
    RepaintPicture();
}

void TMMWaterfall::SetBitLength(TMMBits value)
{
    Analysis_.SetBitLength(value);
    RepaintPicture();
}

void TMMWaterfall::SetMode(TMMMode value)
{
    Analysis_.SetMode(value);
    RepaintPicture();
}

void TMMWaterfall::SetChannel(TMMChannel value)
{
    Analysis_.SetChannel(value);
    RepaintPicture();
}

void TMMWaterfall::SetSampleRate(int value)
{
    SampleRate_ = Clamp(value, 8000, 100000);
    RebuildFrequencyMap();
    RepaintPicture();
}

void TMMWaterfall::SetEmbossed(bool value)
{
    Embossed_ = value;
    RepaintPicture();
}

void TMMWaterfall::SetFrequencyBase(int value)
{
    FrequencyBase_ = static_cast<float>(std::max(value, 0));
    RebuildFrequencyMap();
    RepaintPicture();
}

void TMMWaterfall::SetFrequencyScale(int value)
{
    FrequencyScale_ = static_cast<float>(Clamp(value, 1, 16));
    RebuildFrequencyMap();
    RepaintPicture();
}

void TMMWaterfall::SetBarColor(TDIBColor value)
{
    BarColor_ = value;
    RepaintPicture();
}

void TMMWaterfall::SetBarTickColor(TDIBColor value)
{
    BarTickColor_ = value;
    RepaintPicture();
}

void TMMWaterfall::SetBarWidth(int value)
{
    BarWidth_ = std::max(value, 1);
    RepaintPicture();
}

void TMMWaterfall::SetPaletteTyp(TMMSpectrogramPalette value)
{
    PaletteTyp_ = value;
    if (!SettingsLoading())
        ApplyPalette();
}

void TMMWaterfall::ApplyPalette()
{
    const TLogPalette palette = BuildSpectrogramPalette(PaletteTyp_);
    Canvas_.SetLogPalette(&palette);
    RepaintPicture();
}

void TMMWaterfall::SetPictureSize(int columns, int rows)
{
    Columns_ = std::max(columns, 4);
    Rows_ = std::max(rows, 4);
    Canvas_.SetSize(Columns_, Rows_);
    Map_.assign(static_cast<std::size_t>(Rows_), TFrequencyRow{});
    Line_.assign(static_cast<std::size_t>(Rows_), SpectrogramPaletteBase);
    RebuildFrequencyMap();
}

void TMMWaterfall::RebuildFrequencyMap()
{
    TickCount_ = SpectrogramTickCount(SampleRate_, FrequencyScale_, Rows_);
    if (SettingsLoading())
        return;
    FrequencyBase_ = ClampFrequencyBase(SampleRate_, FrequencyBase_, FrequencyScale_);
    BuildFrequencyMap(Map_, SampleRate_, Analysis_.FFTLength(), FrequencyBase_, FrequencyScale_);
}

void TMMWaterfall::AnalyseBlock(const std::uint8_t* block)
{
    Analysis_.Analyse(block, OverflowHandler_);
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
            other->RestartFlag_ = true;
}

void TMMWaterfall::DrawLine(bool full, TDIBScreen* screen)
{
    TDIBDrawing drawing(Canvas_);
    const bool restart = RestartFlag_;
    if (full || restart)
    {
        Canvas_.SetFillIndex(Embossed_ ? EmbossedFill : SpectrogramPaletteBase);
        ClearDIB();
        WriteColumn_ = -BarWidth_;
        BarEnd_ = 0;
        if (!restart)
            RestartOthers();
    }
    LineBuilder_.Build(Analysis_.ColourValues(), Map_, Embossed_, Line_.data());
    DrawColumn(Rows_, Line_.data(), 0, WriteColumn_);
    if (full || restart || !Accelerate_)
    {
        if (!(Scroll_ && BarEnd_ >= Columns_))
            DrawBar(screen);
        if (screen)
            screen->BlitTo(0, 0, Columns_, Rows_, 0, 0);
        RestartFlag_ = false;
    }
    else if (screen)
        screen->BlitTo(WriteColumn_, 0, 1, Rows_, WriteColumn_, 0);
    Advance(screen);
}

void TMMWaterfall::DrawBar(TDIBScreen* screen)
{
    const TDIBColor barColor = ResolveColor(BarColor_);
    const TDIBColor tickColor = ResolveColor(BarTickColor_);
    if (!Accelerate_)
    {
        const int from = WriteColumn_ < BarEnd_ ? WriteColumn_ + 1 : 0;
        Canvas_.SetDrawColor(barColor);
        DIBFillRect(from, 0, BarEnd_ + 1, Rows_);
        Canvas_.SetDrawColor(tickColor);
        for (int k = 0; k <= TickCount_; ++k)
            DIBHorizLine(from, BarEnd_, SpectrogramTickRow(k, TickCount_, Rows_));
        return;
    }
    if (!screen)
        return;
    screen->FillScreen(BarEnd_, 0, BarEnd_ + 1, Rows_, barColor);
    for (int k = 0; k <= TickCount_; ++k)
    {
        const int y = SpectrogramTickRow(k, TickCount_, Rows_);
        screen->FillScreen(BarEnd_, y, BarEnd_ + 1, y + 1, tickColor);
    }
}

void TMMWaterfall::Advance(TDIBScreen* screen)
{
    if (!Scroll_)
    {
        if (Accelerate_)
            DrawBar(screen);
        if (++WriteColumn_ >= Columns_)
            WriteColumn_ = 0;
        if (++BarEnd_ >= Columns_)
            BarEnd_ = 0;
        return;
    }
    if (BarEnd_ < Columns_)
    {
        if (Accelerate_)
            DrawBar(screen);
        ++WriteColumn_;
        ++BarEnd_;
    }
    else if (Accelerate_)
    {
        if (screen)
            screen->ScrollLeft(0, 0, Columns_ - (BarWidth_ - 1), Rows_);
    }
    else
        MoveRect(DrawingTarget().Bits, 1, 0, Columns_ - 1, Rows_, 0, 0);
}

} // namespace keb
