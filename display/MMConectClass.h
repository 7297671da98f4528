// What all connectors share: the registry of live connectors, the connector
// window that runs their private messages in the main thread, the count of
// armed auto-trigger connectors and the idle pump that serves them.
// Internal to the connector's sources. Everything but Post belongs to the
// main thread.
#pragma once

#include "platform/core/MessageQueue.h"

#include <cstdint>

namespace keb
{

class TMMConnector;

class TConnectorClass
{
  public:
    // Joins the registry (the first connector creates the window); returns
    // the connector's serial number, which its messages carry.
    static std::uint64_t Register(TMMConnector* connector);
    // Leaves it (the last one destroys the window and its pending messages).
    // Messages still pending for a connector that left are dropped.
    static void Unregister(TMMConnector* connector);

    // Posts one of the connector messages for `connector`; any thread. False
    // when there is no window.
    static bool Post(std::uint32_t msg, const TMMConnector* connector);

    static void RecomputeLargestSpeed();
    // An armed auto-trigger connector came or went; the first one starts the
    // idle pump.
    static void ActiveAdded(const TMMConnector* connector);
    static void ActiveRemoved();

    static bool EnterIdle();
    static void SetEnterIdle(bool value);

  private:
    static void WindowProc(const TMessage& message);
    static TMMConnector* Find(const TMessage& message);
    static void Pump(const TMessage& message);
    static void IdlePump();
    static bool IsRegistered(const TMMConnector* connector);
};

} // namespace keb
