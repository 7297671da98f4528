// Program entry of keb.
//
//   keb            the window on the real sound cards
//   keb --demo     the window on a demo receiver (see DemoSoundCard.h)
//   keb --version  prints the version and ends
//   keb --recording-devices
//                  prints how many recording devices the sound layer finds
//                  (0: start with --demo) and ends
#include "app/DemoSoundCard.h"
#include "app/unit1.h"
#include "platform/audio/WaveAudio.h"
#include "platform/core/MainLoop.h"
#include "platform/gui/ClassicLook.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/MainLoopBridge.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace
{

enum class TRunMode
{
    Window,
    Demo,
    Version,
    RecordingDevices,
    Usage
};

TRunMode RunModeOf(int argc, char** argv)
{
    TRunMode mode = TRunMode::Window;
    for (int index = 1; index < argc; ++index)
    {
        if (std::strcmp(argv[index], "--version") == 0)
            return TRunMode::Version;
        if (std::strcmp(argv[index], "--recording-devices") == 0)
            return TRunMode::RecordingDevices;
        if (std::strcmp(argv[index], "--demo") == 0)
            mode = TRunMode::Demo;
        else if (argv[index][0] == '-')
            return TRunMode::Usage;
    }
    return mode;
}

int RunWindow(int argc, char** argv, bool demo)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("KEB");
    QApplication::setApplicationVersion(KEB_VERSION);
    keb::UseClassicLook(application);
    keb::InitMainThread();
    keb::InstallErrorBox();
    keb::AttachMainLoopToQt();
    if (demo)
        keb::SelectWaveBackend(keb::MakeDemoBackend());
    int result = 0;
    {
        keb::TMainForm form;
        QObject::connect(&application, &QGuiApplication::lastWindowClosed,
                         [] { keb::SetApplicationTerminated(true); });
        form.show();
        result = QApplication::exec();
    }
    keb::DetachMainLoopFromQt();
    keb::SelectWaveBackend(nullptr);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    switch (RunModeOf(argc, argv))
    {
    case TRunMode::Version:
        std::printf("KEB %s\n", KEB_VERSION);
        return 0;
    case TRunMode::RecordingDevices:
        std::printf("%d\n", keb::WaveInGetNumDevs());
        return 0;
    case TRunMode::Usage:
        std::fprintf(stderr, "usage: keb [--demo | --version | --recording-devices]\n");
        return 2;
    case TRunMode::Demo:
        return RunWindow(argc, argv, true);
    case TRunMode::Window:
        break;
    }
    return RunWindow(argc, argv, false);
}
