// The program's command line, run as its own process.
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace keb::test
{
namespace
{

struct TRun
{
    int ExitCode = -1;
    QString Output;
    QString Errors;
    QString AllErrors; // every line of stderr
};

TRun RunKeb(const QStringList& Arguments, const QProcessEnvironment& Environment)
{
    const char* build = std::getenv("KEB_BUILD_DIR");
    QProcess process;
    process.setProcessEnvironment(Environment);
    process.start(QString(build != nullptr ? build : ".") + "/app/keb", Arguments);
    TRun run;
    if (!process.waitForFinished(30000))
    {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ExitCode = process.exitCode();
    run.Output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    run.AllErrors = QString::fromUtf8(process.readAllStandardError());
    // The sound layer's own chatter (ALSA, JACK) aside: keb's lines.
    for (const QString& line : run.AllErrors.split('\n'))
        if (line.startsWith("keb:"))
            run.Errors += line;
    return run;
}

// A scratch home for one run of the window on the environment's virtual card.
class TProgramHome
{
  public:
    TProgramHome()
    {
        char pattern[] = "/tmp/keb-program-XXXXXX";
        EXPECT_NE(::mkdtemp(pattern), nullptr);
        Folder = pattern;
        Environment.insert("KEB_AUDIO", "virtual");
        Environment.insert("XDG_CONFIG_HOME", Path("config"));
        Environment.insert("KEB_HOME", Path("data"));
        Environment.insert("QT_QPA_PLATFORM", "offscreen");
    }
    ~TProgramHome() { std::filesystem::remove_all(Folder); }

    QString Path(const std::string& name) const
    {
        return QString::fromStdString((Folder / name).string());
    }

    std::filesystem::path Folder;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
};

std::string FileBytes(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(stream)), {});
}

TEST(ProgramTest, CommandLine)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    TRun version = RunKeb({"--version"}, environment);
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Output, "KEB 1.2.1");

    EXPECT_EQ(RunKeb({"-V"}, environment).Output, "KEB 1.2.1");
    EXPECT_TRUE(RunKeb({"-h"}, environment).Output.startsWith("usage: keb [options]"));

    EXPECT_EQ(RunKeb({"--no-such-option"}, environment).ExitCode, 1);
    for (const char* seconds : {"1e17", "1e10", "31536001", "0"})
    {
        TRun refused = RunKeb({"--quit-after", seconds}, environment);
        EXPECT_EQ(refused.ExitCode, 1) << seconds;
        EXPECT_TRUE(refused.Errors.startsWith("keb: --quit-after wants a number of seconds above 0 "
                                              "and at most a year"))
            << refused.Errors.toStdString();
    }

    // The virtual card of the environment has one recording device.
    environment.insert("KEB_AUDIO", "virtual");
    TRun devices = RunKeb({"--recording-devices"}, environment);
    EXPECT_EQ(devices.ExitCode, 0);
    EXPECT_EQ(devices.Output, "1");

    TRun list = RunKeb({"--list-devices"}, environment);
    EXPECT_EQ(list.ExitCode, 0);
    EXPECT_EQ(list.Output, "Capture devices (--input):\n"
                           "  -1  default device\n"
                           "   0  KEB virtual capture\n"
                           "Playback devices (--output):\n"
                           "  -1  default device\n"
                           "   0  KEB virtual playback");
}

