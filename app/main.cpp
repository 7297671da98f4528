// Program entry of keb: the command line (CommandLine.h), then the window on
// the real sound cards or, with --demo, on the demo receiver
// (DemoSoundCard.h). The devices and the latency mode come from the user's
// settings and the command line (Startup.h).
#include "app/ApplicationIdentity.h"
#include "app/CommandLine.h"
#include "app/DemoSoundCard.h"
#include "app/QuitTimer.h"
#include "app/Startup.h"
#include "app/UserSettings.h"
#include "app/unit1.h"
#include "platform/audio/DeviceChoice.h"
#include "platform/audio/WaveAudio.h"
#include "platform/audio/portaudio/AudioLibraryMessages.h"
#include "platform/core/ExitStatus.h"
#include "platform/core/MainLoop.h"
#include "platform/gui/ClassicLook.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/MainLoopBridge.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace
{

// What Qt says while its platform starts, kept until it is known to start:
// without a display Qt explains in several lines and aborts; keb says so in
// one line and ends with the usage status instead.
std::vector<std::string> heldQtMessages;

void HoldQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtFatalMsg)
    {
        heldQtMessages.push_back(message.toStdString());
        return;
    }
    std::fputs("keb: no display to open the window on (is DISPLAY or WAYLAND_DISPLAY set?); "
               "keb-filter filters recordings without one\n",
               stderr);
    std::fflush(stderr);
    std::_Exit(keb::ExitUsage);
}

std::unique_ptr<QApplication> StartApplication(int& argc, char** argv)
{
    const QtMessageHandler previous = qInstallMessageHandler(HoldQtMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const std::string& message : heldQtMessages)
        std::fprintf(stderr, "%s\n", message.c_str());
    heldQtMessages.clear();
    return application;
}

int RunWindow(int argc, char** argv, const keb::TCommandLine& line)
{
    const std::unique_ptr<QApplication> application = StartApplication(argc, argv);
    keb::NameApplication();
    QApplication::setApplicationVersion(KEB_VERSION);
    keb::UseClassicLook(*application);
    keb::InitMainThread();
    keb::InstallErrorBox();
    keb::AttachMainLoopToQt();
    int result = 0;
    {
        std::optional<keb::TQuitTimer> quitTimer;
        if (line.QuitAfter)
            quitTimer.emplace(*line.QuitAfter);
        keb::TMainForm form;
        if (quitTimer)
            quitTimer->SetForm(&form);
        const keb::TUserSettings settings(keb::TUserSettings::DefaultFile());
        try
        {
            for (const std::string& notice : keb::ApplyChoices(form, settings.Load(), line))
                std::fprintf(stderr, "keb: %s\n", notice.c_str());
        }
        catch (const keb::EUsageError& error)
        {
            std::fprintf(stderr, "keb: %s\n", error.what());
            result = keb::ExitUsage;
        }
        if (result == 0 && !(quitTimer && quitTimer->Expired()))
        {
            form.UseSettings(&settings);
            QObject::connect(application.get(), &QGuiApplication::lastWindowClosed,
                             [] { keb::SetApplicationTerminated(true); });
            form.show();
            keb::StartActions(form, line);
            result = QApplication::exec();
        }
        if (quitTimer)
            quitTimer->SetForm(nullptr);
    }
    keb::DetachMainLoopFromQt();
    if (result == keb::ExitDone && keb::ErrorBoxMessages() > 0)
        result = keb::ExitRunError;
    return result;
}

int Run(int argc, char** argv, const keb::TCommandLine& line)
{
    using TAction = keb::TCommandLine::TAction;
    switch (line.Action)
    {
    case TAction::Version:
        std::printf("KEB %s\n", KEB_VERSION);
        return 0;
    case TAction::Help:
        std::fputs(keb::CommandLineHelp(), stdout);
        return 0;
    case TAction::RecordingDevices:
        std::printf("%d\n", keb::WaveInGetNumDevs());
        return 0;
    case TAction::ListDevices:
        std::fputs(keb::DeviceListText(keb::ListDevices(keb::TDeviceKind::Capture),
                                       keb::ListDevices(keb::TDeviceKind::Playback))
                       .c_str(),
                   stdout);
        return 0;
    case TAction::Window:
        break;
    }
    return RunWindow(argc, argv, line);
}

} // namespace

int main(int argc, char** argv)
{
    keb::TCommandLine line;
    try
    {
        line = keb::ParseCommandLine(argc, argv);
    }
    catch (const keb::EUsageError& error)
    {
        std::fprintf(stderr, "keb: %s\n%s", error.what(), keb::CommandLineHelp());
        return keb::ExitUsage;
    }
    keb::ShowAudioLibraryMessages(line.Verbose);
    if (line.Demo)
        keb::SelectWaveBackend(keb::MakeDemoBackend());
    const int result = Run(argc, argv, line);
    keb::SelectWaveBackend(nullptr);
    return result;
}
