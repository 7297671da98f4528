// TMMGenerator: a stream component that produces a test signal (sine,
// square, triangle, sawtooth up or down, noise) as the source of a chain, or
// modulates the audio passing through it with that signal.
//
// The signal is one period held in a table of 100000 signed 16-bit values
// (peak 32767 for 16-bit output, 127 for 8-bit), read with a fractional
// phase that advances by Frequency * 100000 / SampleRate per value and wraps
// at 99999 so that the rounded index stays inside the table. Amplitude 16384
// is unity gain for the table.
//
// As a source (no Input): BufferLoad fills dwBufferLength bytes with the
// signal, or with silence while disabled, and always reports more data.
// As a modulator (with an Input, pushed or pulled): moAM multiplies the audio
// by the signal and keeps DryAmplitude/16384 of the dry audio; moFM (16-bit
// only) replaces the audio by the signal whose frequency the audio steers
// between 0 and twice Frequency; moPM leaves the audio unchanged. Results are
// clipped to the sample range.
//
// Clamped silently: SampleRate to 8000 .. 88200, Frequency to 0.01 .. 100000
// (NaN is ignored), Amplitude and DryAmplitude to 16384; Mode mQuadro is
// ignored. Noise tables come from a Mersenne twister seeded from the clock
// when the generator is created. SetWaveFormat raises EMMGeneratorError "Invalid
// WaveFormat" for a format that is not 8/16-bit mono/stereo PCM at 4000 ..
// 100000 Hz; nothing is stored or passed on then.
//
// Threads: setters and chain notifications run in the main thread; BufferLoad
// and BufferReady in the audio thread. The audio thread takes a snapshot of
// the settings per buffer. The table is built when the chain opens and
// rebuilt in place when WaveForm changes while open, so one buffer may mix
// values of both shapes; every table entry is an atomic value, so that is a
// benign mix, not a data race. Nothing is allocated per buffer.
#pragma once

#include "platform/core/Exceptions.h"
#include "stream/MMDSPObj.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>

namespace keb
{

KEB_EXCEPTION_CLASS(EMMGeneratorError, Exception);

enum TMMWaveForm
{
    wfSine,
    wfSquare,
    wfTriangle,
    wfSawtoothPos,
    wfSawtoothNeg,
    wfNoise
};

enum TMMModulation
{
    moAM,
    moFM,
    moPM
};

// 0 .. 16384; 16384 is unity gain.
using TMMVolumeRange = std::uint16_t;

// One period of the signal, read with a fractional phase.
class TMMWaveTable
{
  public:
    static constexpr int Length = 100000;
    static constexpr double PhaseWrap = 99999.0;

    TMMWaveTable();

    // Fills every entry; peak is 32767 or 127. Noise draws from random.
    void Build(TMMWaveForm form, int peak, std::mt19937& random);
    std::int16_t Value(int index) const { return entries_[index].load(std::memory_order_relaxed); }

    // The value at the rounded phase scaled by amplitude/16384; then the phase
    // advances by step and wraps at PhaseWrap.
    int Next(double& phase, double step, int amplitude) const;

  private:
    std::unique_ptr<std::atomic<std::int16_t>[]> entries_;
};

class TMMGenerator : public TMMDSPComponent
{
  public:
    explicit TMMGenerator(TComponent* owner);
    ~TMMGenerator() override;

    bool Enabled() const { return enabled_.load(std::memory_order_relaxed); }
    void SetEnabled(bool value) { enabled_.store(value, std::memory_order_relaxed); }
    int SampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
    void SetSampleRate(int value);
    TMMBits BitLength() const { return bitLength_.load(std::memory_order_relaxed); }
    void SetBitLength(TMMBits value);
    TMMChannel Channel() const { return channel_.load(std::memory_order_relaxed); }
    void SetChannel(TMMChannel value) { channel_.store(value, std::memory_order_relaxed); }
    TMMMode Mode() const { return mode_.load(std::memory_order_relaxed); }
    void SetMode(TMMMode value);
    TMMWaveForm WaveForm() const { return waveForm_.load(std::memory_order_relaxed); }
    void SetWaveForm(TMMWaveForm value);
    TMMModulation Modulation() const { return modulation_.load(std::memory_order_relaxed); }
    void SetModulation(TMMModulation value) { modulation_.store(value, std::memory_order_relaxed); }
    double Frequency() const { return frequency_.load(std::memory_order_relaxed); }
    void SetFrequency(double value);
    TMMVolumeRange Amplitude() const { return amplitude_.load(std::memory_order_relaxed); }
    void SetAmplitude(TMMVolumeRange value);
    TMMVolumeRange DryAmplitude() const { return dry_.load(std::memory_order_relaxed); }
    void SetDryAmplitude(TMMVolumeRange value);

    void SetWaveFormat(const TWaveFormatEx* Format) override;
    void ChainOpened() override;
    void ChainClosed() override;
    void ChainStarted() override;
    void BufferReady(PWaveHdr lpWaveHdr) override;
    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override;

  private:
    struct TSettings;

    TSettings Snapshot() const;
    void UpdateFormat();
    void BuildWaveTable();
    void Synthesize(std::uint8_t* data, int bytes);
    void Modulate(std::uint8_t* data, int bytes);

    std::atomic<bool> active_{false};
    std::atomic<bool> enabled_{true};
    std::atomic<std::uint8_t> silenceByte_{128};
    std::atomic<TMMBits> bitLength_{b8Bit};
    std::atomic<TMMChannel> channel_{chBoth};
    std::atomic<TMMMode> mode_{mMono};
    std::atomic<int> sampleRate_{11025};
    std::atomic<TMMWaveForm> waveForm_{wfSine};
    std::atomic<TMMModulation> modulation_{moAM};
    std::atomic<double> frequency_{1000.0};
    std::atomic<TMMVolumeRange> amplitude_{16384};
    std::atomic<TMMVolumeRange> dry_{0};
    TWaveFormatEx ownFormat_{};
    TMMWaveTable table_;
    std::atomic<double> phase_{0.0};
    std::mt19937 random_;
};

} // namespace keb
