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
    int FFTLength() const { return FFTLength_; }
    void SetFFTLength(int value);
    TMMFFTWindow Window() const { return Window_; }
    void SetWindow(TMMFFTWindow value);
    TMMBits BitLength() const { return BitLength_; }
    void SetBitLength(TMMBits value) { BitLength_ = value == b16Bit ? b16Bit : b8Bit; }
    // mQuadro is ignored.
    TMMMode Mode() const { return Mode_; }
    void SetMode(TMMMode value);
    TMMChannel Channel() const { return Channel_; }
    void SetChannel(TMMChannel value) { Channel_ = value; }
    TMMSpectrogramGain Gain() const { return Gain_; }
    void SetGain(TMMSpectrogramGain value) { Gain_ = value; }
    bool LogAmp() const { return LogAmp_; }
    void SetLogAmp(bool value) { LogAmp_ = value; }
    // Clamped to 0 .. 1000, kept as the factor value x 0.01.
    int AmplitudeScale() const;
    void SetAmplitudeScale(int value);
    float AmplitudeFactor() const { return AmplitudeFactor_; }
    // Clamped to -90 .. -9.
    int Sensitivy() const { return Sensitivy_; }
    void SetSensitivy(int value);

    // (BitLength + 1) x (Mode + 1) x FFTLength.
    std::int32_t BlockBytes() const;
    int Bins() const { return FFTLength_ / 2; }

    // Analyses BlockBytes() bytes at block into ColourValues(); calls
    // onOverflow once for every full-scale sample.
    void Analyse(const std::uint8_t* block, const std::function<void()>& onOverflow);
    // One value per bin, Bins() of them valid.
    const std::int32_t* ColourValues() const { return ColourValues_.data(); }
    // The scaled 16-bit transform of the last block: FFTLength + 1 values.
    const std::int16_t* Spectrum() const { return Spectrum_.data(); }

  private:
    void LoadSeries(const std::uint8_t* block, const std::function<void()>& onOverflow);
    void Emphasise();
    void ApplyWindow();
    void ScaleSpectrum();
    void ComputeColourValues();
    int OverflowThreshold() const;

    int FFTLength_ = 0;
    TMMFFTWindow Window_ = fwHamming;
    TMMBits BitLength_ = b8Bit;
    TMMMode Mode_ = mMono;
    TMMChannel Channel_ = chBoth;
    TMMSpectrogramGain Gain_ = sgrNone;
    bool LogAmp_ = false;
    float AmplitudeFactor_ = 1.0f;
    int Sensitivy_ = -90;

    struct TPlanDeleter
    {
        void operator()(TRealFFTPlan* plan) const { DoneRealFFT(plan); }
    };
    std::unique_ptr<TRealFFTPlan, TPlanDeleter> Plan_;
    std::array<std::int32_t, SpectrogramMaxFFT> WindowTable_{};
    std::array<std::int32_t, SpectrogramMaxFFT> Series_{};
    std::array<float, SpectrogramMaxFFT + 1> Frame_{};
    std::array<std::int16_t, SpectrogramMaxFFT + 1> Spectrum_{};
    std::array<std::int32_t, SpectrogramMaxFFT / 2> ColourValues_{};
};

} // namespace keb
