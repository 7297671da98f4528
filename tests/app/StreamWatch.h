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
    TStreamWatch(std::filesystem::path recording, std::filesystem::path played, int rate);

    // Looks at the program once.
    void Sample(std::int64_t pid);

    struct TStream
    {
        std::vector<double> Times; // seconds on the watch's clock
        std::vector<std::uint64_t> Frames;
        // The time frame 0 crossed (see above); 0 without steps.
        double Start(int rate) const;
        // The median number of frames one step moved.
        std::uint64_t TypicalStep() const;
        void Add(double time, std::uint64_t frame);
    };
    const TStream& Capture() const { return capture_; }
    const TStream& Playback() const { return playback_; }

  private:
    std::int64_t ReadPosition(std::int64_t pid);

    std::filesystem::path recording_, played_;
    int rate_;
    std::chrono::steady_clock::time_point zero_;
    int descriptor_ = -1;
    TStream capture_, playback_;
};

} // namespace keb::test
