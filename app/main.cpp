// Program entry of keb: the command line (CommandLine.h), then the window on
// the real sound cards or, with --demo, on the demo receiver
// (DemoSoundCard.h). The devices and the latency mode come from the user's
// settings and the command line (Startup.h).
#include "app/ApplicationIdentity.h"
#include "app/CommandLine.h"
#include "app/DemoSoundCard.h"
#include "app/Startup.h"
#include "app/UserSettings.h"
#include "app/unit1.h"
#include "platform/audio/DeviceChoice.h"
#include "platform/audio/WaveAudio.h"
#include "platform/audio/portaudio/AudioLibraryMessages.h"
#include "platform/core/MainLoop.h"
#include "platform/gui/ClassicLook.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/MainLoopBridge.h"

#include <QApplication>
#include <cstdio>

namespace
{

constexpr int UsageExit = 2;

int RunWindow(int argc, char** argv, const keb::TCommandLine& line)
{
    QApplication application(argc, argv);
    keb::NameApplication();
    QApplication::setApplicationVersion(KEB_VERSION);
    keb::UseClassicLook(application);
    keb::InitMainThread();
    keb::InstallErrorBox();
    keb::AttachMainLoopToQt();
    int result = 0;
    {
        keb::TMainForm form;
        const keb::TUserSettings settings(keb::TUserSettings::DefaultFile());
        try
        {
            for (const std::string& notice : keb::ApplyChoices(form, settings.Load(), line))
                std::fprintf(stderr, "keb: %s\n", notice.c_str());
        }
        catch (const keb::EUsageError& error)
        {
            std::fprintf(stderr, "keb: %s\n", error.what());
            result = UsageExit;
        }
        if (result == 0)
        {
            form.UseSettings(&settings);
            QObject::connect(&application, &QGuiApplication::lastWindowClosed,
                             [] { keb::SetApplicationTerminated(true); });
            form.show();
            keb::StartActions(form, line);
            result = QApplication::exec();
        }
    }
    keb::DetachMainLoopFromQt();
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
        std::fputs(keb::DeviceListText(keb::ListDevices(keb::DeviceKind::Capture),
                                       keb::ListDevices(keb::DeviceKind::Playback))
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
        return UsageExit;
    }
    keb::ShowAudioLibraryMessages(line.Verbose);
    if (line.Demo)
        keb::SelectWaveBackend(keb::MakeDemoBackend());
    const int result = Run(argc, argv, line);
    keb::SelectWaveBackend(nullptr);
    return result;
}
