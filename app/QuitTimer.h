// --quit-after: ends keb after a number of seconds whatever it is doing
// then, so that a scripted or headless run always ends.
//
// Armed as soon as the application exists, before the window is made, so
// that an error box of the start-up (a memory folder that cannot be used, a
// damaged settings file) cannot keep the run waiting. When the time is up it
// silences the error box (later messages go to standard error only), closes
// every modal dialog that is open, switches the window OFF and closes it
// once the window exists, and ends Qt's event loops. Expired tells main not
// to start an event loop at all when the time ran out during the start-up.
//
// Qt's timers take at most 2^31 - 1 ms (about 24.8 days), so the wait runs
// in steps of at most a day against the steady clock; the command line
// accepts up to a year (CommandLine.h). Main thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

namespace keb
{

class TMainForm;

class TQuitTimer : public QObject
{
  public:
    explicit TQuitTimer(double seconds);

    // The window to switch OFF and close; null while there is none.
    void SetForm(TMainForm* form) { form_ = form; }
    bool Expired() const { return expired_; }

  private:
    void ArmNextStep();
    void Expire();

    std::chrono::steady_clock::time_point deadline_;
    QTimer timer_;
    TMainForm* form_ = nullptr;
    bool expired_ = false;
};

} // namespace keb
