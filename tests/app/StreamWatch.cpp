#include "StreamWatch.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace keb::test
{
namespace
{

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

} // namespace

TStreamWatch::TStreamWatch(std::filesystem::path recording, std::filesystem::path played, int rate)
    : recording_(std::move(recording)), played_(std::move(played)), rate_(rate),
      zero_(std::chrono::steady_clock::now())
{
}

void TStreamWatch::Sample(std::int64_t pid)
{
    const std::int64_t read = ReadPosition(pid);
    std::error_code error;
    const auto written = std::filesystem::file_size(played_, error);
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - zero_).count();
    if (read >= 0)
        capture_.Add(now, static_cast<std::uint64_t>(read) / 2);
    if (!error)
        playback_.Add(now, written / 2);
}

std::int64_t TStreamWatch::ReadPosition(std::int64_t pid)
{
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code error;
    const auto names = [&](int descriptor) {
        return std::filesystem::read_symlink(fds / std::to_string(descriptor), error) == recording_;
    };
    if (descriptor_ < 0 || !names(descriptor_))
    {
        descriptor_ = -1;
        for (const auto& entry : std::filesystem::directory_iterator(fds, error))
        {
            const int descriptor = std::stoi(entry.path().filename().string());
            if (names(descriptor))
                descriptor_ = descriptor;
        }
    }
    if (descriptor_ < 0)
        return -1;
    std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + std::to_string(descriptor_));
    std::string key;
    std::int64_t position = -1;
    while (info >> key)
        if (key == "pos:" && info >> position)
            break;
    return position;
}

void TStreamWatch::TStream::Add(double time, std::uint64_t frame)
{
    if (!Frames.empty() && frame == Frames.back())
        return;
    if (!Frames.empty() && frame < Frames.back())
    {
        // Opened again: only the last stream counts.
        Times.clear();
        Frames.clear();
    }
    Times.push_back(time);
    Frames.push_back(frame);
}

double TStreamWatch::TStream::Start(int rate) const
{
    std::vector<double> starts;
    for (std::size_t index = 0; index < Times.size(); ++index)
        if (Frames[index] > 0)
            starts.push_back(Times[index] - static_cast<double>(Frames[index]) / rate);
    return Median(starts);
}

std::uint64_t TStreamWatch::TStream::TypicalStep() const
{
    std::vector<double> steps;
    for (std::size_t index = 1; index < Frames.size(); ++index)
        steps.push_back(static_cast<double>(Frames[index] - Frames[index - 1]));
    return static_cast<std::uint64_t>(Median(steps));
}

} // namespace keb::test
