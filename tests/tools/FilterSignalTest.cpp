// keb-filter stopped from outside: Ctrl+C while it waits for its input,
// SIGKILL while it writes, and what such runs leave for the next one.
#include "tests/tools/FilterTestSupport.h"
#include "tools/AtomicFile.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace keb
{
namespace
{

class FilterSignalTest : public test::FilterFolderTest
{
  protected:
    void SetUp() override
    {
        test::FilterFolderTest::SetUp();
        ASSERT_EQ(::mkfifo(File("in.wav").c_str(), 0600), 0);
    }

    // The start of a WAV recording (header and a second of audio) as a
    // writer would send it, the rest still to come.
    static std::string RecordingStart()
    {
        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        char name[] = "/tmp/keb-filter-start-XXXXXX";
        ::close(::mkstemp(name));
        SNDFILE* file = sf_open(name, SFM_WRITE, &info);
        const std::vector<std::int16_t> tone = test::Sine(700, 8000, 5000, 8000 * 60);
        sf_writef_short(file, tone.data(), static_cast<sf_count_t>(tone.size()));
        sf_close(file);
        std::ifstream stream(name, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(stream)), {});
        ::unlink(name);
        return bytes.substr(0, 44 + 16000);
    }

    // Once the program waits for a writer, gives it the start of a recording
    // and then nothing, till it waits for more. The pipe is opened for
    // reading too, so that it stays open without a reader's wait. Returns
    // the writer's end, or -1 when the program did not come to wait.
    int FeedTheStartAndStall(const test::TRunningFilter& filter) const
    {
        if (!filter.WaitsIn("wait_for_partner", 20))
            return -1;
        const int writer = ::open(File("in.wav").c_str(), O_RDWR);
        const std::string start = RecordingStart();
        if (writer < 0 ||
            ::write(writer, start.data(), start.size()) != static_cast<ssize_t>(start.size()) ||
            !filter.WaitsIn("pipe_read", 20))
        {
            ::close(writer);
            return -1;
        }
        return writer;
    }

    static void ExpectInterrupted(const test::TProgramRun& run)
    {
        EXPECT_EQ(run.ExitCode, 130);
        EXPECT_EQ(run.Errors, "keb-filter: interrupted; nothing was written\n");
    }
};

TEST_F(FilterSignalTest, CtrlCEndsARunWaitingForAPipeWithoutAWriterAtOnce)
{
    test::TRunningFilter filter({"--waterfall-in", File("in.png").string(), File("in.wav").string(),
                                 File("out.wav").string()});
    ASSERT_TRUE(filter.WaitsIn("wait_for_partner", 20));
    filter.Signal(SIGINT);
    ExpectInterrupted(filter.Wait(10));
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"in.wav"});
}

TEST_F(FilterSignalTest, CtrlCEndsARunWhoseWriterStalledAtOnce)
{
    test::TRunningFilter filter({File("in.wav").string(), File("out.wav").string()});
    const int writer = FeedTheStartAndStall(filter);
    ASSERT_GE(writer, 0);
    filter.Signal(SIGINT);
    ExpectInterrupted(filter.Wait(10));
    ::close(writer);
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"in.wav"});
}

TEST_F(FilterSignalTest, SigkillLeavesNoFileBehind)
{
    test::TRunningFilter filter({"--response", File("response.png").string(),
                                 File("in.wav").string(), File("out.wav").string()});
    // Reading for more: the output already holds the second it was given.
    const int writer = FeedTheStartAndStall(filter);
    ASSERT_GE(writer, 0);
    filter.Signal(SIGKILL);
    filter.Wait(10);
    ::close(writer);
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"in.wav"});
}

TEST_F(FilterSignalTest, APartialFileOfAKilledRunGoesWithTheNextRunOfTheSameOutput)
{
    std::filesystem::remove(File("in.wav"));
    test::WriteSound(File("in.wav"), {8000, 1, test::Sine(700, 8000, 5000, 8000)},
                     SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // The number of a process that has ended, as a killed run's would be.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::filesystem::path stale = PartialFileName(File("out.wav"), gone);
    const std::filesystem::path living = PartialFileName(File("out.wav"), ::getpid());
    const std::filesystem::path other = PartialFileName(File("other.wav"), gone);
    for (const auto& file : {stale, living, other})
        std::ofstream(file) << "half a recording";

    test::TProgramRun run =
        test::RunFilterProgram({"--quiet", File("in.wav").string(), File("out.wav").string()});
    EXPECT_EQ(run.ExitCode, 0) << run.Errors;
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(living)) << "a running process's file was taken";
    EXPECT_TRUE(std::filesystem::exists(other)) << "another output's file was taken";
    EXPECT_EQ(test::ReadSound(File("out.wav")).Samples.size(), 8000u);
}

} // namespace
} // namespace keb
