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

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook)
{
    return std::exchange(MessageBoxHook(), std::move(hook));
}

TBusyCursorHook SetBusyCursorHook(TBusyCursorHook hook)
{
    return std::exchange(BusyCursorHook(), std::move(hook));
}

void ShowMessageBox(const std::string& text, const std::string& caption)
{
    if (MessageBoxHook())
        MessageBoxHook()(text, caption);
    else
        ShowErrorBox(caption + ": " + text);
}

void ShowCallBacksRefused(const std::string& className)
{
    ShowMessageBox("\"CallBacks\" are called at interrupt time !\n\r"
                   "This is currently only supported under Windows 95",
                   className);
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
