#include "PathSignals.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>

namespace keb::test
{
namespace
{

constexpr double Rate = 8000.0;

int Difference(std::int16_t A, std::int16_t B)
{
    return std::abs(static_cast<int>(A) - static_cast<int>(B));
}

// How many samples from Played[End - 1] backwards (Step -1) or Played[End]
// forwards (Step 1) equal Reference at Lag, at most Limit.
std::size_t MatchLength(const std::vector<std::int16_t>& Played,
                        const std::vector<std::int16_t>& Reference, long long Lag,
                        std::size_t Start, int Step, int Tolerance, std::size_t Limit)
{
    std::size_t length = 0;
    for (long long index = static_cast<long long>(Start);
         length < Limit && index >= 0 && index < static_cast<long long>(Played.size());
         index += Step, ++length)
    {
        const long long source = index - Lag;
        if (source < 0 || source >= static_cast<long long>(Reference.size()) ||
            Difference(Played[static_cast<std::size_t>(index)],
                       Reference[static_cast<std::size_t>(source)]) > Tolerance)
            break;
    }
    return length;
}

// The played samples from Start on (Step 1) or before Start (Step -1) to
// Stop, cut into silence, stretches equal to the reference at another lag
// (within MaxShift of Lag), and the samples that are neither.
std::vector<TSegment> Account(const std::vector<std::int16_t>& Played,
                              const std::vector<std::int16_t>& Reference, std::size_t Lag,
                              int Tolerance, std::size_t Start, std::size_t Stop, int Step,
                              std::size_t MaxShift)
{
    // Shorter stretches happen to match at some lag by chance.
    constexpr std::size_t ShortestShifted = 16;
    std::vector<TSegment> segments;
    const auto add = [&](TBlockKind Kind, long long Shift, std::size_t Length)
    {
        if (!segments.empty() && segments.back().Kind == Kind && segments.back().Shift == Shift)
            segments.back().Length += Length;
        else
            segments.push_back({Kind, Shift, Length});
    };
    std::size_t position = Start; // Step -1: the next sample is position - 1
    while (position != Stop)
    {
        const std::size_t left = Step > 0 ? Stop - position : position - Stop;
        const std::size_t at = Step > 0 ? position : position - 1;
        if (Played[at] == 0)
        {
            std::size_t length = 0;
            while (length < left && Played[Step > 0 ? at + length : at - length] == 0)
                ++length;
            add(TBlockKind::Silence, 0, length);
            position = Step > 0 ? position + length : position - length;
            continue;
        }
        std::size_t best = 0;
        long long bestShift = 0;
        const long long range = static_cast<long long>(MaxShift);
        for (long long shift = -range; shift <= range; ++shift)
        {
            const std::size_t length = MatchLength(
                Played, Reference, static_cast<long long>(Lag) + shift, at, Step, Tolerance, left);
            if (length > best)
            {
                best = length;
                bestShift = shift;
            }
        }
        if (best >= ShortestShifted)
        {
            add(TBlockKind::Shifted, bestShift, best);
            position = Step > 0 ? position + best : position - best;
        }
        else
        {
            add(TBlockKind::Different, 0, 1);
            position = Step > 0 ? position + 1 : position - 1;
        }
    }
    return segments;
}

std::string Describe(const std::vector<TSegment>& Segments)
{
    if (Segments.empty())
        return "nothing";
    std::string text;
    for (const auto& segment : Segments)
    {
        if (!text.empty())
            text += ", ";
        text += std::to_string(segment.Length);
        switch (segment.Kind)
        {
        case TBlockKind::Silence:
            text += " silent";
            break;
        case TBlockKind::Shifted:
            text += segment.Shift == 0
                        ? " equal"
                        : " equal " + std::to_string(segment.Shift) + " samples later";
            break;
        case TBlockKind::Different:
            text += " different";
            break;
        }
    }
    return text;
}

} // namespace

std::vector<std::int16_t> TonesAndNoise(double Seconds, std::uint32_t Seed)
{
    struct TTone
    {
        double Frequency;
        double Amplitude;
    };
    constexpr TTone tones[] = {{150, 3000}, {700, 4000}, {1600, 3000}, {3000, 4000}};
    std::mt19937 generator(Seed);
    std::normal_distribution<double> noise(0.0, 1500.0);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(Seconds * Rate));
    for (std::size_t index = 0; index < samples.size(); ++index)
    {
        double value = noise(generator);
        for (const auto& tone : tones)
            value += tone.Amplitude * std::sin(2 * std::numbers::pi * tone.Frequency *
                                               static_cast<double>(index) / Rate);
        samples[index] = static_cast<std::int16_t>(std::clamp(std::lround(value), -32767L, 32767L));
    }
    return samples;
}

