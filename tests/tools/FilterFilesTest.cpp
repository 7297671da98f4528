// Reading any recording, writing the result, and leaving nothing behind
// when a run fails.
#include "tests/tools/FilterTestSupport.h"
#include "tools/FilterErrors.h"
#include "tools/FilterJob.h"
#include "tools/SampleSupply.h"
#include "tools/SoundFileReader.h"
#include "tools/SoundFileWriter.h"

#include <cmath>
#include <csignal>
#include <fstream>
#include <sndfile.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>

namespace keb
{
namespace
{

class FilterFilesTest : public test::FilterFolderTest
{
  protected:
    // 3 s at 44100 Hz: 1000 Hz on the left, 2500 Hz on the right, as FLAC.
    void WriteStereoFlac()
    {
        const std::size_t frames = 3 * 44100 + 7;
        test::WriteSound(File("in.flac"),
                         {44100, 2,
                          test::Interleave(test::Sine(1000, 44100, 9000, frames),
                                           test::Sine(2500, 44100, 9000, frames))},
                         SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
        inputFrames_ = static_cast<std::int64_t>(frames);
    }

    TFilterOptions Options(const std::string& input, const std::string& output) const
    {
        TFilterOptions options;
        options.Input = File(input);
        options.Output = File(output);
        return options;
    }

    template <class Error> std::string FailureOf(const TFilterOptions& options)
    {
        try
        {
            RunFilterJob(options);
        }
        catch (const Error& error)
        {
            return error.what();
        }
        return "no failure";
    }

    std::int64_t inputFrames_ = 0;
};

TEST_F(FilterFilesTest, AStereoFlacAt44100HzBecomesMonoAt8000HzOfTheSameDuration)
{
    WriteStereoFlac();
    const auto expected = static_cast<std::size_t>(std::llround(inputFrames_ * 8000.0 / 44100));
    for (TChannelPick channel : {TChannelPick::Left, TChannelPick::Right, TChannelPick::Mix})
    {
        TFilterOptions options = Options("in.flac", "out.wav");
        options.Channel = channel;
        TFilterJobReport report = RunFilterJob(options);
        EXPECT_EQ(report.InputRate, 44100);
        EXPECT_EQ(report.InputChannels, 2);
        test::TSound output = test::ReadSound(File("out.wav"));
        EXPECT_EQ(output.Rate, 8000);
        EXPECT_EQ(output.Channels, 1);
        EXPECT_EQ(output.Samples.size(), expected);
        EXPECT_EQ(report.OutputSamples, static_cast<std::int64_t>(expected));
        double low = test::TonePower(output.Samples, 1000, 8000);
        double high = test::TonePower(output.Samples, 2500, 8000);
        switch (channel)
        {
        case TChannelPick::Left:
            EXPECT_GT(low, 1000 * high);
            break;
        case TChannelPick::Right:
            EXPECT_GT(high, 1000 * low);
            break;
        case TChannelPick::Mix:
            EXPECT_NEAR(low / high, 1.0, 0.1);
            break;
        }
    }
}

TEST_F(FilterFilesTest, RateResamplesTheResultAndTheContainerFollowsTheName)
{
    WriteStereoFlac();
    TFilterOptions options = Options("in.flac", "out.FLAC");
    options.Rate = 22050;
    RunFilterJob(options);
    test::TSound output = test::ReadSound(File("out.FLAC"));
    const std::int64_t filtered = std::llround(inputFrames_ * 8000.0 / 44100);
    EXPECT_EQ(output.Rate, 22050);
    EXPECT_EQ(output.Frames(), std::llround(filtered * 22050.0 / 8000));
    EXPECT_GT(test::TonePower(output.Samples, 1000, 22050), 1e6);

    SF_INFO info{};
    SNDFILE* file = sf_open(File("out.FLAC").c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    sf_close(file);
}

TEST_F(FilterFilesTest, UnreadableInputsFailBeforeAnyOutputExists)
{
    WriteStereoFlac();
    {
        std::ifstream whole(File("in.flac"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(whole)), {});
        std::ofstream(File("cut.flac"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    }
    test::WriteSound(File("in.wav"), {8000, 1, test::Sine(700, 8000, 5000, 16000)},
                     SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    {
        std::ifstream whole(File("in.wav"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(whole)), {});
        std::ofstream(File("cut.wav"), std::ios::binary) << bytes.substr(0, 20000);
    }
    std::ofstream(File("notes.txt")) << "73 de KEB, not a recording\n";
    const std::vector<std::string> before = FolderContents();

    EXPECT_NE(
        FailureOf<EFilterInputError>(Options("cut.wav", "out.wav")).find("cut.wav: is cut off"),
        std::string::npos);
    EXPECT_NE(FailureOf<EFilterInputError>(Options("cut.flac", "out.wav")).find("cut.flac:"),
              std::string::npos);
    EXPECT_NE(FailureOf<EFilterInputError>(Options("notes.txt", "out.wav"))
                  .find("notes.txt: cannot read as audio"),
              std::string::npos);
    EXPECT_NE(FailureOf<EFilterInputError>(Options("missing.wav", "out.wav")).find("missing.wav:"),
              std::string::npos);
    EXPECT_EQ(FolderContents(), before);
}

TEST_F(FilterFilesTest, AFailedRunKeepsTheOldOutputAndASuccessfulOneItsPermissions)
{
    WriteStereoFlac();
    std::ofstream(File("out.wav")) << "the previous result";
    std::ofstream(File("notes.txt")) << "not audio";
    ::chmod(File("out.wav").c_str(), 0640);
    FailureOf<EFilterInputError>(Options("notes.txt", "out.wav"));
    std::ifstream previous(File("out.wav"));
    std::string text;
    std::getline(previous, text);
    EXPECT_EQ(text, "the previous result");

    RunFilterJob(Options("in.flac", "out.wav"));
    EXPECT_EQ(test::ReadSound(File("out.wav")).Rate, 8000);
    struct stat status
    {
    };
    ASSERT_EQ(::stat(File("out.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"in.flac", "notes.txt", "out.wav"}));
}

TEST_F(FilterFilesTest, UnwritableOutputsLeaveNothingBehind)
{
    WriteStereoFlac();
    std::filesystem::create_directory(File("folder.wav"));
    std::ofstream(File("plain")) << "x";
    EXPECT_NE(FailureOf<EFilterOutputError>(Options("in.flac", "folder.wav"))
                  .find("folder.wav: is a folder"),
              std::string::npos);
    EXPECT_NE(
        FailureOf<EFilterUsageError>(Options("in.flac", "folder.wav/out")).find(".wav, .flac"),
        std::string::npos);
    EXPECT_NE(FailureOf<EFilterOutputError>(Options("in.flac", "plain/out.wav"))
                  .find("plain/out.wav: cannot create a file there: Not a directory"),
              std::string::npos);
    EXPECT_NE(FailureOf<EFilterOutputError>(Options("in.flac", "none/out.wav"))
                  .find("none/out.wav: cannot create a file there: No such file or directory"),
              std::string::npos);
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"folder.wav", "in.flac", "plain"}));
    EXPECT_TRUE(std::filesystem::is_empty(File("folder.wav")));
}

// A file size limit stands in for a full disk: the write fails in the middle
// of the run, after the output was opened and while filtering goes on.
TEST_F(FilterFilesTest, AWriteFailingMidwayFailsTheRunAndLeavesNothing)
{
    test::WriteSound(File("in.wav"), {8000, 1, test::Sine(700, 8000, 5000, 20 * 8000)},
                     SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limited = before;
    limited.rlim_cur = 64 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::string failure = FailureOf<EFilterOutputError>(Options("in.wav", "out.wav"));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(failure.find("out.wav: cannot write"), std::string::npos) << failure;
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"in.wav"}));
}

// A WAV file keeps its sizes in 32 bits. A recording known to fit is plain
// WAV; one that may not leaves room in the header for RF64's 64-bit sizes, so
// that passing 4 GiB never wraps them.
TEST_F(FilterFilesTest, AWavOutputIsPlainWhenItFitsAndRf64WhenItMayNot)
{
    const std::vector<std::int16_t> tone = test::Sine(700, 8000, 5000, 8000);
    const auto headerOf = [&](const std::string& name, std::int64_t expected)
    {
        TSoundFileWriter writer(File(name), 8000, expected);
        writer.Write(tone);
        writer.Finish();
        EXPECT_EQ(test::ReadSound(File(name)).Samples, tone) << name;
        std::ifstream stream(File(name), std::ios::binary);
        std::string header(22, '\0');
        stream.read(header.data(), 22);
        return header;
    };
    // Known to fit: the plain 16-bit PCM layout (format tag 1) every reader takes.
    const std::string plain = headerOf("plain.wav", 8000);
    EXPECT_EQ(plain.substr(0, 4), "RIFF");
    EXPECT_EQ(plain.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(plain.substr(20, 2), std::string("\x01\x00", 2));
    // Past 4 GiB or of unknown length: room for RF64's 64-bit sizes (a JUNK
    // chunk), so that the sizes never wrap.
    for (const std::int64_t expected : {std::int64_t{3} << 30, std::int64_t{-1}})
        EXPECT_EQ(headerOf("long.wav", expected).substr(8, 8), "WAVEJUNK") << expected;
}

// AIFF and AU cannot grow past 4 GiB: the writer stops before the audio
// passes the container's limit (here made small), with an output error.
TEST_F(FilterFilesTest, AudioBeyondWhatAnAiffOrAuHoldsIsRefusedAndNothingIsLeft)
{
    const std::vector<std::int16_t> second = test::Sine(700, 8000, 5000, 8000);
    for (const std::string name : {"out.aiff", "out.au"})
    {
        const std::string refusal = [&]
        {
            TSoundFileWriter writer(File(name), 8000, 4 * 8000, 3 * 16000);
            writer.Write(second);
            writer.Write(second);
            writer.Write(second);
            try
            {
                writer.Write(second);
            }
            catch (const EFilterOutputError& error)
            {
                return std::string(error.what());
            }
            return std::string("no failure");
        }();
        EXPECT_NE(refusal.find(name + ": is too long for an A"), std::string::npos) << refusal;
        EXPECT_NE(refusal.find("(4 GiB at most); name it .wav, .flac or .caf"), std::string::npos);
    }
    EXPECT_LT(ContainerByteLimit(OutputContainer("x.aiff")), 1ull << 32);
    EXPECT_EQ(ContainerByteLimit(OutputContainer("x.caf")), UINT64_MAX);
    EXPECT_TRUE(FolderContents().empty());
}

TEST_F(FilterFilesTest, TheInputIsNeverTheOutput)
{
    WriteStereoFlac();
    std::filesystem::create_hard_link(File("in.flac"), File("same.flac"));
    std::string refusal = FailureOf<EFilterUsageError>(Options("in.flac", "same.flac"));
    EXPECT_NE(refusal.find("same.flac: is the input"), std::string::npos) << refusal;
    EXPECT_EQ(test::ReadSound(File("same.flac")).Rate, 44100);
}

// 16-bit recordings are read as 16-bit samples when that gives exactly what
// the float reading rounds to: a channel picked from a 16-bit file (WAV or
// FLAC), not a mix of two, not a float or 24-bit file.
TEST_F(FilterFilesTest, SixteenBitSamplesReadAsTheyAreEqualTheFloatsRounded)
{
    const std::size_t frames = 5000;
    const std::vector<std::int16_t> left = test::Sine(1000, 8000, 32767, frames);
    const std::vector<std::int16_t> right = test::Sine(300, 8000, 20000, frames);
    const auto holds = [&](const std::string& name, int format, int channels, TChannelPick pick)
    {
        test::WriteSound(File(name),
                         {8000, channels, channels == 2 ? test::Interleave(left, right) : left},
                         format);
        return TSoundFileReader(File(name), pick).HoldsPcm16();
    };
    EXPECT_TRUE(holds("mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, TChannelPick::Mix));
    EXPECT_TRUE(holds("left.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, TChannelPick::Left));
    EXPECT_FALSE(holds("mix.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, TChannelPick::Mix));
    EXPECT_FALSE(holds("float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, TChannelPick::Left));
    EXPECT_FALSE(holds("deep.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, TChannelPick::Left));

    for (const TChannelPick pick : {TChannelPick::Left, TChannelPick::Right})
    {
        TSoundFileReader asFloats(File("left.flac"), pick);
        TSoundFileReader asSamples(File("left.flac"), pick);
        std::vector<float> floats(frames + 10);
        std::vector<std::int16_t> samples(frames + 10);
        // Pieces of odd sizes, the last one past the end.
        for (std::size_t at = 0, piece = 1; at < frames; at += piece, piece = piece * 3 + 1)
        {
            const std::size_t got = asSamples.Read(samples.data() + at, piece);
            EXPECT_EQ(got, asFloats.Read(floats.data() + at, piece));
            EXPECT_EQ(got, std::min(piece, frames - at));
        }
        EXPECT_EQ(asSamples.FramesRead(), static_cast<std::int64_t>(frames));
        const std::vector<std::int16_t>& wanted = pick == TChannelPick::Left ? left : right;
        for (std::size_t i = 0; i < frames; ++i)
        {
            ASSERT_EQ(samples[i], wanted[i]) << i;
            ASSERT_EQ(floats[i] * 32768.0f, static_cast<float>(wanted[i])) << i;
        }
    }
    TSoundFileReader mixed(File("mix.wav"), TChannelPick::Mix);
    std::vector<std::int16_t> samples(10);
    EXPECT_THROW(mixed.Read(samples.data(), samples.size()), std::logic_error);
}

TEST_F(FilterFilesTest, TheFileSupplyGivesTheSameSamplesInPiecesOfAnySize)
{
    // Pieces below, at and above the supply's read of 32768 samples, mixed, and one past
    // the end; a 16-bit file (read straight into large pieces) and a 24-bit one.
    const std::size_t frames = 200000 + 11;
    const std::vector<std::int16_t> tone = test::Sine(700, 8000, 30000, frames);
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_WAV | SF_FORMAT_PCM_24})
    {
        test::WriteSound(File("in.wav"), {8000, 1, tone}, format);
        TSoundFileReader reader(File("in.wav"), TChannelPick::Left);
        TFileSupply supply(reader, 8000);
        std::vector<std::int16_t> samples(frames + 70000);
        std::size_t at = 0;
        for (const std::size_t piece : {1000, 32768, 40000, 7, 70000, 70000})
            at += supply.Supply(samples.data() + at, piece);
        EXPECT_EQ(at, frames);
        EXPECT_EQ(supply.Supply(samples.data(), 40000), 0u);
        samples.resize(frames);
        EXPECT_EQ(samples, tone);
    }
}

} // namespace
} // namespace keb
