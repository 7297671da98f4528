#include "devices/MMWaveDeviceHooks.h"

#include "platform/core/Exceptions.h"

#include <utility>

namespace keb
{
namespace
{
TMessageBoxHook& MessageBoxHook()
{
    static TMessageBoxHook hook;
    return hook;
}

TBusyCursorHook& BusyCursorHook()
{
    static TBusyCursorHook hook;
    return hook;
}
} // namespace

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook Hook)
{
    return std::exchange(MessageBoxHook(), std::move(Hook));
}

TBusyCursorHook SetBusyCursorHook(TBusyCursorHook Hook)
{
    return std::exchange(BusyCursorHook(), std::move(Hook));
}

void ShowMessageBox(const std::string& Text, const std::string& Caption)
{
    if (MessageBoxHook())
        MessageBoxHook()(Text, Caption);
    else
        ShowErrorBox(Caption + ": " + Text);
}

TBusyCursor::TBusyCursor()
{
    if (BusyCursorHook())
        BusyCursorHook()(true);
}

TBusyCursor::~TBusyCursor()
{
    if (BusyCursorHook())
        BusyCursorHook()(false);
}

} // namespace keb
