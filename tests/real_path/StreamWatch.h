// Where a running program's two streams on the file device stand over time,
// seen from outside the program: how far its capture stream has read the
// recording (the offset of its infile.raw descriptor in /proc/PID/fdinfo) and
// how much its playback stream has written to played.raw, each change with
// the monotonic time it was first seen. The files move in the device's own
// chunks (one ALSA period or so); a new open starts a stream afresh.
//
// From these steps the watch tells when each stream's first frame crossed
// the device boundary at the stream's average pace: the median over the
// steps of (time - frames / rate), so that a step seen late (the machine is
// busy) or a start-up burst does not move it. Not thread-safe: one thread
// samples and asks.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace keb::test
{

class TStreamWatch
{
  public:
    TStreamWatch(std::filesystem::path Recording, std::filesystem::path Played, int Rate);

    // Looks at the program once.
    void Sample(std::int64_t Pid);

    struct TStream
    {
        std::vector<double> Times; // seconds on the watch's clock
        std::vector<std::uint64_t> Frames;
        // The time frame 0 crossed (see above); 0 without steps.
        double Start(int Rate) const;
        // The median number of frames one step moved.
        std::uint64_t TypicalStep() const;
        void Add(double Time, std::uint64_t Frame);
    };
    const TStream& Capture() const { return Capture_; }
    const TStream& Playback() const { return Playback_; }

  private:
    std::int64_t ReadPosition(std::int64_t Pid);

    std::filesystem::path Recording_, Played_;
    int Rate_;
    std::chrono::steady_clock::time_point Zero_;
    int Descriptor_ = -1;
    TStream Capture_, Playback_;
};

} // namespace keb::test
