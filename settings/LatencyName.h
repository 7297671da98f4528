// The two latency modes by name, as the command lines, the menu and keb.conf
// write them; what a mode sets is in LatencyMode.h.
#pragma once

#include <optional>
#include <string_view>

namespace keb
{

enum class TLatency
{
    Standard,
    Low
};

// "standard" or "low".
std::string_view LatencyName(TLatency latency);
// The mode of a name as LatencyName prints it (lower case only); none for
// any other text.
std::optional<TLatency> LatencyNamed(std::string_view name);

} // namespace keb
