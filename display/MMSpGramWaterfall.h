// TMMWaterfall: the spectrogram without its window. It analyses each block a
// connector hands it (MMSpGramAnalysis.h), maps the colour values onto the
// pixel rows (MMSpGramMap.h) and writes one column per block into an 8-bit
// DIB canvas, in wipe or scroll mode, with the bar that leads the newest
// column and its frequency ticks. The off-line tool uses it as it is; the
// spectrogram control (MMSpGram.h) adds the window, the bevel, the scale
// strips and the frequency box.
//
// Picture: columns x rows pixels, frequency upwards, time left to right. After
// a restart the write column is -BarWidth, so the first BarWidth lines fall
// left of the picture; in wipe mode the bar then leads the newest line by
// BarWidth columns, in scroll mode the newest line stays BarWidth columns
// left of the right edge. With Accelerate the bar is drawn on the screen
// only and a new line copies one column to the screen.
//
// Restart: every waterfall that joined the registry (the program's controls
// do) restarts at its next line when another one redraws itself in full.
//
// Setters clamp silently (see each); SetDisplayFormat raises
// EMMSpectrogramError "Invalid WaveFormat" for a format that is not valid
// PCM. All of it runs in the GUI thread; the canvas must outlive the
// waterfall.
#pragma once

#include "display/MMDIBCv.h"
#include "display/MMDisplay.h"
#include "display/MMSpGramAnalysis.h"
#include "display/MMSpGramMap.h"
#include "display/MMSpGramPalette.h"

#include <functional>
#include <vector>

namespace keb
{

KEB_EXCEPTION_CLASS(EMMSpectrogramError, Exception);

class TMMWaterfall : public TMMAnalyserDisplay
{
  public:
    explicit TMMWaterfall(TMMDIBCanvas& canvas);
    ~TMMWaterfall() override;
    TMMWaterfall(const TMMWaterfall&) = delete;
    TMMWaterfall& operator=(const TMMWaterfall&) = delete;

    // The connector's side.
    void SetDisplayFormat(const TWaveFormatEx& format) override;
    // Analyses the block and draws one line.
    void ProcessBlock(const std::uint8_t* block) override;
    // Starts the picture afresh at the next line.
    void ResetDisplay() override;
    std::int32_t BlockBytes() const override { return analysis_.BlockBytes(); }
    bool Accelerate() const override { return accelerate_; }
    std::int32_t FFTLength() const override { return analysis_.FFTLength(); }
    TMMBits BitLength() const override { return analysis_.BitLength(); }
    TMMMode Mode() const override { return analysis_.Mode(); }
    bool Scroll() const override { return scroll_; }

    // Properties. "Repaints" means RepaintPicture.
    void SetAccelerate(bool value);   // off while scrolling: repaints
    void SetScroll(bool value);       // repaints
    void SetFFTLength(int value);     // 8 .. 4096, power of two; repaints
    void SetBitLength(TMMBits value); // b8Bit, b16Bit; repaints
    void SetMode(TMMMode value);      // mMono, mStereo (mQuadro ignored); repaints
    TMMChannel Channel() const { return analysis_.Channel(); }
    void SetChannel(TMMChannel value);             // repaints
    int SampleRate() const { return sampleRate_; } // Hz
    void SetSampleRate(int value);                 // Hz, 8000 .. 100000; repaints
    TMMSpectrogramGain Gain() const { return analysis_.Gain(); }
    void SetGain(TMMSpectrogramGain value) { analysis_.SetGain(value); }
    TMMFFTWindow Window() const { return analysis_.Window(); }
    void SetWindow(TMMFFTWindow value) { analysis_.SetWindow(value); }
    bool LogAmp() const { return analysis_.LogAmp(); }
    void SetLogAmp(bool value) { analysis_.SetLogAmp(value); }
    int AmplitudeScale() const { return analysis_.AmplitudeScale(); }
    void SetAmplitudeScale(int value) { analysis_.SetAmplitudeScale(value); } // 0 .. 1000
    int Sensitivy() const { return analysis_.Sensitivy(); }
    void SetSensitivy(int value) { analysis_.SetSensitivy(value); } // -90 .. -9
    bool Embossed() const { return embossed_; }
    void SetEmbossed(bool value);                                          // repaints
    int FrequencyBase() const { return static_cast<int>(frequencyBase_); } // Hz
    void SetFrequencyBase(int value); // Hz, at least 0, see ClampFrequencyBase; repaints
    int FrequencyScale() const { return static_cast<int>(frequencyScale_); }
    void SetFrequencyScale(int value); // 1 .. 16; repaints
    TDIBColor BarColor() const { return barColor_; }
    void SetBarColor(TDIBColor value); // repaints
    TDIBColor BarTickColor() const { return barTickColor_; }
    void SetBarTickColor(TDIBColor value);     // repaints
    int BarWidth() const { return barWidth_; } // pixels
    void SetBarWidth(int value);               // at least 1; repaints
    TMMSpectrogramPalette PaletteTyp() const { return paletteTyp_; }
    void SetPaletteTyp(TMMSpectrogramPalette value); // palette rebuilt unless loading

