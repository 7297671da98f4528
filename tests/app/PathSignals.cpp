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

int Difference(std::int16_t a, std::int16_t b)
{
    return std::abs(static_cast<int>(a) - static_cast<int>(b));
}

// How many samples from Played[End - 1] backwards (Step -1) or Played[End]
// forwards (Step 1) equal Reference at Lag, at most Limit.
std::size_t MatchLength(const std::vector<std::int16_t>& played,
                        const std::vector<std::int16_t>& reference, long long lag,
                        std::size_t start, int step, int tolerance, std::size_t limit)
{
    std::size_t length = 0;
    for (long long index = static_cast<long long>(start);
         length < limit && index >= 0 && index < static_cast<long long>(played.size());
         index += step, ++length)
    {
        const long long source = index - lag;
        if (source < 0 || source >= static_cast<long long>(reference.size()) ||
            Difference(played[static_cast<std::size_t>(index)],
                       reference[static_cast<std::size_t>(source)]) > tolerance)
            break;
    }
    return length;
}

// The played samples from Start on (Step 1) or before Start (Step -1) to
// Stop, cut into silence, stretches equal to the reference at another lag
// (within MaxShift of Lag), and the samples that are neither.
std::vector<TSegment> Account(const std::vector<std::int16_t>& played,
                              const std::vector<std::int16_t>& reference, std::size_t lag,
                              int tolerance, std::size_t start, std::size_t stop, int step,
                              std::size_t maxShift)
{
    // Shorter stretches happen to match at some lag by chance.
    constexpr std::size_t shortestShifted = 16;
    std::vector<TSegment> segments;
    const auto add = [&](TBlockKind kind, long long shift, std::size_t length)
    {
        if (!segments.empty() && segments.back().Kind == kind && segments.back().Shift == shift)
            segments.back().Length += length;
        else
            segments.push_back({kind, shift, length});
    };
    std::size_t position = start; // Step -1: the next sample is position - 1
    while (position != stop)
    {
        const std::size_t left = step > 0 ? stop - position : position - stop;
        const std::size_t at = step > 0 ? position : position - 1;
        if (played[at] == 0)
        {
            std::size_t length = 0;
            while (length < left && played[step > 0 ? at + length : at - length] == 0)
                ++length;
            add(TBlockKind::Silence, 0, length);
            position = step > 0 ? position + length : position - length;
            continue;
        }
        std::size_t best = 0;
        long long bestShift = 0;
        const long long range = static_cast<long long>(maxShift);
        for (long long shift = -range; shift <= range; ++shift)
        {
            const std::size_t length = MatchLength(
                played, reference, static_cast<long long>(lag) + shift, at, step, tolerance, left);
            if (length > best)
            {
                best = length;
                bestShift = shift;
            }
        }
        if (best >= shortestShifted)
        {
            add(TBlockKind::Shifted, bestShift, best);
            position = step > 0 ? position + best : position - best;
        }
        else
        {
            add(TBlockKind::Different, 0, 1);
            position = step > 0 ? position + 1 : position - 1;
        }
    }
    return segments;
}

std::string Describe(const std::vector<TSegment>& segments)
{
    if (segments.empty())
        return "nothing";
    std::string text;
    for (const auto& segment : segments)
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

std::vector<std::int16_t> TonesAndNoise(double seconds, std::uint32_t seed)
{
    struct TTone
    {
        double Frequency;
        double Amplitude;
    };
    constexpr TTone tones[] = {{150, 3000}, {700, 4000}, {1600, 3000}, {3000, 4000}};
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0.0, 1500.0);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * Rate));
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

std::vector<std::int16_t> ClicksOnTone(std::size_t length, std::size_t first, std::size_t spacing,
                                       std::int16_t height)
{
    std::vector<std::int16_t> samples(length);
    for (std::size_t index = 0; index < length; ++index)
        samples[index] = static_cast<std::int16_t>(std::lround(
            1000 * std::sin(2 * std::numbers::pi * 500 * static_cast<double>(index) / Rate)));
    for (std::size_t index = first; index < length; index += spacing)
        samples[index] = height;
    return samples;
}

std::size_t SilentGaps(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to,
                       std::size_t shortest)
{
    std::size_t gaps = 0;
    std::size_t run = 0;
    for (std::size_t index = from; index < to && index < samples.size(); ++index)
    {
        run = samples[index] == 0 ? run + 1 : 0;
        gaps += run == shortest ? 1 : 0;
    }
    return gaps;
}

TLag FindLag(const std::vector<std::int16_t>& played, const std::vector<std::int16_t>& reference,
             std::size_t from, std::size_t count, std::size_t maxLag)
{
    TLag best;
    double referencePower = 0;
    for (std::size_t index = from; index < from + count && index < reference.size(); ++index)
        referencePower += static_cast<double>(reference[index]) * reference[index];
    for (std::size_t lag = 0; lag <= maxLag; ++lag)
    {
        double product = 0;
        double playedPower = 0;
        for (std::size_t index = from;
             index < from + count && index < reference.size() && index + lag < played.size();
             ++index)
        {
            const double sample = played[index + lag];
            product += sample * reference[index];
            playedPower += sample * sample;
        }
        if (playedPower == 0 || referencePower == 0)
            continue;
        const double correlation = product / std::sqrt(playedPower * referencePower);
        if (correlation > best.Correlation)
            best = {lag, correlation};
    }
    return best;
}

TComparison Compare(const std::vector<std::int16_t>& played,
                    const std::vector<std::int16_t>& reference, std::size_t lag, int tolerance,
                    std::size_t maxShift)
{
    TComparison result;
    result.Lag = lag;
    const std::size_t first = lag;
    const std::size_t end = std::min(played.size(), reference.size() + lag);
    for (std::size_t index = first; index < end;)
    {
        const std::size_t length = MatchLength(played, reference, static_cast<long long>(lag),
                                               index, 1, tolerance, end - index);
        if (length > result.RunLength())
        {
            result.RunFirst = index;
            result.RunEnd = index + length;
        }
        index += std::max<std::size_t>(length, 1);
    }
    for (std::size_t index = result.RunFirst; index < result.RunEnd; ++index)
    {
        const int difference = Difference(played[index], reference[index - lag]);
        result.LargestDifference = std::max(result.LargestDifference, difference);
        result.Unequal += difference != 0 ? 1 : 0;
    }
    result.Before = Account(played, reference, lag, tolerance, result.RunFirst, 0, -1, maxShift);
    result.After =
        Account(played, reference, lag, tolerance, result.RunEnd, played.size(), 1, maxShift);
    return result;
}

std::size_t TComparison::Count(const std::vector<TSegment>& segments, TBlockKind kind)
{
    std::size_t count = 0;
    for (const auto& segment : segments)
        if (segment.Kind == kind)
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

std::size_t Peak(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to)
{
    std::size_t peak = to;
    int largest = 0;
    for (std::size_t index = from; index < to && index < samples.size(); ++index)
        if (std::abs(static_cast<int>(samples[index])) > largest)
        {
            largest = std::abs(static_cast<int>(samples[index]));
            peak = index;
        }
    return peak;
}

double Rms(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to)
{
    double power = 0;
    for (std::size_t index = from; index < to; ++index)
        power += static_cast<double>(samples[index]) * samples[index];
    return to > from ? std::sqrt(power / static_cast<double>(to - from)) : 0.0;
}

} // namespace keb::test
