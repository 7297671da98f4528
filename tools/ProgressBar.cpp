#include "tools/ProgressBar.h"

#include <algorithm>
#include <cmath>

namespace keb
{

std::string ProgressLine(double fraction, int width)
{
    fraction = std::clamp(fraction, 0.0, 1.0);
    int marks = static_cast<int>(std::floor(fraction * width));
    char percent[8];
    std::snprintf(percent, sizeof percent, "%4d%%", static_cast<int>(std::floor(fraction * 100)));
    return "[" + std::string(static_cast<std::size_t>(marks), '#') +
           std::string(static_cast<std::size_t>(width - marks), '-') + "]" + percent;
}

TProgressBar::TProgressBar(std::FILE* terminal, bool enabled)
    : terminal_(terminal), enabled_(enabled), start_(Clock::now())
{
}

TProgressBar::~TProgressBar()
{
    Finish();
}

void TProgressBar::Update(double fraction)
{
    if (!enabled_)
        return;
    Clock::time_point now = Clock::now();
    if (now - start_ < ShowAfter || (shown_ && now - lastDrawn_ < RedrawEvery))
        return;
    std::fprintf(terminal_, "\rkeb-filter %s", ProgressLine(fraction, 40).c_str());
    std::fflush(terminal_);
    shown_ = true;
    lastDrawn_ = now;
}

void TProgressBar::Finish()
{
    if (!shown_)
        return;
    std::fprintf(terminal_, "\r\033[K");
    std::fflush(terminal_);
    shown_ = false;
}

} // namespace keb
