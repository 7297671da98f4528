#include "platform/gui/ErrorBox.h"

#include "platform/core/Exceptions.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace keb
{

void ShowQtErrorBox(const std::string& message)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr)
        return;
    const QString text = QString::fromStdString(message);
    if (QThread::currentThread() != application->thread())
    {
        QMetaObject::invokeMethod(
            application, [text] { ShowQtErrorBox(text.toStdString()); }, Qt::QueuedConnection);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void InstallErrorBox()
{
    SetErrorBoxHandler(ShowQtErrorBox);
}

} // namespace keb
