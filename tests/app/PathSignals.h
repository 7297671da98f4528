// Recordings for the real path and the analysis of what it played.
//
// Played audio is compared with a reference (what the offline filter makes
// of the same recording) after a lag found by cross-correlation: Played[i +
// Lag] against Reference[i]. The ring buffer between capture and playback
// plays silence until it has filled once, may repeat its last block when it
// runs dry and may overwrite an unread block when capture runs ahead; so
// the comparison looks for the longest run of equal samples and accounts
// for the blocks outside it one by one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace keb::test
{

// Tones in the 1.8 kHz preset's passband (700 and 1600 Hz) and outside it
// (150 and 3000 Hz) under seeded white noise, 8000 Hz.
std::vector<std::int16_t> TonesAndNoise(double seconds, std::uint32_t seed);

// A quiet 500 Hz tone (amplitude 1000) with a one-sample click of Height at
// First, First + Spacing, ...: the clicks time the path, the tone shows its
// gaps.
std::vector<std::int16_t> ClicksOnTone(std::size_t length, std::size_t first, std::size_t spacing,
                                       std::int16_t height);

// The number of runs of at least Shortest zero samples in Samples[From, To).
std::size_t SilentGaps(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to,
                       std::size_t shortest);

struct TLag
{
    std::size_t Lag = 0;
    double Correlation = 0; // normalised: 1 for equal shapes
};

// The lag 0 .. MaxLag at which Played[From + Lag ..] is most like
// Reference[From .. From + Count).
TLag FindLag(const std::vector<std::int16_t>& played, const std::vector<std::int16_t>& reference,
             std::size_t from, std::size_t count, std::size_t maxLag);

// How a stretch of played audio outside the matching run came about.
enum class TBlockKind
{
    Silence,  // all zero: the queue had not filled yet, or the device ran dry
    Shifted,  // matches the reference at a lag near the run's (Shift 0: at the run's lag)
    Different // neither: the filter's transition across such a splice
};

struct TSegment
{
    TBlockKind Kind;
    long long Shift; // Shifted: the stretch's lag minus the run's lag
    std::size_t Length;
};

struct TComparison
{
    std::size_t Lag = 0;
    std::size_t RunFirst = 0; // played indexes of the longest run of equal samples
    std::size_t RunEnd = 0;
    int LargestDifference = 0; // of the samples inside the run
    std::size_t Unequal = 0;   // samples inside the run that differ at all
    // The played audio before the run (from the run backwards) and after it.
    std::vector<TSegment> Before, After;

    std::size_t RunLength() const { return RunEnd - RunFirst; }
    static std::size_t Count(const std::vector<TSegment>& segments, TBlockKind kind);
    std::string Summary() const;
};

// Compares Played with Reference at Lag: the longest run where the two
// differ by at most Tolerance, then the played audio before and after it,
// cut into segments (a shifted stretch: within MaxShift samples of Lag).
TComparison Compare(const std::vector<std::int16_t>& played,
                    const std::vector<std::int16_t>& reference, std::size_t lag, int tolerance,
                    std::size_t maxShift);

// The index of the largest |sample| in Samples[From, To), or To if all are 0.
std::size_t Peak(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to);

double Rms(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to);

} // namespace keb::test
