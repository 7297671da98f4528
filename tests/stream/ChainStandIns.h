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

inline void Record(TLog& log, const TComponent& component, const std::string& what)
{
    log.push_back(component.Name() + "." + what);
}

// A non-device stream component (ring buffer, connector, equalizer).
class TRecordingComponent : public TMMDSPComponent
{
  public:
    TRecordingComponent(TComponent* owner, std::string name, TLog& log)
        : TMMDSPComponent(owner), log_(log)
    {
        SetName(std::move(name));
    }

    void SetBufferSize(std::int32_t Value) override
    {
        Record("SetBufferSize " + std::to_string(Value));
        TMMDSPComponent::SetBufferSize(Value);
    }
    void ChainOpened() override
    {
        Record("ChainOpened");
        TMMDSPComponent::ChainOpened();
    }
    void ChainClosed() override
    {
        Record("ChainClosed");
        TMMDSPComponent::ChainClosed();
    }
    void ChainStarted() override
    {
        Record("ChainStarted");
        TMMDSPComponent::ChainStarted();
    }
    void ChainPaused() override
    {
        Record("ChainPaused");
        TMMDSPComponent::ChainPaused();
    }
    void ChainRestarted() override
    {
        Record("ChainRestarted");
        TMMDSPComponent::ChainRestarted();
    }
    void ChainStopped() override
    {
        Record("ChainStopped");
        TMMDSPComponent::ChainStopped();
    }
    void ChainReset() override
    {
        Record("ChainReset");
        TMMDSPComponent::ChainReset();
    }

  private:
    void Record(const std::string& what) { test::Record(log_, *this, what); }
    TLog& log_;
};

// The capture device: no Input port; its commands run the relays, and its
// own notifications only record (and relay, for all but opening, whose relay
// the open command runs itself).
class TCaptureStandIn : public TMMCustomSoundComponent
{
  public:
    TCaptureStandIn(TComponent* owner, TLog& log) : TMMCustomSoundComponent(owner), log_(log)
    {
        SetName("capture");
    }

    bool HasInputPort() const override { return false; }

    void Open() { TMMCustomSoundComponent::ChainOpened(); }
    void Start() { ChainStarted(); }
    void Pause() { ChainPaused(); }
    void Stop() { ChainStopped(); }
    void Close() { ChainClosed(); }

    void ChainOpened() override { Record("ChainOpened"); }
    void ChainClosed() override
    {
        Record("ChainClosed");
        TMMCustomSoundComponent::ChainClosed();
    }
    void ChainStarted() override
    {
        Record("ChainStarted");
        TMMCustomSoundComponent::ChainStarted();
    }
    void ChainPaused() override
    {
        Record("ChainPaused");
        TMMCustomSoundComponent::ChainPaused();
    }
    void ChainStopped() override
    {
        Record("ChainStopped");
        TMMCustomSoundComponent::ChainStopped();
    }

  private:
    void Record(const std::string& what) { test::Record(log_, *this, what); }
    TLog& log_;
};

// The playback device: each notification performs its own command, and each
// command runs the relay to its own stretch (once: a started device that is
// told to start again finds itself started).
class TPlaybackStandIn : public TMMCustomSoundComponent
{
  public:
    TPlaybackStandIn(TComponent* owner, TLog& log) : TMMCustomSoundComponent(owner), log_(log)
    {
        SetName("playback");
    }

    void SetBufferSize(std::int32_t Value) override
    {
        Record("SetBufferSize " + std::to_string(Value));
        TMMCustomSoundComponent::SetBufferSize(Value);
    }
    void ChainOpened() override
    {
        Record("ChainOpened");
        if (!Opened())
            TMMCustomSoundComponent::ChainOpened();
    }
    void ChainClosed() override
    {
        Record("ChainClosed");
        if (Opened())
            TMMCustomSoundComponent::ChainClosed();
    }
    void ChainStarted() override
    {
        Record("ChainStarted");
        if (Opened() && !Started())
            TMMCustomSoundComponent::ChainStarted();
    }
    void ChainPaused() override
    {
        Record("ChainPaused");
        TMMCustomSoundComponent::ChainPaused();
    }
    void ChainStopped() override
    {
        Record("ChainStopped");
        if (Started())
            TMMCustomSoundComponent::ChainStopped();
    }

  private:
    void Record(const std::string& what) { test::Record(log_, *this, what); }
    TLog& log_;
};

} // namespace keb::test
