#include "tools/FilterJob.h"

#include "tools/EqualizerAlignment.h"
#include "tools/FilterChain.h"
#include "tools/FilterErrors.h"
#include "tools/FilterPictures.h"
#include "tools/FilterSettings.h"
#include "tools/OutputStage.h"
#include "tools/SampleSupply.h"

#include <memory>

namespace keb
{
namespace
{

constexpr int ResponsePoints = 801;

// Every file the run writes, named and checked before anything is read.
std::vector<std::filesystem::path> OutputFiles(const TFilterOptions& options)
{
    std::vector<std::filesystem::path> files{options.Output};
    for (const auto& picture : {options.WaterfallIn, options.WaterfallOut, options.Response})
        if (picture)
            files.push_back(*picture);
    return files;
}

void CheckOutputNames(const TFilterOptions& options)
{
    OutputContainer(options.Output);
    const std::vector<std::filesystem::path> files = OutputFiles(options);
    for (std::size_t i = 0; i < files.size(); ++i)
    {
        std::error_code error;
        if (std::filesystem::equivalent(options.Input, files[i], error))
            throw EFilterUsageError(
                FileMessage(files[i], "is the input; keb-filter never overwrites it"));
        for (std::size_t j = 0; j < i; ++j)
            if (std::filesystem::absolute(files[i]).lexically_normal() ==
                std::filesystem::absolute(files[j]).lexically_normal())
                throw EFilterUsageError(FileMessage(files[i], "is named for two outputs"));
    }
}

// A picture the run was asked for: where it goes and what it shows.
struct TPictureOutput
{
    std::string What;
    std::unique_ptr<TAtomicFile> File;
    std::unique_ptr<TWaterfallPicture> Waterfall;
};

std::unique_ptr<TPictureOutput> MakePicture(const std::optional<std::filesystem::path>& file,
                                            const std::string& what, bool waterfall)
{
    if (!file)
        return nullptr;
    auto picture = std::make_unique<TPictureOutput>();
    picture->What = what;
    picture->File = std::make_unique<TAtomicFile>(*file);
    if (waterfall)
        picture->Waterfall = std::make_unique<TWaterfallPicture>();
    return picture;
}

} // namespace

TFilterJobReport RunFilterJob(const TFilterOptions& options, const TFilterJobHooks& hooks)
{
    CheckOutputNames(options);
    const TBandPositions positions = RequestedPositions(options);
    TSoundFileReader reader(options.Input, options.Channel);
    TFileSupply fileSupply(reader, FilterSampleRate);
    TEqualizerAlignment alignment;
    if (options.Align && !options.Bypass)
        alignment = MeasureEqualizerAlignment(options.FFTLength, options.Window,
                                              options.Latency == TLatency::Low);

    TFilterJobReport report;
    report.InputRate = reader.SampleRate();
    report.InputChannels = reader.Channels();
    report.InputFrames = reader.Frames();
    report.OutputRate = options.Rate.value_or(FilterSampleRate);
    TOutputStage output(options.Output, FilterSampleRate, report.OutputRate);
    output.SetSkip(alignment.Priming + alignment.Delay);
    auto waterfallIn = MakePicture(options.WaterfallIn, "input waterfall", true);
    auto waterfallOut = MakePicture(options.WaterfallOut, "output waterfall", true);
    auto response = MakePicture(options.Response, "equalizer response", false);
    if (waterfallOut)
        output.AddObserver([&](auto samples) { waterfallOut->Waterfall->Add(samples); });

    TObservedSupply supply(fileSupply,
                           [&](auto samples)
                           {
                               if (waterfallIn)
                                   waterfallIn->Waterfall->Add(samples);
                           });
    TFilterChain chain(supply, FilterSampleRate);
    ConfigureEqualizer(chain.Equalizer(), options, positions);
    chain.Source().SetLeadingSilence(alignment.Priming);
    chain.Source().SetTrailingSilence(alignment.Delay);
    chain.Open();
    for (bool more = true; more;)
    {
        if (hooks.Stop != nullptr && hooks.Stop->load())
            throw EFilterInterrupted("interrupted; nothing was written");
        output.Write(chain.Pull(more));
        if (hooks.Progress)
            hooks.Progress(static_cast<double>(fileSupply.FramesRead()) /
                           static_cast<double>(reader.Frames()));
    }

    for (auto* picture : {waterfallIn.get(), waterfallOut.get()})
        if (picture)
            SavePng(WaterfallImage(*picture->Waterfall), *picture->File);
    if (response)
        SavePng(ResponseImage(EqualizerResponse(options, positions, ResponsePoints),
                              DescribeSettings(options)),
                *response->File);
    output.Finish();
    report.OutputSamples = output.SamplesWritten();
    report.Written.push_back("filtered recording: " + options.Output.string());
    for (auto* picture : {waterfallIn.get(), waterfallOut.get(), response.get()})
    {
        if (!picture)
            continue;
        picture->File->Commit();
        report.Written.push_back(picture->What + ": " + picture->File->Target().string());
    }
    return report;
}

} // namespace keb
