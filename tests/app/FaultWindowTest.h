// The window tests' fixture with what the fault tests add: a card with a
// stepped or a real-time clock (Clock, set before SetUp; real time brings the
// notifications in the card's own thread, as a sound card does), running the
// card a buffer's time at a time while the window handles what each step
// brings (also when the playback has stopped refilling), the window's
// running and stopped states with both devices, and the check that audio
// flows through the chain again.
#pragma once

#include "WindowTestSupport.h"

namespace keb::test
{

class FaultWindowTest : public WindowTest
{
  protected:
    std::shared_ptr<TVirtualSoundCard> BuildCard() override;

    // Plays Buffers buffers: PlayBuffers on a stepped card, a bounded wait
    // for as many refills on a real-time one.
    bool Play(int Buffers);
    // Runs the card for Steps buffer times (advancing a stepped card); after each step the window
    // gets up to StepWait to take the refilled buffer in.
    void RunCard(int Steps);
    // As RunCard, stopping early once Done holds; then waits (bounded) for
    // Done, which a worker may bring a little later; returns Done().
    bool RunCardUntil(const std::function<bool()>& Done, int Steps);

    // ON down, OFF enabled, the filter switch enabled, LED lime, the display
    // timer on, both devices started.
    void ExpectRunning(const char* When);
    // ON up, OFF and the filter switch disabled, LED silver, the display
    // timer off, both devices closed.
    void ExpectStopped(const char* When);
    // ON from the stopped state: the window runs, the played audio carries
    // the receiver's signal, and OFF stops it again.
    void ExpectOnPlaysAgain();

    static constexpr std::chrono::milliseconds StepWait{300};
    TVirtualClock Clock = TVirtualClock::Stepped;

  private:
    void Step(const std::function<bool()>& Done);
    // The controls and the display timer as running or stopped.
    void ExpectWindow(bool Running);
};

} // namespace keb::test
