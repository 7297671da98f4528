// The program's command line, run as its own process.
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace keb::test
{
namespace
{

struct TRun
{
    int ExitCode = -1;
    QString Output;
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
}

} // namespace
} // namespace keb::test
