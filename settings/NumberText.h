// Numbers typed on a command line: the whole text must be the number, in
// the C locale, with nothing before or after it.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace keb
{

template <typename T> std::optional<T> NumberIn(std::string_view text)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace keb