std::vector<std::int16_t> ClicksOnTone(std::size_t Length, std::size_t First, std::size_t Spacing,
                                       std::int16_t Height)
{
    std::vector<std::int16_t> samples(Length);
    for (std::size_t index = 0; index < Length; ++index)
        samples[index] = static_cast<std::int16_t>(std::lround(
            1000 * std::sin(2 * std::numbers::pi * 500 * static_cast<double>(index) / Rate)));
    for (std::size_t index = First; index < Length; index += Spacing)
        samples[index] = Height;
    return samples;
}

std::size_t SilentGaps(const std::vector<std::int16_t>& Samples, std::size_t From, std::size_t To,
                       std::size_t Shortest)
{
    std::size_t gaps = 0;
    std::size_t run = 0;
    for (std::size_t index = From; index < To && index < Samples.size(); ++index)
    {
        run = Samples[index] == 0 ? run + 1 : 0;
        gaps += run == Shortest ? 1 : 0;
    }
    return gaps;
}

TLag FindLag(const std::vector<std::int16_t>& Played, const std::vector<std::int16_t>& Reference,
             std::size_t From, std::size_t Count, std::size_t MaxLag)
{
    TLag best;
    double referencePower = 0;
    for (std::size_t index = From; index < From + Count && index < Reference.size(); ++index)
        referencePower += static_cast<double>(Reference[index]) * Reference[index];
    for (std::size_t lag = 0; lag <= MaxLag; ++lag)
    {
        double product = 0;
        double playedPower = 0;
        for (std::size_t index = From;
             index < From + Count && index < Reference.size() && index + lag < Played.size();
             ++index)
        {
            const double played = Played[index + lag];
            product += played * Reference[index];
            playedPower += played * played;
        }
        if (playedPower == 0 || referencePower == 0)
            continue;
        const double correlation = product / std::sqrt(playedPower * referencePower);
        if (correlation > best.Correlation)
            best = {lag, correlation};
    }
    return best;
}

TComparison Compare(const std::vector<std::int16_t>& Played,
                    const std::vector<std::int16_t>& Reference, std::size_t Lag, int Tolerance,
                    std::size_t MaxShift)
{
    TComparison result;
    result.Lag = Lag;
    const std::size_t first = Lag;
    const std::size_t end = std::min(Played.size(), Reference.size() + Lag);
    for (std::size_t index = first; index < end;)
    {
        const std::size_t length = MatchLength(Played, Reference, static_cast<long long>(Lag),
                                               index, 1, Tolerance, end - index);
        if (length > result.RunLength())
        {
            result.RunFirst = index;
            result.RunEnd = index + length;
        }
        index += std::max<std::size_t>(length, 1);
    }
    for (std::size_t index = result.RunFirst; index < result.RunEnd; ++index)
    {
        const int difference = Difference(Played[index], Reference[index - Lag]);
        result.LargestDifference = std::max(result.LargestDifference, difference);
        result.Unequal += difference != 0 ? 1 : 0;
    }
    result.Before = Account(Played, Reference, Lag, Tolerance, result.RunFirst, 0, -1, MaxShift);
    result.After =
        Account(Played, Reference, Lag, Tolerance, result.RunEnd, Played.size(), 1, MaxShift);
    return result;
}

std::size_t TComparison::Count(const std::vector<TSegment>& Segments, TBlockKind Kind)
{
    std::size_t count = 0;
    for (const auto& segment : Segments)
        if (segment.Kind == Kind)
            count += segment.Length;
    return count;
}

std::string TComparison::Summary() const
{
    char milliseconds[32];
    std::snprintf(milliseconds, sizeof milliseconds, "%.1f",
                  static_cast<double>(Lag) * 1000.0 / Rate);
    return "lag " + std::to_string(Lag) + " samples (" + milliseconds + " ms); " +
           std::to_string(RunLength()) + " samples matched in one run from played sample " +
           std::to_string(RunFirst) + " (" + std::to_string(Unequal) +
           " of them not equal), largest difference " + std::to_string(LargestDifference) +
           "; before the run (backwards): " + Describe(Before) + "; after it: " + Describe(After);
}

std::size_t Peak(const std::vector<std::int16_t>& Samples, std::size_t From, std::size_t To)
{
    std::size_t peak = To;
    int largest = 0;
    for (std::size_t index = From; index < To && index < Samples.size(); ++index)
        if (std::abs(static_cast<int>(Samples[index])) > largest)
        {
            largest = std::abs(static_cast<int>(Samples[index]));
            peak = index;
        }
    return peak;
}

double Rms(const std::vector<std::int16_t>& Samples, std::size_t From, std::size_t To)
{
    double power = 0;
    for (std::size_t index = From; index < To; ++index)
        power += static_cast<double>(Samples[index]) * Samples[index];
    return To > From ? std::sqrt(power / static_cast<double>(To - From)) : 0.0;
}

} // namespace keb::test
