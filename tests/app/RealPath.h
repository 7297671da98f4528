// The real sound path of these tests: PortAudio over ALSA devices that a
// running JACK server (dummy backend, 8000 or 48000 Hz) paces in real time,
// set up by .ci/real-path. Its folder (KEB_REAL_PATH_DIR) holds the ALSA configuration
// (ALSA_CONFIG_PATH) with the device "kebfiles": its capture reads
// infile.raw there, its playback writes what is played to played.raw, both
// S16_LE mono 8000 Hz. The tests run one at a time: they share the files.
//
// JackPathProblem says what is missing of that set-up (no folder, no
// "kebfiles" device, no JACK server behind it) and what to do; the tests fail
// with its text.
#pragma once

#include <QStringList>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace keb::test
{

using namespace std::chrono_literals;

inline constexpr int PathRate = 8000;
inline constexpr const char* FileDevice = "kebfiles";

// Empty when the path is ready, else why not and how to get it.
std::string JackPathProblem();
std::filesystem::path PathFolder();
std::filesystem::path RecordingFile(); // infile.raw
std::filesystem::path PlayedFile();    // played.raw

std::vector<std::int16_t> ReadRaw(const std::filesystem::path& file);
void WriteRaw(const std::filesystem::path& file, const std::vector<std::int16_t>& samples);
std::vector<std::int16_t> ReadWav(const std::filesystem::path& file);
void WriteWav(const std::filesystem::path& file, const std::vector<std::int16_t>& samples);

// A program run by its path, bounded in time; Pid is known while it runs.
struct TProgramRun
{
    int ExitCode = -1;
    bool Finished = false;
    std::string Errors;
};

// Runs Program with Arguments, its settings and memories in Home (HOME,
// XDG_CONFIG_HOME, XDG_DATA_HOME and KEB_HOME inside it, Qt offscreen), and
// kills it after Limit. While it runs, Watch (if set) is called with its
// process id every millisecond or so.
TProgramRun RunProgram(const std::string& program, const QStringList& arguments,
                       const std::filesystem::path& home, std::chrono::seconds limit,
                       const std::function<void(std::int64_t pid)>& watch = {});

// A folder of the test's own under /tmp, removed with the object.
class TScratchFolder
{
  public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

} // namespace keb::test
