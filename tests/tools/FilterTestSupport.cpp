#include "tests/tools/FilterTestSupport.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <numbers>
#include <sndfile.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace keb::test
{
namespace
{

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string FileText(const std::filesystem::path& file)
{
    std::ifstream stream(file);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

} // namespace

void FilterFolderTest::SetUp()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "keb-filter-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
}

void FilterFolderTest::TearDown()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> FilterFolderTest::FolderContents() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteSound(const std::filesystem::path& file, const TSound& sound, int format)
{
    SF_INFO info{};
    info.samplerate = sound.Rate;
    info.channels = sound.Channels;
    info.format = format;
    SNDFILE* handle = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(handle, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_short(handle, sound.Samples.data(), sound.Frames()), sound.Frames());
    sf_close(handle);
}

TSound ReadSound(const std::filesystem::path& file)
{
    SF_INFO info{};
    SNDFILE* handle = sf_open(file.c_str(), SFM_READ, &info);
    TSound sound;
    if (handle == nullptr)
    {
        ADD_FAILURE() << file << ": " << sf_strerror(nullptr);
        return sound;
    }
    sound.Rate = info.samplerate;
    sound.Channels = info.channels;
    sound.Samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    EXPECT_EQ(sf_readf_short(handle, sound.Samples.data(), info.frames), info.frames);
    sf_close(handle);
    return sound;
}

TProgramRun RunFilterProgram(const std::vector<std::string>& arguments)
{
    return RunProgram(KEB_FILTER_PROGRAM, arguments);
}

TProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    char errors[] = "/tmp/keb-filter-stderr-XXXXXX";
    char output[] = "/tmp/keb-filter-stdout-XXXXXX";
    ::close(::mkstemp(errors));
    ::close(::mkstemp(output));
    std::string command = Quoted(program);
    for (const auto& argument : arguments)
        command += " " + Quoted(argument);
    command += " >" + Quoted(output) + " 2>" + Quoted(errors) + " </dev/null";
    int status = std::system(command.c_str());
    TProgramRun run;
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Errors = FileText(errors);
    run.Output = FileText(output);
    ::unlink(errors);
    ::unlink(output);
    return run;
}

TRunningFilter::TRunningFilter(const std::vector<std::string>& arguments)
{
    char errors[] = "/tmp/keb-filter-stderr-XXXXXX";
    ::close(::mkstemp(errors));
    errors_ = errors;
    std::vector<std::string> words{KEB_FILTER_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    pid_ = ::fork();
    if (pid_ == 0)
    {
        int sink = ::open("/dev/null", O_RDWR);
        int log = ::open(errors_.c_str(), O_WRONLY | O_TRUNC);
        ::dup2(sink, STDIN_FILENO);
        ::dup2(sink, STDOUT_FILENO);
        ::dup2(log, STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
}

TRunningFilter::~TRunningFilter()
{
    if (pid_ > 0)
    {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::unlink(errors_.c_str());
}

void TRunningFilter::Signal(int signal) const
{
    ::kill(pid_, signal);
}

bool TRunningFilter::WaitsIn(const std::string& kernelFunction, double seconds) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    const std::string wchan = "/proc/" + std::to_string(pid_) + "/wchan";
    while (std::chrono::steady_clock::now() < deadline)
    {
        if (FileText(wchan).find(kernelFunction) != std::string::npos)
            return true;
        ::usleep(10000);
    }
    return false;
}

TProgramRun TRunningFilter::Wait(double seconds)
{
    TProgramRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0)
    {
        if (std::chrono::steady_clock::now() > deadline)
            return run;
        ::usleep(10000);
    }
    pid_ = -1;
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Errors = FileText(errors_);
    return run;
}

std::vector<std::int16_t> Sine(double frequency, int rate, double amplitude, std::size_t frames)
{
    std::vector<std::int16_t> samples(frames);
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate)));
    return samples;
}

std::vector<std::int16_t> Interleave(const std::vector<std::int16_t>& left,
                                     const std::vector<std::int16_t>& right)
{
    std::vector<std::int16_t> both;
    for (std::size_t i = 0; i < left.size(); ++i)
    {
        both.push_back(left[i]);
        both.push_back(right[i]);
    }
    return both;
}

double TonePower(const std::vector<std::int16_t>& samples, double frequency, int rate)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
    double previous = 0, before = 0;
    for (std::int16_t sample : samples)
    {
        double current = sample + coefficient * previous - before;
        before = previous;
        previous = current;
    }
    double power = previous * previous + before * before - coefficient * previous * before;
    return power / static_cast<double>(samples.size() * samples.size());
}

double Correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, int lag)
{
    double product = 0, energyA = 0, energyB = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        std::int64_t j = static_cast<std::int64_t>(i) + lag;
        if (j < 0 || j >= static_cast<std::int64_t>(b.size()))
            continue;
        product += static_cast<double>(a[i]) * b[static_cast<std::size_t>(j)];
        energyA += static_cast<double>(a[i]) * a[i];
        energyB +=
            static_cast<double>(b[static_cast<std::size_t>(j)]) * b[static_cast<std::size_t>(j)];
    }
    return product / std::sqrt(energyA * energyB);
}

} // namespace keb::test
