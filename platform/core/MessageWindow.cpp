#include "platform/core/MessageWindow.h"

#include "platform/core/Exceptions.h"
#include "platform/core/MainLoop.h"
#include "platform/core/MainLoopInternal.h"

namespace keb
{

TMessageWindow::TMessageWindow(TWindowProc procedure)
    : procedure_(std::move(procedure)), handle_(detail::RegisterWindow(this))
{
}

TMessageWindow::~TMessageWindow()
{
    detail::UnregisterWindow(handle_);
}

bool TMessageWindow::Post(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) const
{
    return PostMessage(handle_, msg, wParam, lParam);
}

std::size_t TMessageWindow::RemoveMessages(std::uint32_t first, std::uint32_t last) const
{
    return RemovePendingMessages(handle_, first, last);
}

void TMessageWindow::Dispatch(const TMessage& message)
{
    try
    {
        if (procedure_)
            procedure_(message);
    }
    catch (const std::exception& error)
    {
        HandleException(error);
    }
}

} // namespace keb
