#include "platform/audio/portaudio/AudioThreadPriority.h"

#include <sched.h>

namespace keb
{

void RaiseThisThreadToRealTime()
{
    const int policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
    if (policy == SCHED_FIFO || policy == SCHED_RR)
        return;
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_min(SCHED_FIFO);
    // Processes the thread starts (none are expected) begin at the normal policy.
    sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &parameter);
}

} // namespace keb
