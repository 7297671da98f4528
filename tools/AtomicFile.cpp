#include "tools/AtomicFile.h"

#include "tools/FilterErrors.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace keb
{
namespace
{

constexpr char PartialInfix[] = ".keb-filter-";
constexpr char PartialSuffix[] = ".partial";

// The named partial files of this process, for a signal handler to remove.
// A slot is free (0), being filled (1) or holds a name (2).
constexpr int PartialSlots = 8;
std::array<std::atomic<int>, PartialSlots> slotStates{};
std::array<std::array<char, PATH_MAX>, PartialSlots> slotNames{};

int RegisterPartial(const std::filesystem::path& file)
{
    const std::string& name = file.native();
    if (name.size() >= PATH_MAX)
        return -1;
    for (int slot = 0; slot < PartialSlots; ++slot)
    {
        int free = 0;
        if (!slotStates[slot].compare_exchange_strong(free, 1))
            continue;
        std::memcpy(slotNames[slot].data(), name.c_str(), name.size() + 1);
        slotStates[slot].store(2);
        return slot;
    }
    return -1;
}

void Unregister(int& slot)
{
    if (slot >= 0)
        slotStates[slot].store(0);
    slot = -1;
}

bool ProcessIsGone(long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Removes the partial files of `target` that runs which were killed left.
void RemoveStalePartials(const std::filesystem::path& target, const std::filesystem::path& folder)
{
    const std::string prefix = target.filename().string() + PartialInfix;
    const std::string suffix = PartialSuffix;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits =
            name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
            continue;
        if (ProcessIsGone(std::stol(digits)))
            std::filesystem::remove(entry.path(), error);
    }
}

bool UnnamedFilesUnsupported(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

} // namespace

std::filesystem::path PartialFileName(const std::filesystem::path& target, long pid)
{
    return target.string() + PartialInfix + std::to_string(pid) + PartialSuffix;
}

void RemovePartialFiles()
{
    for (int slot = 0; slot < PartialSlots; ++slot)
        if (slotStates[slot].load() == 2)
            ::unlink(slotNames[slot].data());
}

TAtomicFile::TAtomicFile(const std::filesystem::path& target) : target_(target)
{
    if (target == "-")
    {
        OpenIn(std::filesystem::temp_directory_path());
        return;
    }
    std::error_code error;
    if (std::filesystem::is_directory(target, error))
        throw EFilterOutputError(FileMessage(target, "is a folder"));
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    RemoveStalePartials(target, folder);
    OpenIn(folder);
    struct stat existing
    {
    };
    if (::stat(target.c_str(), &existing) == 0)
        ::fchmod(descriptor_, existing.st_mode & 07777);
}

void TAtomicFile::OpenIn(const std::filesystem::path& folder)
{
    constexpr mode_t NewFileMode = 0666; // less the umask
    descriptor_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, NewFileMode);
    if (descriptor_ >= 0)
        return;
    if (!UnnamedFilesUnsupported(errno))
        Fail("cannot create a file there", errno);
    if (target_ == "-")
    {
        std::string name = (folder / "keb-filter-XXXXXX").string();
        descriptor_ = ::mkstemp(name.data());
        if (descriptor_ < 0)
            Fail("cannot create a temporary file", errno);
        ::unlink(name.c_str());
        return;
    }
    partial_ = PartialFileName(target_, ::getpid());
    descriptor_ = ::open(partial_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, NewFileMode);
    if (descriptor_ < 0)
    {
        partial_.clear();
        Fail("cannot create a file there", errno);
    }
    registration_ = RegisterPartial(partial_);
}

TAtomicFile::~TAtomicFile()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
    if (!committed_ && !partial_.empty())
        ::unlink(partial_.c_str());
    Unregister(registration_);
}

void TAtomicFile::Fail(const std::string& cause, int error) const
{
    throw EFilterOutputError(FileMessage(target_, cause + ": " + std::strerror(error)));
}

void TAtomicFile::Commit()
{
    if (target_ == "-")
    {
        CopyToStandardOutput();
        committed_ = true;
        return;
    }
    if (::fsync(descriptor_) != 0)
        Fail("cannot write", errno);
    PutInPlace();
}

void TAtomicFile::PutInPlace()
{
    if (partial_.empty())
    {
        // The unnamed file gets the partial name for the moment of the rename.
        const std::string self = "/proc/self/fd/" + std::to_string(descriptor_);
        const std::filesystem::path name = PartialFileName(target_, ::getpid());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
            Fail("cannot put the file in place", errno);
        partial_ = name;
        registration_ = RegisterPartial(partial_);
    }
    int closed = ::close(descriptor_);
    descriptor_ = -1;
    if (closed != 0)
        Fail("cannot write", errno);
    if (::rename(partial_.c_str(), target_.c_str()) != 0)
        Fail("cannot put the file in place", errno);
    committed_ = true;
    partial_.clear();
    Unregister(registration_);
}

void TAtomicFile::CopyToStandardOutput()
{
    std::array<char, 65536> buffer{};
    if (::lseek(descriptor_, 0, SEEK_SET) != 0)
        Fail("cannot read back", errno);
    for (;;)
    {
        ssize_t got = ::read(descriptor_, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            Fail("cannot read back", errno);
        if (got == 0)
            return;
        for (ssize_t done = 0; done < got;)
        {
            ssize_t written =
                ::write(STDOUT_FILENO, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                Fail("cannot write to standard output", errno);
            done += written;
        }
    }
}

} // namespace keb
