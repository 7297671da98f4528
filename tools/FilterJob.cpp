#include "tools/FilterJob.h"

#include "tools/EqualizerAlignment.h"
#include "tools/FilterChain.h"
#include "tools/FilterErrors.h"
#include "tools/FilterSettings.h"
#include "tools/OutputThread.h"
#include "tools/ParallelFilter.h"
#include "tools/PrefetchSupply.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

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

// Where a name leads once every symbolic link on the way is followed; a file
// that is not there yet is placed in its folder's real place.
std::filesystem::path ResolvedPlace(const std::filesystem::path& file)
{
    std::error_code error;
    std::filesystem::path place = std::filesystem::weakly_canonical(file, error);
    return error ? std::filesystem::absolute(file).lexically_normal() : place;
}

// Two names of one file: the same file on the disk (device and inode), or
// the same place for a file still to be made. "-" (the standard streams) is
// no file.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    if (a == "-" || b == "-")
        return false;
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) || ResolvedPlace(a) == ResolvedPlace(b);
}

void CheckOutputNames(const TFilterOptions& options)
{
    OutputContainer(options.Output);
    const std::vector<std::filesystem::path> files = OutputFiles(options);
    for (std::size_t i = 0; i < files.size(); ++i)
    {
        if (SameFile(options.Input, files[i]))
            throw EFilterUsageError(
                FileMessage(files[i], "is the input; keb-filter never overwrites it"));
        for (std::size_t j = 0; j < i; ++j)
            if (SameFile(files[i], files[j]))
                throw EFilterUsageError(FileMessage(files[i], "is the same file as " +
                                                                  files[j].string() +
                                                                  "; each output needs its own"));
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
                                            const std::string& what, int waterfallWidth)
{
    if (!file)
        return nullptr;
    auto picture = std::make_unique<TPictureOutput>();
    picture->What = what;
    picture->File = std::make_unique<TAtomicFile>(*file);
    if (waterfallWidth > 0)
        picture->Waterfall = std::make_unique<TWaterfallPicture>(waterfallWidth);
    return picture;
}

TPictureWriter& Pictures(const TFilterJobHooks& hooks)
{
    if (hooks.Pictures == nullptr)
        throw std::logic_error("keb-filter: a picture was asked for without a picture writer");
    return *hooks.Pictures;
}

// What a run reads from and writes to, and whom it tells how far it got.
struct TRunSides
{
    TFileSupply& File;
    const TEqualizerAlignment& Alignment;
    TOutputStage& Output;
    std::function<void(std::int64_t framesRead)> Progress;
};

// The chain's output at any point depends only on the audio just before it: lanes filter
// stretches of the file at once, while this thread reads and writes; the lanes' work far
// outweighs both, and each filtered chunk is written from where its lane left it.
void FilterInParallel(const TRunSides& sides, const TObservedSupply::TObserver& observeInput,
                      const TParallelFilter::TConfigure& configure, int lanes)
{
    TObservedSupply supply(sides.File, observeInput);
    TParallelFilter(lanes, configure)
        .Run(supply, sides.Alignment.Priming, sides.Alignment.Delay,
             [&](auto samples)
             {
                 sides.Output.Write(samples);
                 sides.Progress(sides.File.FramesRead());
             });
}

// One chain on this thread; reading (from a file) and writing run on threads of their own. A
// pipe is read only as the chain asks for audio, so that a failed run never waits for a writer
// at its other end.
void FilterSerially(const TRunSides& sides, bool fromFile,
                    const TObservedSupply::TObserver& observeInput,
                    const TParallelFilter::TConfigure& configure)
{
    std::optional<TPrefetchSupply> prefetch;
    if (fromFile)
        prefetch.emplace(sides.File);
    TObservedSupply supply(prefetch ? static_cast<TSampleSupply&>(*prefetch) : sides.File,
                           observeInput);
    TFilterChain chain(supply, FilterSampleRate);
    configure(chain);
    chain.Source().SetLeadingSilence(sides.Alignment.Priming);
    chain.Source().SetTrailingSilence(sides.Alignment.Delay);
    chain.Open();
    TOutputThread writer(sides.Output);
    for (bool more = true; more;)
    {
        writer.Write(chain.Pull(more));
        sides.Progress(prefetch ? prefetch->FramesRead() : sides.File.FramesRead());
    }
    writer.Flush();
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
    {
        alignment = MeasureEqualizerAlignment(options.FFTLength, options.Window,
                                              options.Latency == TLatency::Low);
        if (options.Cleanup.NoiseReduction > 0)
            alignment.Delay += TMMNoiseReducer::DelayAt(FilterSampleRate);
    }

    TFilterJobReport report;
    report.InputRate = reader.SampleRate();
    report.InputChannels = reader.Channels();
    report.InputFrames = reader.Frames();
    report.OutputRate = options.Rate.value_or(FilterSampleRate);
    TOutputStage output(options.Output, FilterSampleRate, report.OutputRate,
                        fileSupply.TotalSamples());
    output.SetSkip(alignment.Priming + alignment.Delay);
    auto waterfallIn = MakePicture(options.WaterfallIn, "input waterfall", options.WaterfallWidth);
    auto waterfallOut =
        MakePicture(options.WaterfallOut, "output waterfall", options.WaterfallWidth);
    auto response = MakePicture(options.Response, "equalizer response", 0);
    if (waterfallOut)
        output.AddObserver([&](auto samples) { waterfallOut->Waterfall->Add(samples); });

    const auto configure = [&](TFilterChain& chain)
    {
        ConfigureEqualizer(chain.Equalizer(), options, positions);
        ConfigureCleanup(chain.Notch(), chain.NoiseReducer(), options);
    };
    const TObservedSupply::TObserver observeInput = [&](auto samples)
    {
        if (waterfallIn)
            waterfallIn->Waterfall->Add(samples);
    };
    const TRunSides sides{fileSupply, alignment, output,
                          [&](std::int64_t framesRead)
                          {
                              if (hooks.Progress)
                                  hooks.Progress(static_cast<double>(framesRead) /
                                                 static_cast<double>(reader.Frames()));
                          }};
    const bool fromFile = options.Input != "-" && std::filesystem::is_regular_file(options.Input);
    // Beyond four lanes this thread's reading and writing would hold them up; a recording of
    // one chunk or less would keep one lane busy.
    const int lanes = std::min(static_cast<int>(std::thread::hardware_concurrency()), 4);
    const bool severalChunks =
        fileSupply.TotalSamples() > static_cast<std::int64_t>(TParallelFilter::DefaultChunkSamples);
    if (fromFile && severalChunks && lanes > 1 && TParallelFilter::Suits(configure))
        FilterInParallel(sides, observeInput, configure, lanes);
    else
        FilterSerially(sides, fromFile, observeInput, configure);

    if (waterfallIn)
        Pictures(hooks).SaveWaterfall(*waterfallIn->Waterfall, "Input waterfall",
                                      *waterfallIn->File);
    if (waterfallOut)
        Pictures(hooks).SaveWaterfall(*waterfallOut->Waterfall, "Output waterfall",
                                      *waterfallOut->File);
    if (response)
        Pictures(hooks).SaveResponse(EqualizerResponse(options, positions, ResponsePoints),
                                     DescribeSettings(options), *response->File);
    output.Finish();
    report.OutputSamples = output.SamplesWritten();
    report.Written.push_back("filtered recording: " +
                             (options.Output == "-" ? "standard output" : options.Output.string()));
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