// The window run from the command line on the environment's virtual card:
// a device it does not have ends the program before any window; the start
// options play through the 1.8 kHz filter and end the program on their own.
TEST(ProgramTest, StartOptionsRunTheWindowAndEndIt)
{
    char pattern[] = "/tmp/keb-program-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path home = pattern;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KEB_AUDIO", "virtual");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
    environment.insert("KEB_HOME", QString::fromStdString((home / "data").string()));
    environment.insert("KEB_AUDIO_OUTFILE", QString::fromStdString((home / "played.wav").string()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");

    TRun unknown = RunKeb({"--input", "Dongle"}, environment);
    EXPECT_EQ(unknown.ExitCode, 1);
    EXPECT_EQ(unknown.Errors, "keb: No capture device matches \"Dongle\"; the capture devices "
                              "are: -1 default, 0 \"KEB virtual capture\".");

    TRun run = RunKeb({"--input", "virtual", "--output", "0", "--preset", "1.8", "--shift", "2",
                       "--on", "--quit-after", "1.5"},
                      environment);
    EXPECT_EQ(run.ExitCode, 0);
    // A second and a half of 16-bit mono at 8000 Hz, less the start.
    EXPECT_GT(std::filesystem::file_size(home / "played.wav"), 44u + 8000u);
    EXPECT_FALSE(std::filesystem::exists(home / "config" / "keb" / "keb.conf"));
    std::filesystem::remove_all(home);
}

// Every error box of a scripted run: its text on stderr as one line, the
// run ended by --quit-after with the error status, never a wait for a user.
TEST(ProgramTest, ErrorBoxesEndAScriptedRunWithTheirTextOnStderr)
{
    {
        // The memory folder is a file: the box comes while the window is made.
        TProgramHome home;
        std::ofstream(home.Folder / "data") << "not a folder";
        TRun run = RunKeb({"--on", "--quit-after", "1"}, home.Environment);
        EXPECT_EQ(run.ExitCode, 4) << run.AllErrors.toStdString();
        EXPECT_TRUE(
            run.Errors.contains("keb: Cannot create the memory folder " + home.Path("data")))
            << run.AllErrors.toStdString();
    }
    {
        // The virtual card's recording is missing: the box comes at ON.
        TProgramHome home;
        home.Environment.insert("KEB_AUDIO_INFILE", home.Path("missing.wav"));
        TRun run = RunKeb({"--on", "--quit-after", "1"}, home.Environment);
        EXPECT_EQ(run.ExitCode, 4) << run.AllErrors.toStdString();
        EXPECT_TRUE(run.Errors.contains("keb: WaveInOpen: The virtual card's input file " +
                                        home.Path("missing.wav") + " cannot be read"))
            << run.AllErrors.toStdString();
    }
}

TEST(ProgramTest, TheVirtualCardNeverOverwritesItsInput)
{
    TProgramHome home;
    TRun recorded = [&]
    {
        QProcessEnvironment environment = home.Environment;
        environment.insert("KEB_AUDIO_OUTFILE", home.Path("tone.wav"));
        return RunKeb({"--on", "--quit-after", "1"}, environment);
    }();
    ASSERT_EQ(recorded.ExitCode, 0) << recorded.AllErrors.toStdString();
    const std::string before = FileBytes(home.Folder / "tone.wav");
    home.Environment.insert("KEB_AUDIO_INFILE", home.Path("tone.wav"));
    home.Environment.insert("KEB_AUDIO_OUTFILE", home.Path("tone.wav"));
    TRun run = RunKeb({"--on", "--quit-after", "1"}, home.Environment);
    EXPECT_EQ(run.ExitCode, 4);
    EXPECT_TRUE(run.Errors.contains("keb: WaveOutOpen: The virtual card's output file " +
                                    home.Path("tone.wav") + " is its input file"))
        << run.AllErrors.toStdString();
    EXPECT_TRUE(FileBytes(home.Folder / "tone.wav") == before) << "the input was overwritten";
}

// Killed while it plays, the virtual card's recording still has a header
// that counts all of its audio.
TEST(ProgramTest, TheVirtualCardsRecordingIsWholeAfterSigterm)
{
    TProgramHome home;
    home.Environment.insert("KEB_AUDIO_OUTFILE", home.Path("played.wav"));
    const char* build = std::getenv("KEB_BUILD_DIR");
    QProcess process;
    process.setProcessEnvironment(home.Environment);
    process.start(QString(build != nullptr ? build : ".") + "/app/keb", {"--on"});
    ASSERT_TRUE(process.waitForStarted());
    const std::filesystem::path file = home.Folder / "played.wav";
    for (int wait = 0; wait < 300; ++wait)
    {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        if (!error && size > 44 + 8000)
            break;
        QThread::msleep(100);
    }
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000));
    const std::string bytes = FileBytes(file);
    ASSERT_GT(bytes.size(), 44u + 8000u);
    const std::size_t data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    auto word = [&](std::size_t at)
    {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    // Writes of whole buffers: at most one buffer may trail the header.
    const std::size_t audio = bytes.size() - data - 8;
    EXPECT_GT(word(data + 4), 0u);
    EXPECT_LE(audio - word(data + 4), 2000u);
    EXPECT_EQ(word(4), data + word(data + 4));
}

TEST(ProgramTest, APipeForTheSettingsFileIsNotWaitedOn)
{
    TProgramHome home;
    std::filesystem::create_directories(home.Folder / "config" / "keb");
    ASSERT_EQ(::mkfifo((home.Folder / "config" / "keb" / "keb.conf").c_str(), 0600), 0);
    TRun run = RunKeb({"--quit-after", "0.5"}, home.Environment);
    EXPECT_EQ(run.ExitCode, 0) << run.AllErrors.toStdString();
}

// Without any display keb says so in one line and ends with the usage status.
TEST(ProgramTest, NoDisplayIsOneLineAndTheUsageStatus)
{
    TProgramHome home;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        home.Environment.remove(name);
    TRun run = RunKeb({"--quit-after", "1"}, home.Environment);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.AllErrors.startsWith("keb: no display to open the window on"))
        << run.AllErrors.toStdString();
    EXPECT_EQ(run.AllErrors.count('\n'), 1) << run.AllErrors.toStdString();
}

} // namespace
} // namespace keb::test
