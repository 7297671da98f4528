#include "app/QuitTimer.h"

#include "app/unit1.h"
#include "platform/gui/ErrorBox.h"

#include <QApplication>
#include <QDialog>
#include <algorithm>

namespace keb
{
namespace
{

constexpr std::chrono::milliseconds LongestStep = std::chrono::hours(24);

// Closes the modal dialogs (error boxes, questions) from the top down; each
// one's own event loop returns once it is hidden.
void CloseModalDialogs()
{
    for (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr;
         modal = QApplication::activeModalWidget())
    {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->hide();
    }
}

} // namespace

TQuitTimer::TQuitTimer(double seconds)
    : deadline_(std::chrono::steady_clock::now() +
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(seconds)))
{
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { ArmNextStep(); });
    ArmNextStep();
}

void TQuitTimer::ArmNextStep()
{
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0)
    {
        Expire();
        return;
    }
    timer_.start(std::min(left, LongestStep));
}

void TQuitTimer::Expire()
{
    expired_ = true;
    SilenceErrorBoxes(true);
    CloseModalDialogs();
    if (form_ != nullptr)
    {
        if (form_->StopBtn->isEnabled())
            form_->StopBtn->click();
        form_->close();
    }
    QCoreApplication::exit(0);
}

} // namespace keb
