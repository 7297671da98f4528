#include "app/ApplicationIdentity.h"

#include <QGuiApplication>

namespace keb
{

void NameApplication()
{
    QGuiApplication::setApplicationName(ApplicationName);
    QGuiApplication::setDesktopFileName(ApplicationId);
}

} // namespace keb
