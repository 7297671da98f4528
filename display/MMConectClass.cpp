#include "display/MMConectClass.h"

#include "display/MMConect.h"
#include "platform/core/MainLoop.h"
#include "platform/core/MessageWindow.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace keb
{
namespace
{
struct TConnectorClassState
{
    std::vector<TMMConnector*> Registry;
    std::unique_ptr<TMessageWindow> Window;
    std::atomic<TWindowHandle> Handle{0};
    int ActiveCount = 0;
    // One pump message circulates at most.
    bool PumpPosted = false;
    std::atomic<bool> EnterIdle{false};
    std::int32_t LargestSpeed = MaxSpeed;
    std::uint64_t NextSerial = 1;
};

// Never destroyed: workers may still post while statics go away.
TConnectorClassState& State()
{
    static auto* state = new TConnectorClassState;
    return *state;
}

bool PostTo(TWindowHandle window, std::uint32_t msg, std::uint64_t serial, std::intptr_t target)
{
    return window != 0 && PostMessage(window, msg, serial, target);
}
} // namespace

std::uint64_t TConnectorClass::Register(TMMConnector* connector)
{
    TConnectorClassState& state = State();
    if (state.Registry.empty())
    {
        state.Window = std::make_unique<TMessageWindow>(&TConnectorClass::WindowProc);
        state.Handle.store(state.Window->Handle());
    }
    state.Registry.push_back(connector);
    return state.NextSerial++;
}

void TConnectorClass::Unregister(TMMConnector* connector)
{
    TConnectorClassState& state = State();
    std::erase(state.Registry, connector);
    if (!state.Registry.empty())
        return;
    state.Handle.store(0);
    state.Window.reset();
    state.PumpPosted = false;
}

bool TConnectorClass::Post(std::uint32_t msg, const TMMConnector* connector)
{
    return PostTo(State().Handle.load(), msg, connector->serial_,
                  reinterpret_cast<std::intptr_t>(connector));
}

bool TConnectorClass::IsRegistered(const TMMConnector* connector)
{
    const auto& registry = State().Registry;
    return std::find(registry.begin(), registry.end(), connector) != registry.end();
}

void TConnectorClass::RecomputeLargestSpeed()
{
    TConnectorClassState& state = State();
    state.LargestSpeed = MinSpeed;
    for (const TMMConnector* connector : state.Registry)
        state.LargestSpeed = std::max(state.LargestSpeed, connector->speed_);
}

void TConnectorClass::ActiveAdded(const TMMConnector* connector)
{
    TConnectorClassState& state = State();
    ++state.ActiveCount;
    if (!state.PumpPosted)
        state.PumpPosted = Post(WM_CONNECTOR_PUMP, connector);
}

void TConnectorClass::ActiveRemoved()
{
    --State().ActiveCount;
}

bool TConnectorClass::EnterIdle()
{
    return State().EnterIdle.load();
}

void TConnectorClass::SetEnterIdle(bool value)
{
    State().EnterIdle.store(value);
}

// A message names its connector by address and serial number, so a message
// left over from a destroyed connector never reaches another one that took
// its place in memory.
TMMConnector* TConnectorClass::Find(const TMessage& message)
{
    for (TMMConnector* connector : State().Registry)
    {
        if (reinterpret_cast<std::intptr_t>(connector) == message.LParam &&
            connector->serial_ == message.WParam)
            return connector;
    }
    return nullptr;
}

void TConnectorClass::WindowProc(const TMessage& message)
{
    if (message.LParam == 0)
        return;
    if (message.Msg == WM_CONNECTOR_PUMP)
    {
        Pump(message);
        return;
    }
    TMMConnector* connector = Find(message);
    if (!connector || !connector->GetInput())
        return;
    if (message.Msg == WM_CONNECTOR_ARM)
        connector->Arm();
    else if (message.Msg == WM_CONNECTOR_TRIGGER && connector->enabled_.load() &&
             connector->armed_.load())
    {
        // The request is served even when a display raises, so that later
        // requests are not dropped for ever.
        struct TServed
        {
            TMMConnector* Connector;
            ~TServed() { --Connector->pendingTriggers_; }
        } served{connector};
        connector->TriggerDisplays();
    }
}

void TConnectorClass::Pump(const TMessage& message)
{
    TConnectorClassState& state = State();
    state.PumpPosted = false;
    IdlePump();
    if (state.ActiveCount <= 0 || state.Registry.empty() || state.PumpPosted)
        return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (state.EnterIdle.load())
        ProcessMessages();
    state.PumpPosted =
        PostTo(state.Handle.load(), WM_CONNECTOR_PUMP, message.WParam, message.LParam);
}

// Lets the main loop run 5001 - Speed times (once at the largest Speed),
// then gives every armed auto-trigger connector one pass.
void TConnectorClass::IdlePump()
{
    TConnectorClassState& state = State();
    for (std::int32_t round = state.LargestSpeed; round <= MaxSpeed; ++round)
        ProcessMessages();
    if (state.ActiveCount <= 0)
        return;
    const std::vector<TMMConnector*> connectors = state.Registry;
    for (TMMConnector* connector : connectors)
    {
        // A connector may have gone while the main loop ran.
        if (IsRegistered(connector) && connector->autoTrigger_.load() &&
            connector->enabled_.load() && connector->armed_.load())
            connector->TriggerDisplays();
    }
}

void TMMConnector::Arm()
{
    if (!ownStarted_.load())
        return;
    pendingTriggers_.store(0);
    armed_.store(true);
    if (autoTrigger_.load() && !countedActive_)
    {
        countedActive_ = true;
        TConnectorClass::ActiveAdded(this);
    }
}

void TMMConnector::Disarm()
{
    armed_.store(false);
    if (countedActive_)
    {
        countedActive_ = false;
        TConnectorClass::ActiveRemoved();
    }
}

void TMMConnector::PostArm()
{
    TConnectorClass::Post(WM_CONNECTOR_ARM, this);
}

void TMMConnector::Trigger()
{
    if (!enabled_.load() || autoTrigger_.load() || pendingTriggers_.load() != 0)
        return;
    if (!armed_.load() && (realTime_.load() || !ownStarted_.load()))
        return;
    if (IsMainThread())
    {
        TriggerDisplays();
        return;
    }
    // One request at most waits: a thread that triggers faster than the main
    // thread serves loses the surplus.
    std::int32_t idle = 0;
    if (!pendingTriggers_.compare_exchange_strong(idle, 1))
        return;
    if (!TConnectorClass::Post(WM_CONNECTOR_TRIGGER, this))
        --pendingTriggers_;
}

} // namespace keb
