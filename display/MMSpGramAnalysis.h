// The waterfall's analysis: one block of PCM samples to one colour value per
// frequency bin.
//
// A block of FFTLength sample frames (8-bit unsigned or 16-bit signed, mono or
// interleaved stereo) is reduced to one series (a channel or the average of
// both), checked for full-scale samples, pre-emphasised, windowed with the
// integer window table (64-bit products, division toward zero), transformed
// with the real FFT, scaled by 1 / (N div 2) into 16-bit integers and turned
// into colour values: 10 + trunc(sqrt(P) x F - 90 - S) on the linear scale,
// 10 + trunc(ln P x 20 x F + 2 x (-90 - S)) on the logarithmic one, with
// P = re^2 + im^2, F the amplitude factor and S the sensitivity. The values
// are not clamped; the line builder clamps them to the palette.
//
// Two guards against wrap-around: a scaled value beyond the 16-bit range is
// held at the range's end instead of keeping its low 16 bits, and P is formed
// in 64 bits, so a full-scale bin never shows as silence.
//
// Cost: every buffer is allocated once for the largest FFT (4096); Analyse
// allocates nothing. Setters clamp silently. Not thread-safe; one thread at a
// time (the GUI thread in the program).
#pragma once

#include "dsp/MMFFT.h"
#include "stream/MMWaveFormat.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace keb
{

enum TMMSpectrogramGain
{
    sgrNone,
    sgr6db,
    sgr12db
};

constexpr int SpectrogramMinFFT = 8;
constexpr int SpectrogramMaxFFT = 4096;
// The palette indices the waterfall draws with: 10 .. 245.
constexpr int SpectrogramPaletteBase = 10;
constexpr int SpectrogramPaletteSize = 236;

class TMMSpectrogramAnalysis
{
  public:
    TMMSpectrogramAnalysis();
    ~TMMSpectrogramAnalysis();
    TMMSpectrogramAnalysis(const TMMSpectrogramAnalysis&) = delete;
    TMMSpectrogramAnalysis& operator=(const TMMSpectrogramAnalysis&) = delete;

    // Clamped to 8 .. 4096, then rounded down to a power of two; rebuilds
    // the FFT plan and the window table.
    int FFTLength() const { return fftLength_; }
    void SetFFTLength(int value);
    TMMFFTWindow Window() const { return window_; }
    void SetWindow(TMMFFTWindow value);
    TMMBits BitLength() const { return bitLength_; }
    void SetBitLength(TMMBits value) { bitLength_ = value == b16Bit ? b16Bit : b8Bit; }
    // mQuadro is ignored.
    TMMMode Mode() const { return mode_; }
    void SetMode(TMMMode value);
    TMMChannel Channel() const { return channel_; }
    void SetChannel(TMMChannel value) { channel_ = value; }
    TMMSpectrogramGain Gain() const { return gain_; }
    void SetGain(TMMSpectrogramGain value) { gain_ = value; }
    bool LogAmp() const { return logAmp_; }
    void SetLogAmp(bool value) { logAmp_ = value; }
    // Clamped to 0 .. 1000, kept as the factor value x 0.01.
    int AmplitudeScale() const;
    void SetAmplitudeScale(int value);
    float AmplitudeFactor() const { return amplitudeFactor_; }
    // Clamped to -90 .. -9.
    int Sensitivy() const { return sensitivy_; }
    void SetSensitivy(int value);

    // (BitLength + 1) x (Mode + 1) x FFTLength.
    std::int32_t BlockBytes() const;
    int Bins() const { return fftLength_ / 2; }

    // Analyses BlockBytes() bytes at block into ColourValues(); calls
    // onOverflow once for every full-scale sample.
    void Analyse(const std::uint8_t* block, const std::function<void()>& onOverflow);
    // One value per bin, Bins() of them valid.
    const std::int32_t* ColourValues() const { return colourValues_.data(); }
    // The scaled 16-bit transform of the last block: FFTLength + 1 values.
    const std::int16_t* Spectrum() const { return spectrum_.data(); }

  private:
    void LoadSeries(const std::uint8_t* block, const std::function<void()>& onOverflow);
    void Emphasise();
    void ApplyWindow();
    void ScaleSpectrum();
    void ComputeColourValues();
    int OverflowThreshold() const;

    int fftLength_ = 0;
    TMMFFTWindow window_ = fwHamming;
    TMMBits bitLength_ = b8Bit;
    TMMMode mode_ = mMono;
    TMMChannel channel_ = chBoth;
    TMMSpectrogramGain gain_ = sgrNone;
    bool logAmp_ = false;
    float amplitudeFactor_ = 1.0f;
    int sensitivy_ = -90;

    struct TPlanDeleter
    {
        void operator()(TRealFFTPlan* plan) const { DoneRealFFT(plan); }
    };
    std::unique_ptr<TRealFFTPlan, TPlanDeleter> plan_;
    std::array<std::int32_t, SpectrogramMaxFFT> windowTable_{};
    std::array<std::int32_t, SpectrogramMaxFFT> series_{};
    std::array<float, SpectrogramMaxFFT + 1> frame_{};
    std::array<std::int16_t, SpectrogramMaxFFT + 1> spectrum_{};
    std::array<std::int32_t, SpectrogramMaxFFT / 2> colourValues_{};
};

} // namespace keb
