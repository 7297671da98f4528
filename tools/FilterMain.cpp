// keb-filter: the window's equalizer for recordings, from the command line.
#include "tools/FilterErrors.h"
#include "tools/FilterJob.h"
#include "tools/ProgressBar.h"

#include <QGuiApplication>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace
{

std::atomic<bool> StopRequested{false};

extern "C" void RequestStop(int)
{
    StopRequested.store(true);
}

// Ctrl+C, a closed terminal or a kill end the run at the next buffer, so that
// the temporary files are removed on the way out.
void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

// Qt's notes about the desktop it does not use (no runtime folder, no
// display) would break the one-line messages; only its errors are shown.
void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "keb-filter: Qt: " << message.toStdString() << "\n";
}

void PrintReport(const keb::TFilterJobReport& report)
{
    std::cout << "keb-filter: " << report.InputFrames << " frames at " << report.InputRate
              << " Hz (" << report.InputChannels << " channel"
              << (report.InputChannels == 1 ? "" : "s") << ") -> " << report.OutputSamples
              << " samples at " << report.OutputRate << " Hz\n";
    for (const auto& line : report.Written)
        std::cout << "  " << line << "\n";
}

int Fail(int code, const std::exception& error)
{
    std::cerr << "keb-filter: " << error.what() << "\n";
    return code;
}

int Run(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    using keb::TFilterOptions;
    try
    {
        TFilterOptions options = keb::ParseFilterOptions(arguments);
        if (options.Action == TFilterOptions::TAction::Help)
        {
            std::cout << keb::FilterUsage();
            return keb::ExitDone;
        }
        if (options.Action == TFilterOptions::TAction::Version)
        {
            std::cout << "keb-filter " << KEB_VERSION << "\n";
            return keb::ExitDone;
        }
        // The response's labels need Qt's fonts, which need an application
        // object; the tool shows no window, so the offscreen platform does.
        std::optional<QGuiApplication> application;
        if (options.Response)
        {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            qInstallMessageHandler(QtMessage);
            application.emplace(argc, argv);
        }
        CatchStopSignals();
        keb::TProgressBar progress(stderr, !options.Quiet && ::isatty(STDERR_FILENO) == 1);
        keb::TFilterJobHooks hooks;
        hooks.Progress = [&](double fraction) { progress.Update(fraction); };
        hooks.Stop = &StopRequested;
        keb::TFilterJobReport report = keb::RunFilterJob(options, hooks);
        progress.Finish();
        if (!options.Quiet)
            PrintReport(report);
        return keb::ExitDone;
    }
    catch (const keb::EFilterUsageError& error)
    {
        return Fail(keb::ExitUsage, error);
    }
    catch (const keb::EFilterInputError& error)
    {
        return Fail(keb::ExitInput, error);
    }
    catch (const keb::EFilterOutputError& error)
    {
        return Fail(keb::ExitOutput, error);
    }
    catch (const keb::EFilterInterrupted& error)
    {
        return Fail(keb::ExitInterrupted, error);
    }
    catch (const std::exception& error)
    {
        // Anything else stopped the filter itself; nothing was written.
        return Fail(keb::ExitOutput, error);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return Run(argc, argv);
}
