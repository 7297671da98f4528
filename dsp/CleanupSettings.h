// The settings of the notch filter and the noise reducer as the window and
// keb-filter share them: the noise reduction level, the automatic notch and
// the user's notch frequencies, with the texts that name them on a command
// line and in the settings file.
//
//   level:    "off" or 0, 1, 2, 3
//   notches:  up to four frequencies in Hz separated by commas ("800,1450"),
//             each from MinNotchHz to MaxNotchHz; "" for none
#pragma once

#include "dsp/NoiseReducer.h"
#include "dsp/NotchFilter.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keb
{

inline constexpr float MinNotchHz = 20.0f;
// The notches reach 0.45 of the window's 8000 Hz.
inline constexpr float MaxNotchHz = 3600.0f;

struct TCleanupSettings
{
    int NoiseReduction = 0;
    bool AutomaticNotch = false;
    std::vector<float> Notches;

    bool operator==(const TCleanupSettings&) const = default;
};

std::optional<int> NoiseLevelNamed(std::string_view text);
std::string NoiseLevelName(int level);
std::optional<std::vector<float>> NotchListNamed(std::string_view text);
std::string NotchListName(const std::vector<float>& notches);

// The one-line causes of a refused --nr or --notch-at value.
std::string NoiseLevelRefusal(std::string_view text);
std::string NotchListRefusal(std::string_view text);

// Sets both components; usable while audio runs.
void ApplyCleanup(const TCleanupSettings& settings, TMMNotchFilter& notch,
                  TMMNoiseReducer& reducer);
TCleanupSettings CleanupOf(const TMMNotchFilter& notch, const TMMNoiseReducer& reducer);

} // namespace keb
