#include "dsp/CleanupSettings.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace keb
{

namespace
{

std::optional<float> Frequency(std::string_view text)
{
    float value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value) ||
        value < MinNotchHz || value > MaxNotchHz)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> NoiseLevelNamed(std::string_view text)
{
    if (text == "off" || text == "0")
        return 0;
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '3')
        return text[0] - '0';
    return std::nullopt;
}

std::string NoiseLevelName(int level)
{
    return level <= 0 ? "off" : std::to_string(std::min(level, TMMNoiseReducer::MaxLevel));
}

std::optional<std::vector<float>> NotchListNamed(std::string_view text)
{
    std::vector<float> notches;
    if (text.empty())
        return notches;
    while (true)
    {
        const std::size_t comma = text.find(',');
        const std::optional<float> frequency = Frequency(text.substr(0, comma));
        if (!frequency || static_cast<int>(notches.size()) == TMMNotchFilter::MaxManualNotches)
            return std::nullopt;
        notches.push_back(*frequency);
        if (comma == std::string_view::npos)
            return notches;
        text.remove_prefix(comma + 1);
    }
}

std::string NotchListName(const std::vector<float>& notches)
{
    std::ostringstream text;
    for (std::size_t i = 0; i < notches.size(); ++i)
        text << (i ? "," : "") << notches[i];
    return text.str();
}

std::string NoiseLevelRefusal(std::string_view text)
{
    return "--nr wants off, 1, 2 or 3, not \"" + std::string(text) + "\"";
}

std::string NotchListRefusal(std::string_view text)
{
    return "--notch-at wants up to four frequencies from 20 to 3600 Hz separated by commas, "
           "not \"" +
           std::string(text) + "\"";
}

void ApplyCleanup(const TCleanupSettings& settings, TMMNotchFilter& notch, TMMNoiseReducer& reducer)
{
    reducer.SetLevel(settings.NoiseReduction);
    notch.SetAutomatic(settings.AutomaticNotch);
    notch.SetManualNotches(settings.Notches);
}

TCleanupSettings CleanupOf(const TMMNotchFilter& notch, const TMMNoiseReducer& reducer)
{
    return {reducer.Level(), notch.Automatic(), notch.ManualNotches()};
}

} // namespace keb
