#include "tools/FilterJob.h"

#include "tools/EqualizerAlignment.h"
#include "tools/FilterChain.h"
#include "tools/FilterErrors.h"
#include "tools/FilterSettings.h"
#include "tools/OutputStage.h"
#include "tools/SampleSupply.h"

namespace keb
{
namespace
{

void RefuseToOverwriteInput(const std::filesystem::path& input,
                            const std::filesystem::path& output)
{
    std::error_code error;
    if (std::filesystem::equivalent(input, output, error))
        throw EFilterUsageError(FileMessage(output, "is the input; keb-filter never overwrites it"));
}

void CheckOutputNames(const TFilterOptions& options)
{
    OutputContainer(options.Output);
    RefuseToOverwriteInput(options.Input, options.Output);
}

} // namespace

TFilterJobReport RunFilterJob(const TFilterOptions& options, const TFilterJobHooks& hooks)
{
    CheckOutputNames(options);
    const TBandPositions positions = RequestedPositions(options);
    TSoundFileReader reader(options.Input, options.Channel);
    TFileSupply supply(reader, FilterSampleRate);
    TEqualizerAlignment alignment;
    if (options.Align && !options.Bypass)
        alignment = MeasureEqualizerAlignment(options.FFTLength, options.Window);

    TFilterChain chain(supply, FilterSampleRate);
    ConfigureEqualizer(chain.Equalizer(), options, positions);
    chain.Source().SetLeadingSilence(alignment.Priming);
    chain.Source().SetTrailingSilence(alignment.Delay);

    TFilterJobReport report;
    report.InputRate = reader.SampleRate();
    report.InputChannels = reader.Channels();
    report.InputFrames = reader.Frames();
    report.OutputRate = options.Rate.value_or(FilterSampleRate);
    TOutputStage output(options.Output, FilterSampleRate, report.OutputRate);
    output.SetSkip(alignment.Priming + alignment.Delay);

    chain.Open();
    for (bool more = true; more;)
    {
        if (hooks.Stop != nullptr && hooks.Stop->load())
            throw EFilterInterrupted("interrupted; nothing was written");
        output.Write(chain.Pull(more));
        if (hooks.Progress)
            hooks.Progress(static_cast<double>(supply.FramesRead()) /
                           static_cast<double>(reader.Frames()));
    }
    output.Finish();
    report.OutputSamples = output.SamplesWritten();
    report.Written.push_back("filtered recording: " + options.Output.string());
    return report;
}

} // namespace keb
