// keb's start on PortAudio where ALSA and JACK find nothing: the system's
// ALSA configuration without its hooks and a JACK server that is not there.
// Both libraries report each failed probe on standard error unless keb mutes
// them; --verbose lets them through.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

// The lines keb --list-devices writes to standard error, run with Options.
QStringList ListDevicesErrors(const QStringList& Options)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("KEB_AUDIO");
    environment.insert("ALSA_CONFIG_PATH", KEB_SYSTEM_ALSA_CONFIG);
    environment.insert("JACK_NO_START_SERVER", "1");
    environment.insert("JACK_DEFAULT_SERVER", "keb-test-no-such-server");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(KEB_PROGRAM, QStringList{"--list-devices"} + Options);
    if (!process.waitForFinished(30000))
    {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "keb --list-devices did not end";
        return {};
    }
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().startsWith("Capture devices"));
    return QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
}

bool IsKebsOwn(const QString& Line)
{
    return Line.startsWith("keb:");
}

TEST(QuietStartTest, ProbingPrintsOnlyKebsOwnLinesUnlessVerbose)
{
    for (const QString& line : ListDevicesErrors({}))
        EXPECT_TRUE(IsKebsOwn(line)) << line.toStdString();

    // The same probe does make the libraries speak: the quiet run above
    // was muted, not merely lucky.
    const QStringList verbose = ListDevicesErrors({"--verbose"});
    EXPECT_TRUE(std::any_of(verbose.begin(), verbose.end(),
                            [](const QString& line) { return line.startsWith("ALSA lib"); }))
        << verbose.join('\n').toStdString();
    EXPECT_TRUE(std::any_of(verbose.begin(), verbose.end(),
                            [](const QString& line) { return line.contains("jack server"); }))
        << verbose.join('\n').toStdString();
}

} // namespace
} // namespace keb::test
