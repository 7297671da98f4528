#include "StreamWatch.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace keb::test
{
namespace
{

double Median(std::vector<double> Values)
{
    if (Values.empty())
        return 0;
    std::nth_element(Values.begin(), Values.begin() + Values.size() / 2, Values.end());
    return Values[Values.size() / 2];
}

} // namespace

TStreamWatch::TStreamWatch(std::filesystem::path Recording, std::filesystem::path Played, int Rate)
    : Recording_(std::move(Recording)), Played_(std::move(Played)), Rate_(Rate),
      Zero_(std::chrono::steady_clock::now())
{
}

void TStreamWatch::Sample(std::int64_t Pid)
{
    const std::int64_t read = ReadPosition(Pid);
    std::error_code error;
    const auto written = std::filesystem::file_size(Played_, error);
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Zero_).count();
    if (read >= 0)
        Capture_.Add(now, static_cast<std::uint64_t>(read) / 2);
    if (!error)
        Playback_.Add(now, written / 2);
}

std::int64_t TStreamWatch::ReadPosition(std::int64_t Pid)
{
    const std::filesystem::path fds = "/proc/" + std::to_string(Pid) + "/fd";
    std::error_code error;
    const auto names = [&](int Descriptor) {
        return std::filesystem::read_symlink(fds / std::to_string(Descriptor), error) == Recording_;
    };
    if (Descriptor_ < 0 || !names(Descriptor_))
    {
        Descriptor_ = -1;
        for (const auto& entry : std::filesystem::directory_iterator(fds, error))
        {
            const int descriptor = std::stoi(entry.path().filename().string());
            if (names(descriptor))
                Descriptor_ = descriptor;
        }
    }
    if (Descriptor_ < 0)
        return -1;
    std::ifstream info("/proc/" + std::to_string(Pid) + "/fdinfo/" + std::to_string(Descriptor_));
    std::string key;
    std::int64_t position = -1;
    while (info >> key)
        if (key == "pos:" && info >> position)
            break;
    return position;
}

void TStreamWatch::TStream::Add(double Time, std::uint64_t Frame)
{
    if (!Frames.empty() && Frame == Frames.back())
        return;
    if (!Frames.empty() && Frame < Frames.back())
    {
        // Opened again: only the last stream counts.
        Times.clear();
        Frames.clear();
    }
    Times.push_back(Time);
    Frames.push_back(Frame);
}

double TStreamWatch::TStream::Start(int Rate) const
{
    std::vector<double> starts;
    for (std::size_t index = 0; index < Times.size(); ++index)
        if (Frames[index] > 0)
            starts.push_back(Times[index] - static_cast<double>(Frames[index]) / Rate);
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
