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

void ShowCallBacksRefused(const std::string& ClassName)
{
    ShowMessageBox("\"CallBacks\" are called at interrupt time !\n\r"
                   "This is currently only supported under Windows 95",
                   ClassName);
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
