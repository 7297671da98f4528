// keb-filter as a user runs it: exit codes, one-line messages, the summary.
#include "tests/tools/FilterTestSupport.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace keb
{
namespace
{

class FilterProgramTest : public test::FilterFolderTest
{
  protected:
    void SetUp() override
    {
        test::FilterFolderTest::SetUp();
        test::WriteSound(File("in.wav"), {8000, 1, test::Sine(700, 8000, 5000, 8000)},
                         SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }

    // Exactly one line, naming the program and then `what`.
    static void ExpectOneLine(const std::string& errors, const std::string& what)
    {
        EXPECT_EQ(errors.rfind("keb-filter: ", 0), 0u) << errors;
        EXPECT_NE(errors.find(what), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
};

TEST_F(FilterProgramTest, ARecordingFilteredOnSeveralThreadsEqualsOneReadFromAPipe)
{
    // Long enough for the lanes that filter a file (a pipe is filtered on one thread),
    // loud enough to clip, aligned so that the start is dropped.
    std::vector<std::int16_t> tones = test::Sine(1300, 8000, 20000, 2'500'000);
    const std::vector<std::int16_t> low = test::Sine(300, 8000, 20000, tones.size());
    for (std::size_t i = 0; i < tones.size(); ++i)
        tones[i] = static_cast<std::int16_t>(tones[i] + low[i] * (i / 100000 % 2));
    test::WriteSound(File("long.wav"), {8000, 1, tones}, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::vector<std::string> settings{"--quiet", "--align", "--gains",
                                            "12,12,12,12,12,12,12,12,12,12,0,0,0,0,0,0,0,0,0,0"};
    std::vector<std::string> fromFile = settings;
    fromFile.insert(fromFile.end(), {File("long.wav").string(), File("file.wav").string()});
    EXPECT_EQ(test::RunFilterProgram(fromFile).ExitCode, 0);
    // sh -c 'program=$0; input=$1; shift; "$program" "$@" < "$input"' program input arguments
    std::vector<std::string> fromPipe{"-c", "p=$0; i=$1; shift; \"$p\" \"$@\" < \"$i\"",
                                      KEB_FILTER_PROGRAM, File("long.wav").string()};
    fromPipe.insert(fromPipe.end(), settings.begin(), settings.end());
    fromPipe.insert(fromPipe.end(), {"-", File("pipe.wav").string()});
    const test::TProgramRun piped = test::RunProgram("sh", fromPipe);
    EXPECT_EQ(piped.ExitCode, 0) << piped.Errors;
    const std::vector<std::int16_t> file = test::ReadSound(File("file.wav")).Samples;
    EXPECT_EQ(file.size(), tones.size());
    EXPECT_EQ(file, test::ReadSound(File("pipe.wav")).Samples);
}

TEST_F(FilterProgramTest, OnlyARunWithPicturesLoadsQt)
{
    // The loader names every library it loads.
    const auto loadsQt = [&](std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"LD_DEBUG=files", KEB_FILTER_PROGRAM, "--quiet"});
        const test::TProgramRun run = test::RunProgram("env", arguments);
        EXPECT_EQ(run.ExitCode, 0) << run.Errors;
        return run.Errors.find("libQt6Gui") != std::string::npos;
    };
    EXPECT_FALSE(loadsQt({File("in.wav").string(), File("out.wav").string()}));
    EXPECT_TRUE(loadsQt({"--response", File("response.png").string(), File("in.wav").string(),
                         File("out.wav").string()}));
}

TEST_F(FilterProgramTest, APictureWithoutItsModuleIsAnOutputError)
{
    // The program alone, away from the module it finds next to itself.
    std::filesystem::copy_file(KEB_FILTER_PROGRAM, File("keb-filter"));
    const std::string program = File("keb-filter").string();
    test::TProgramRun run =
        test::RunProgram(program, {"--waterfall-in", File("in.png").string(),
                                   File("in.wav").string(), File("out.wav").string()});
    EXPECT_EQ(run.ExitCode, 3);
    ExpectOneLine(run.Errors, "cannot draw pictures: its module keb-filter-pictures");
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"in.wav", "keb-filter"}));

    run = test::RunProgram(program, {"--quiet", File("in.wav").string(), File("out.wav").string()});
    EXPECT_EQ(run.ExitCode, 0) << run.Errors;
}

TEST_F(FilterProgramTest, ADoneRunSaysWhereTheResultIs)
{
    test::TProgramRun run = test::RunFilterProgram(
        {"--preset", "1.8", "--waterfall-in", File("in.png").string(), "--waterfall-out",
         File("out.png").string(), "--response", File("response.png").string(),
         File("in.wav").string(), File("out.wav").string()});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Errors, "");
    for (const std::string& line : {"filtered recording: " + File("out.wav").string(),
                                    "input waterfall: " + File("in.png").string(),
                                    "output waterfall: " + File("out.png").string(),
                                    "equalizer response: " + File("response.png").string()})
        EXPECT_NE(run.Output.find(line), std::string::npos) << run.Output;
    EXPECT_EQ(test::ReadSound(File("out.wav")).Samples.size(), 8000u);

    run = test::RunFilterProgram({"--quiet", File("in.wav").string(), File("quiet.wav").string()});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output + run.Errors, "");
}

