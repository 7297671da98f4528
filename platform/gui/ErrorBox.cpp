#include "platform/gui/ErrorBox.h"

#include "platform/core/Exceptions.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <cstdio>

namespace keb
{
namespace
{
bool silenced = false; // GUI thread only
std::atomic<int> messages{0};
} // namespace

std::string ErrorLine(const std::string& message)
{
    std::string line;
    bool inBreak = false;
    for (char c : message)
    {
        const bool isBreak = c == '\n' || c == '\r';
        if (isBreak && !inBreak && !line.empty())
            line += ' ';
        else if (!isBreak)
            line += c;
        inBreak = isBreak;
    }
    return line;
}

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
    ++messages;
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, ErrorLine(message).c_str());
    std::fflush(stderr);
    if (silenced)
        return;
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void InstallErrorBox()
{
    SetErrorBoxHandler(ShowQtErrorBox);
}

void SilenceErrorBoxes(bool silence)
{
    silenced = silence;
}

int ErrorBoxMessages()
{
    return messages.load();
}

} // namespace keb