    // Fired once for every analysed full-scale sample.
    std::function<void(TMMWaterfall* sender)> OnPcmOverflow;

    // The picture's size (at least 4 x 4): sizes the canvas and rebuilds the
    // frequency map and the ticks.
    void SetPictureSize(int columns, int rows);
    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    const TFrequencyMap& FrequencyMap() const { return map_; }
    int TickCount() const { return tickCount_; }
    int WriteColumn() const { return writeColumn_; }
    int BarEnd() const { return barEnd_; }
    bool RestartFlag() const { return restartFlag_; }
    const TMMSpectrogramAnalysis& Analysis() const { return analysis_; }
    TMMDIBCanvas& PictureCanvas() { return canvas_; }

    // Hands the canvas the palette of PaletteTyp.
    void ApplyPalette();
    // Rebuilds the frequency map and the tick count (skipped while loading).
    void RebuildFrequencyMap();
    // Runs the analysis of one block without drawing.
    void AnalyseBlock(const std::uint8_t* block);
    // Draws the line of the last block: full starts the picture afresh (a
    // paint); the screen, when given, receives the copies to the display
    // area (coordinates relative to it).
    void DrawLine(bool full, TDIBScreen* screen);

  protected:
    // Asks for a full redraw; here: the next line restarts the picture.
    virtual void RepaintPicture() { restartFlag_ = true; }
    // True while stored settings are applied: map and palette wait.
    virtual bool SettingsLoading() const { return false; }
    // A colour value as RGB (the control resolves system colours).
    virtual TDIBColor ResolveColor(TDIBColor color) const { return color & 0xFFFFFF; }
    virtual void PcmOverflow();

    // Run-time waterfalls share restarts through the registry.
    void JoinRegistry();
    void LeaveRegistry();

  private:
    void DrawBar(TDIBScreen* screen);
    void Advance(TDIBScreen* screen);
    void RestartOthers();

    TMMDIBCanvas& canvas_;
    TMMSpectrogramAnalysis analysis_;
    TMMLineBuilder lineBuilder_;
    TFrequencyMap map_;
    std::vector<std::uint8_t> line_;
    std::function<void()> overflowHandler_;

    bool accelerate_ = true;
    bool scroll_ = false;
    bool embossed_ = false;
    int sampleRate_ = 11025;     // Hz
    float frequencyBase_ = 0.0f; // Hz
    float frequencyScale_ = 1.0f;
    TDIBColor barColor_ = 8421504;
    TDIBColor barTickColor_ = 16777215;
    int barWidth_ = 5; // pixels
    TMMSpectrogramPalette paletteTyp_ = spThreshold;

    int columns_ = 0;
    int rows_ = 0;
    int tickCount_ = 1;
    int writeColumn_ = -5;
    int barEnd_ = 0;
    bool restartFlag_ = false;
    bool registered_ = false;
};

} // namespace keb