TEST_F(FilterProgramTest, HelpAndVersionWithTheirShortForms)
{
    for (const std::string help : {"--help", "-h"})
    {
        test::TProgramRun run = test::RunFilterProgram({help});
        EXPECT_EQ(run.ExitCode, 0);
        EXPECT_EQ(run.Output.rfind("Usage: keb-filter [options] INPUT OUTPUT", 0), 0u) << help;
    }
    for (const std::string version : {"--version", "-V"})
    {
        test::TProgramRun run = test::RunFilterProgram({version});
        EXPECT_EQ(run.ExitCode, 0);
        EXPECT_EQ(run.Output.rfind("keb-filter ", 0), 0u) << version;
    }
}

TEST_F(FilterProgramTest, ADashWritesTheWavToStandardOutputAsItWouldToAFile)
{
    test::TProgramRun file = test::RunFilterProgram(
        {"--preset", "0.4", File("in.wav").string(), File("out.wav").string()});
    test::TProgramRun piped =
        test::RunFilterProgram({"--preset", "0.4", File("in.wav").string(), "-"});
    EXPECT_EQ(piped.ExitCode, 0);
    std::ifstream stream(File("out.wav"), std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(stream)), {});
    EXPECT_EQ(written.size(), piped.Output.size());
    EXPECT_TRUE(written == piped.Output) << "the bytes differ";
    // The summary goes where it does not spoil the recording.
    EXPECT_NE(piped.Errors.find("filtered recording: standard output"), std::string::npos);
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST_F(FilterProgramTest, UsageErrorsExitWith1)
{
    std::filesystem::create_hard_link(File("in.wav"), File("link.wav"));
    // A folder that leads back to its own: out/alias/x.wav is out/x.wav.
    std::filesystem::create_directory(File("out"));
    std::filesystem::create_directory_symlink(".", File("out/alias"));
    std::filesystem::create_symlink(File("in.wav"), File("out/symlink.wav"));
    const std::string in = File("in.wav").string();
    const std::string out = File("out.wav").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--loud", "in.wav", "out.wav"}, "unknown option --loud"},
        {{"in.wav"}, "wants an INPUT and an OUTPUT file"},
        {{in, File("out.mp3").string()}, "out.mp3: the output's name"},
        {{in, File("link.wav").string()}, "link.wav: is the input"},
        {{in, File("out/alias/symlink.wav").string()}, "symlink.wav: is the input"},
        {{"--waterfall-in", File("out/alias/x.wav").string(), in, File("out/x.wav").string()},
         "--waterfall-in writes PNG pictures"},
        {{"--waterfall-in", File("out/alias/x.png").string(), "--response",
          File("out/x.png").string(), in, out},
         "is the same file as"},
        {{"--response", File("r.jpg").string(), in, out}, "the name must end in .png, not"},
        {{"--fft-length", "3", in, out}, "--fft-length wants a power of two from 8 to 4096, not 3"},
        {{"--fft-length", "300", in, out}, "--fft-length wants a power of two"},
        {{"--fft-length", "8192", in, out}, "--fft-length wants a power of two"},
        {{"--waterfall-width", "99", in, out}, "--waterfall-width wants 100 .. 30000 columns"},
    };
    for (const auto& [arguments, what] : cases)
    {
        test::TProgramRun run = test::RunFilterProgram(arguments);
        EXPECT_EQ(run.ExitCode, 1) << what;
        ExpectOneLine(run.Errors, what);
    }
}

// The first half of a copy of in.wav in another container.
void WriteCutCopy(const std::filesystem::path& name, int format)
{
    const std::filesystem::path whole = name.string() + ".whole";
    test::WriteSound(whole, {8000, 1, test::Sine(700, 8000, 5000, 8000)},
                     format | SF_FORMAT_PCM_16);
    std::ifstream stream(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(stream)), {});
    std::ofstream(name, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::filesystem::remove(whole);
}

