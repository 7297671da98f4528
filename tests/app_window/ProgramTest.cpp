// The program's command line, run as its own process.
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>
#include <string>

namespace keb::test
{
namespace
{

struct TRun
{
    int ExitCode = -1;
    QString Output;
    QString Errors;
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
    // The sound layer's own chatter (ALSA, JACK) aside: keb's lines.
    for (const QString& line : QString::fromUtf8(process.readAllStandardError()).split('\n'))
        if (line.startsWith("keb:"))
            run.Errors += line;
    return run;
}

TEST(ProgramTest, CommandLine)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    TRun version = RunKeb({"--version"}, environment);
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Output, "KEB 1.2.1");

    EXPECT_EQ(RunKeb({"--no-such-option"}, environment).ExitCode, 2);

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
    EXPECT_EQ(unknown.ExitCode, 2);
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

} // namespace
} // namespace keb::test
