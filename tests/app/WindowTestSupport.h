// Shared by the window tests: a main window on a stepped virtual sound card
// (capture 0 plays the demo signal, playback 0 keeps what it plays), a
// memory folder of its own per test, the error boxes collected instead of
// shown, bounded waits that keep Qt's event loop (and through it the main
// loop) running, and a watchdog against hangs.
#pragma once

#include "app/unit1.h"
#include "platform/audio/virtual/VirtualSoundCard.h"
#include "platform/core/Exceptions.h"
#include "settings/BandPositions.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace keb::test
{

using namespace std::chrono_literals;

// Runs Qt's event loop until Done() holds or Limit passes; returns Done().
bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit = 10s);
// Runs Qt's event loop for Time.
void PumpFor(std::chrono::milliseconds Time);

// Ends the test program (SIGALRM) when a test overruns its limit: a hang
// inside a blocking call that no bounded wait could catch. One at a time.
class TWatchdog
{
  public:
    explicit TWatchdog(std::chrono::seconds Limit = 120s);
    ~TWatchdog();
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;
};

class WindowTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    // The window, created on first use (after the test has set up the card
    // and the memory folder as it wants).
    TMainForm& Form();
    void DestroyForm() { Window.reset(); }

    // The card the window will use: the default one, or one the test builds.
    virtual std::shared_ptr<TVirtualSoundCard> BuildCard();

    // A left click in the middle of the button, through Qt's input events.
    static void Click(QWidget* Button);

    TBandPositions SliderPositions();
    // The equalizer's band gains, rounded to whole decibels.
    TBandPositions BandGains();
    // The positions with bands first .. last at 0 dB and the others at -60.
    static TBandPositions OpenBands(int First, int Last);

    std::filesystem::path MemoryFile(int Memory) const;
    static void WriteBytes(const std::filesystem::path& File,
                           const std::vector<std::uint8_t>& Bytes);
    static std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& File);

    // Plays Buffers buffers of the playback device one at a time; after each
    // step it waits until the playback worker has refilled the buffer and the
    // capture worker has pushed the buffer it recorded, so the device never
    // runs dry and the queue between them is not starved by a slow worker. With Paced, each step
    // also waits a buffer's time, so the displays see the audio at its natural pace.
    bool PlayBuffers(int Buffers, bool Paced = false);

    std::filesystem::path Home;       // the test's own folder
    std::filesystem::path MemoryHome; // KEB_HOME: created by the window
    std::shared_ptr<TVirtualSoundCard> Card;
    std::shared_ptr<TMemorySink> Speaker;
    std::vector<std::string> ErrorBoxes;
    std::atomic<int> BuffersFilled{0};
    std::atomic<int> BuffersCaptured{0};
    TWatchdog Watchdog;

  private:
    std::unique_ptr<TMainForm> Window;
    TErrorBoxHandler PreviousErrorBox;
};

// The demo signal on capture 0, nothing played anywhere but into Speaker.
inline constexpr std::chrono::milliseconds BufferTime{125}; // 2000 bytes at 16000 bytes/s

} // namespace keb::test