// A WAV header that names 0 Hz, then a second of silence.
void WriteRateZeroWav(const std::filesystem::path& name)
{
    auto word = [](std::uint32_t value, int bytes)
    {
        std::string text;
        for (int i = 0; i < bytes; ++i)
            text += static_cast<char>((value >> (8 * i)) & 0xFF);
        return text;
    };
    const std::uint32_t data = 16000;
    std::ofstream(name, std::ios::binary)
        << "RIFF" << word(36 + data, 4) << "WAVEfmt " << word(16, 4) << word(1, 2) << word(1, 2)
        << word(0, 4) << word(0, 4) << word(2, 2) << word(16, 2) << "data" << word(data, 4)
        << std::string(data, '\0');
}

TEST_F(FilterProgramTest, UnreadableInputsExitWith2AndWriteNothing)
{
    std::ifstream whole(File("in.wav"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), {});
    std::ofstream(File("cut.wav"), std::ios::binary) << bytes.substr(0, bytes.size() - 1000);
    std::ofstream(File("text.wav")) << "no sound in here\n";
    WriteCutCopy(File("cut.au"), SF_FORMAT_AU);
    WriteCutCopy(File("cut.aiff"), SF_FORMAT_AIFF);
    WriteRateZeroWav(File("zero.wav"));
    const std::vector<std::pair<std::string, std::string>> inputs{
        {"cut.wav", "is cut off"},
        {"cut.au", "is cut off"},
        {"cut.aiff", "is cut off"},
        {"text.wav", "cannot read as audio"},
        {"missing.wav", "cannot read as audio"},
        {"zero.wav", "its header gives a sample rate or channel count of 0"},
    };
    for (const auto& [input, cause] : inputs)
    {
        test::TProgramRun run =
            test::RunFilterProgram({File(input).string(), File("out.wav").string()});
        EXPECT_EQ(run.ExitCode, 2) << input;
        ExpectOneLine(run.Errors, File(input).string() + ": " + cause);
        EXPECT_FALSE(std::filesystem::exists(File("out.wav")));
    }
    std::filesystem::create_directory(File("F2.dat"));
    ASSERT_EQ(::mkfifo(File("F3.dat").c_str(), 0600), 0);
    const std::vector<std::pair<std::string, std::string>> memories{
        {"F1.dat", "F1.dat: no such memory file"},
        {"F2.dat", "F2.dat: is a folder, not a memory file"},
        {"F3.dat", "F3.dat: is not a regular file (a pipe, socket or device)"},
    };
    for (const auto& [memory, cause] : memories)
    {
        test::TProgramRun run = test::RunFilterProgram(
            {"--memory", File(memory).string(), File("in.wav").string(), File("out.wav").string()});
        EXPECT_EQ(run.ExitCode, 2) << memory;
        ExpectOneLine(run.Errors, cause);
    }
    EXPECT_EQ(FolderContents(),
              (std::vector<std::string>{"F2.dat", "F3.dat", "cut.aiff", "cut.au", "cut.wav",
                                        "in.wav", "text.wav", "zero.wav"}));
}

TEST_F(FilterProgramTest, UnwritableOutputsExitWith3)
{
    std::filesystem::create_directory(File("out.wav"));
    std::ofstream(File("file")) << "x";
    for (const std::string output : {"out.wav", "file/out.wav", "none/out.wav"})
    {
        test::TProgramRun run =
            test::RunFilterProgram({File("in.wav").string(), File(output).string()});
        EXPECT_EQ(run.ExitCode, 3) << output;
        ExpectOneLine(run.Errors, File(output).string() + ": ");
    }
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"file", "in.wav", "out.wav"}));
}

// The program, not its caller, decides what the file-size signal does: it
// starts with the default (which kills) and a limit it runs into mid-write.
TEST_F(FilterProgramTest, AFileSizeLimitIsAnOutputErrorNotASilentDeath)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    const auto savedHandler = std::signal(SIGXFSZ, SIG_DFL);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const test::TProgramRun run =
        test::RunFilterProgram({File("in.wav").string(), File("out.wav").string()});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_EQ(run.ExitCode, 3);
    ExpectOneLine(run.Errors, File("out.wav").string() + ": cannot write");
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"in.wav"});
}

} // namespace
} // namespace keb
