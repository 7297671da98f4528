// The soak's window: the main window of the window tests on a stepped virtual
// sound card whose capture device records the ramp of PlayedStream.h and
// whose playback device plays into the stream check, and a user who works
// its controls through Qt's input events.
//
// Pacing: the card's clock moves only in Advance, by less than a buffer's
// time; Settle waits until both devices' workers have handled every buffer
// that the clock finished (each device finishes one every 1000 frames since
// ON) and handed it back to the driver. The soak settles before it moves the
// clock again, so no buffer is ever late and the ring buffer sees its writer
// and its reader at the same pace: what the played stream may show is then
// fixed by the ring buffer's own rules (see PlayedStream.h).
//
// The user's actions run while the workers pull, filter and push the buffers
// the clock has just finished, as they would at a real desk; only the bypass
// and OFF wait for the chain to settle, so that the check knows for each
// buffer whether the equalizer was bypassed when it was pulled.
//
// Main thread only, except the device hooks (the devices' workers).
#pragma once

#include "PlayedStream.h"
#include "SoakSchedule.h"
#include "tests/app/WindowTestSupport.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace keb::test
{

class SoakWindowTest : public WindowTest
{
  protected:
    std::shared_ptr<TVirtualSoundCard> BuildCard() override;

    // Creates the window, hooks the devices and switches on.
    void SwitchOn();
    // Moves the card's clock; the workers start on the buffers it finished.
    void Advance(std::chrono::milliseconds Time);
    // False when the workers did not finish their buffers within a few
    // seconds (a hang).
    [[nodiscard]] bool Settle();
    // Carries out one step of the schedule; the steps that come in pairs
    // (OFF and ON, "?" and back) finish with the next step. False when the
    // chain did not settle (a hang).
    [[nodiscard]] bool Act(const TSoakStep& Step);
    // What must hold after every step: no error box, every band at its
    // slider's position, the controls hidden exactly while the about view is
    // up, the filter button naming the equalizer's state.
    // Empty when all holds, else what broke.
    std::string Broken();
    // Closes and destroys the window as a user would end the program: while
    // the audio runs.
    void CloseWindow();

    std::map<TSoakAction, long> ActionCounts;
    std::shared_ptr<TPlayedStreamCheck> Check = std::make_shared<TPlayedStreamCheck>(1);

  private:
    void SwitchOff();
    void HookDevices();
    bool WorkersIdle();
    void ForgetBuffers();
    void Remember(PWaveHdr Header);
    void PressKey(QWidget* Control, int Variant);
    void ClickSlider(TMMSlider* Slider, int Where);
    void SaveMemory();

    TRampSource* Source = nullptr; // owned by the card
    std::mutex BuffersLock;
    std::vector<PWaveHdr> Buffers; // the devices' headers of this run
    std::uint64_t RunFrames = 0;   // simulated since ON
    std::atomic<std::uint64_t> RunCaptured{0};
    std::atomic<std::uint64_t> RunFilled{0};
    bool Off = false;
    bool AboutShown = false;
    std::string SaveFault;
};

} // namespace keb::test
