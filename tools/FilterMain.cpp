// Program entry of keb-filter: the window's equalizer for recordings, from the
// command line.
#include "tools/AtomicFile.h"
#include "tools/FilterErrors.h"
#include "tools/FilterJob.h"
#include "tools/PictureModule.h"
#include "tools/ProgressBar.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace
{

// Ctrl+C, a closed terminal or a kill end the run at once, whatever it waits
// for (a pipe without a writer, a stalled writer): the partial files go, the
// unnamed ones go with the process, and the status says why.
extern "C" void StopNow(int)
{
    keb::RemovePartialFiles();
    static const char message[] = "keb-filter: interrupted; nothing was written\n";
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(keb::ExitInterrupted);
}

void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = StopNow;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // Past the file-size limit a write then fails with an error the run
    // reports (and cleans up after) instead of the signal killing it silently.
    std::signal(SIGXFSZ, SIG_IGN);
}

void PrintReport(const keb::TFilterJobReport& report, std::ostream& out)
{
    out << "keb-filter: " << report.InputFrames << " frames at " << report.InputRate << " Hz ("
        << report.InputChannels << " channel" << (report.InputChannels == 1 ? "" : "s") << ") -> "
        << report.OutputSamples << " samples at " << report.OutputRate << " Hz\n";
    for (const auto& line : report.Written)
        out << "  " << line << "\n";
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
        // Only a run with pictures loads their drawing, and with it Qt.
        std::unique_ptr<keb::TPictureWriter> pictures;
        if (options.Response || options.WaterfallIn || options.WaterfallOut)
            pictures = keb::LoadPictureWriter();
        CatchStopSignals();
        keb::TProgressBar progress(stderr, !options.Quiet && ::isatty(STDERR_FILENO) == 1);
        keb::TFilterJobHooks hooks;
        hooks.Pictures = pictures.get();
        hooks.Progress = [&](double fraction) { progress.Update(fraction); };
        keb::TFilterJobReport report = keb::RunFilterJob(options, hooks);
        progress.Finish();
        // Standard output may carry the recording itself.
        if (!options.Quiet)
            PrintReport(report, options.Output == "-" ? std::cerr : std::cout);
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
