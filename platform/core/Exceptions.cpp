#include "platform/core/Exceptions.h"

#include <cstdio>
#include <mutex>

namespace keb
{
namespace
{
std::mutex handlerLock;
TErrorBoxHandler currentHandler;

void PrintToStderr(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
}
} // namespace

TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler)
{
    std::lock_guard guard(handlerLock);
    TErrorBoxHandler previous = std::move(currentHandler);
    currentHandler = std::move(handler);
    return previous;
}

void ShowErrorBox(const std::string& message)
{
    TErrorBoxHandler handler;
    {
        std::lock_guard guard(handlerLock);
        handler = currentHandler;
    }
    if (handler)
        handler(message);
    else
        PrintToStderr(message);
}

void HandleException(const std::exception& error)
{
    ShowErrorBox(error.what());
}

} // namespace keb
