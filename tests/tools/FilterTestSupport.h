// Shared helpers of the keb-filter tests: a scratch folder per test, sound
// files written and read with libsndfile, the program run as a user runs it,
// and the signal measures the tests compare with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace keb::test
{

// A fresh, empty folder for each test, removed afterwards.
class FilterFolderTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path File(const std::string& name) const { return folder_ / name; }
    // The names of everything in the folder, sorted.
    std::vector<std::string> FolderContents() const;

    std::filesystem::path folder_;
};

struct TSound
{
    int Rate = 0;
    int Channels = 0;
    std::vector<std::int16_t> Samples; // interleaved
    std::int64_t Frames() const { return static_cast<std::int64_t>(Samples.size()) / Channels; }
};

// format: a libsndfile container | encoding.
void WriteSound(const std::filesystem::path& file, const TSound& sound, int format);
TSound ReadSound(const std::filesystem::path& file);

struct TProgramRun
{
    int ExitCode = -1;
    std::string Errors; // what the program wrote to stderr
    std::string Output; // and to stdout
};

// Runs keb-filter with the arguments, as a shell would.
TProgramRun RunFilterProgram(const std::vector<std::string>& arguments);
// Runs any program the same way.
TProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// keb-filter running in the background, its stderr kept in a file.
class TRunningFilter
{
  public:
    explicit TRunningFilter(const std::vector<std::string>& arguments);
    ~TRunningFilter();
    void Signal(int signal) const;
    // Whether, within `seconds`, the program comes to wait in the kernel
    // function whose name holds `kernelFunction` (/proc/PID/wchan:
    // "wait_for_partner" opening a pipe
    // nobody writes to, "pipe_read" reading a pipe that gives nothing).
    bool WaitsIn(const std::string& kernelFunction, double seconds) const;
    // The run's status once it has ended, within `seconds`; ExitCode -1 when
    // it is still running then (it is killed) or ended by a signal.
    TProgramRun Wait(double seconds);

  private:
    int pid_ = -1;
    std::string errors_;
};

// A sine of `frequency` Hz at `amplitude`, `frames` long.
std::vector<std::int16_t> Sine(double frequency, int rate, double amplitude, std::size_t frames);
// Interleaves the channels of equal length.
std::vector<std::int16_t> Interleave(const std::vector<std::int16_t>& left,
                                     const std::vector<std::int16_t>& right);
// Power of the signal at `frequency` Hz (Goertzel), per sample.
double TonePower(const std::vector<std::int16_t>& samples, double frequency, int rate);
// Normalised correlation of a with b shifted by lag (b[i + lag] against a[i]).
double Correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, int lag);

} // namespace keb::test
