// A progress bar on a terminal: one line, redrawn in place at most ten times
// a second, shown only once the job has run for a couple of seconds (short
// jobs stay silent) and erased when the job ends. A disabled bar draws
// nothing. Not thread-safe.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace keb
{

// "[#####-----]  50%" with `width` marks between the brackets.
std::string ProgressLine(double fraction, int width);

class TProgressBar
{
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds ShowAfter{2000};
    static constexpr std::chrono::milliseconds RedrawEvery{100};

    TProgressBar(std::FILE* terminal, bool enabled);
    ~TProgressBar();
    TProgressBar(const TProgressBar&) = delete;
    TProgressBar& operator=(const TProgressBar&) = delete;

    // fraction: 0 .. 1 of the job done.
    void Update(double fraction);
    // Erases the bar if it was drawn.
    void Finish();

  private:
    std::FILE* terminal_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

} // namespace keb
