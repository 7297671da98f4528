#include "settings/LatencyName.h"

namespace keb
{

std::string_view LatencyName(TLatency latency)
{
    return latency == TLatency::Low ? "low" : "standard";
}

std::optional<TLatency> LatencyNamed(std::string_view name)
{
    for (TLatency latency : {TLatency::Standard, TLatency::Low})
        if (name == LatencyName(latency))
            return latency;
    return std::nullopt;
}

} // namespace keb
