// Stand-ins for the components of the program's chain that record what they
// are told, in one shared log, so that tests can check the order in which a
// chain notification reaches them.
#pragma once

#include "stream/MMDSPObj.h"

#include <string>
#include <vector>

namespace keb::test
{

using TLog = std::vector<std::string>;

// Records each notification and buffer size it is given as "name.what", then
// does what Base does.
template <typename Base> class TRecording : public Base
{
  public:
    TRecording(TComponent* owner, std::string name, TLog& log) : Base(owner), log_(log)
    {
        this->SetName(std::move(name));
    }

    void SetBufferSize(std::int32_t Value) override
    {
        Record("SetBufferSize " + std::to_string(Value));
        Base::SetBufferSize(Value);
    }
    void ChainOpened() override
    {
        Record("ChainOpened");
        Base::ChainOpened();
    }
    void ChainClosed() override
    {
        Record("ChainClosed");
        Base::ChainClosed();
    }
    void ChainStarted() override
    {
        Record("ChainStarted");
        Base::ChainStarted();
    }
    void ChainPaused() override
    {
        Record("ChainPaused");
        Base::ChainPaused();
    }
    void ChainRestarted() override
    {
        Record("ChainRestarted");
        Base::ChainRestarted();
    }
    void ChainStopped() override
    {
        Record("ChainStopped");
        Base::ChainStopped();
    }
    void ChainReset() override
    {
        Record("ChainReset");
        Base::ChainReset();
    }

  protected:
    void Record(const std::string& what) { log_.push_back(this->Name() + "." + what); }

  private:
    TLog& log_;
};

// A non-device stream component (ring buffer, connector, equalizer).
using TRecordingComponent = TRecording<TMMDSPComponent>;

// The playback device: each notification performs its own command, which
// relays to its own stretch.
using TPlaybackStandIn = TRecording<TMMCustomSoundComponent>;

// The capture device: no Input port; its open command runs the opening relay
// itself, and its own ChainOpened only records.
class TCaptureStandIn : public TRecording<TMMCustomSoundComponent>
{
  public:
    TCaptureStandIn(TComponent* owner, TLog& log) : TRecording(owner, "capture", log) {}

    bool HasInputPort() const override { return false; }

    void Open() { TMMCustomSoundComponent::ChainOpened(); }
    void ChainOpened() override { Record("ChainOpened"); }
};

} // namespace keb::test
