#include "RealPath.h"

#include "platform/audio/DeviceChoice.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sndfile.h>
#include <stdexcept>
#include <unistd.h>

namespace keb::test
{
namespace
{

std::string Names(const std::vector<TDeviceEntry>& devices)
{
    std::string names;
    for (const auto& device : devices)
        names += (names.empty() ? "\"" : ", \"") + device.Name + "\"";
    return names.empty() ? "none" : names;
}

std::string DeviceProblem(TDeviceKind kind, const char* what)
{
    const std::vector<TDeviceEntry> devices = ListDevices(kind);
    bool files = false;
    bool jack = false;
    for (const auto& device : devices)
    {
        files = files || device.Name == FileDevice;
        // PortAudio's own JACK device: listed only while a server runs.
        jack = jack || device.Name == "system";
    }
    if (files && jack)
        return {};
    return std::string("no JACK-backed ") + what + " device \"" + FileDevice +
           "\" with a running JACK server (the sound layer offers " + Names(devices) + ")";
}

} // namespace

std::string JackPathProblem()
{
    const char* folder = std::getenv("KEB_REAL_PATH_DIR");
    const char* config = std::getenv("ALSA_CONFIG_PATH");
    if (folder == nullptr || config == nullptr)
        return "KEB_REAL_PATH_DIR and ALSA_CONFIG_PATH are not set: run these tests through "
               ".ci/real-path, which starts the JACK server and writes the ALSA configuration";
    // The sound layer must not start a server of its own when none runs.
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    ::unsetenv("KEB_AUDIO");
    std::string problem = DeviceProblem(TDeviceKind::Capture, "capture");
    if (problem.empty())
        problem = DeviceProblem(TDeviceKind::Playback, "playback");
    return problem.empty() ? problem : problem + "; run these tests through .ci/real-path";
}

std::filesystem::path PathFolder()
{
    const char* folder = std::getenv("KEB_REAL_PATH_DIR");
    return folder != nullptr ? folder : "";
}

std::filesystem::path RecordingFile()
{
    return PathFolder() / "infile.raw";
}

std::filesystem::path PlayedFile()
{
    return PathFolder() / "played.raw";
}

std::vector<std::int16_t> ReadRaw(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(stream),
                                  std::istreambuf_iterator<char>()};
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t index = 0; index < samples.size(); ++index)
        samples[index] =
            static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * index]) |
                                      static_cast<std::uint8_t>(bytes[2 * index + 1]) << 8);
    return samples;
}

void WriteRaw(const std::filesystem::path& file, const std::vector<std::int16_t>& samples)
{
    std::vector<char> bytes(2 * samples.size());
    for (std::size_t index = 0; index < samples.size(); ++index)
    {
        const auto bits = static_cast<std::uint16_t>(samples[index]);
        bytes[2 * index] = static_cast<char>(bits & 0xff);
        bytes[2 * index + 1] = static_cast<char>(bits >> 8);
    }
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream)
        throw std::runtime_error("cannot write " + file.string());
}

std::vector<std::int16_t> ReadWav(const std::filesystem::path& file)
{
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (sound == nullptr)
        throw std::runtime_error("cannot read " + file.string() + ": " + sf_strerror(nullptr));
    if (info.channels != 1 || info.samplerate != PathRate)
    {
        sf_close(sound);
        throw std::runtime_error(file.string() + " is not 8000 Hz mono");
    }
    std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames));
    samples.resize(static_cast<std::size_t>(
        sf_read_short(sound, samples.data(), static_cast<sf_count_t>(samples.size()))));
    sf_close(sound);
    return samples;
}

void WriteWav(const std::filesystem::path& file, const std::vector<std::int16_t>& samples)
{
    SF_INFO info{};
    info.samplerate = PathRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
    if (sound == nullptr)
        throw std::runtime_error("cannot write " + file.string() + ": " + sf_strerror(nullptr));
    const sf_count_t written =
        sf_write_short(sound, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(sound);
    if (written != static_cast<sf_count_t>(samples.size()))
        throw std::runtime_error("cannot write all of " + file.string());
}

TProgramRun RunProgram(const std::string& program, const QStringList& arguments,
                       const std::filesystem::path& home, std::chrono::seconds limit,
                       const std::function<void(std::int64_t pid)>& watch)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto inside = [&](const char* name)
    { return QString::fromStdString((home / name).string()); };
    environment.insert("HOME", inside("home"));
    environment.insert("XDG_CONFIG_HOME", inside("config"));
    environment.insert("XDG_DATA_HOME", inside("data"));
    environment.insert("KEB_HOME", inside("memories"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("JACK_NO_START_SERVER", "1");
    environment.remove("KEB_AUDIO");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(program), arguments);
    TProgramRun run;
    if (!process.waitForStarted(10000))
    {
        run.Errors = "could not start " + program;
        return run;
    }
    QElapsedTimer clock;
    clock.start();
    const auto limitMs = std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
    while (!process.waitForFinished(1))
    {
        if (process.state() == QProcess::NotRunning)
            break;
        if (clock.elapsed() > limitMs)
        {
            process.kill();
            process.waitForFinished(5000);
            run.Errors = program + " did not end within " + std::to_string(limit.count()) + " s";
            return run;
        }
        if (watch)
            watch(process.processId());
    }
    run.Finished = process.exitStatus() == QProcess::NormalExit;
    run.ExitCode = process.exitCode();
    run.Errors = process.readAllStandardError().toStdString();
    return run;
}

TScratchFolder::TScratchFolder()
{
    char pattern[] = "/tmp/keb-real-path-test-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        throw std::runtime_error("cannot create a folder in /tmp");
    path_ = pattern;
}

TScratchFolder::~TScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace keb::test
