#include "tools/AtomicFile.h"

#include "tools/FilterErrors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace keb
{
namespace
{

// The mode a newly created file gets: 0666 less the process's umask.
mode_t NewFileMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

TAtomicFile::TAtomicFile(const std::filesystem::path& target) : target_(target)
{
    std::error_code error;
    if (std::filesystem::is_directory(target, error))
        throw EFilterOutputError(FileMessage(target, "is a folder"));
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::string pattern = folder / ("." + target.filename().string() + ".XXXXXX");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor_ = ::mkstemp(name.data());
    if (descriptor_ < 0)
        Fail("cannot create a file there", errno);
    temporary_ = name.data();
    struct stat existing
    {
    };
    mode_t mode = ::stat(target.c_str(), &existing) == 0 ? existing.st_mode & 07777 : NewFileMode();
    ::fchmod(descriptor_, mode);
}

TAtomicFile::~TAtomicFile()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
    if (!committed_ && !temporary_.empty())
        ::unlink(temporary_.c_str());
}

void TAtomicFile::Fail(const std::string& cause, int error) const
{
    throw EFilterOutputError(FileMessage(target_, cause + ": " + std::strerror(error)));
}

void TAtomicFile::Commit()
{
    if (::fsync(descriptor_) != 0)
        Fail("cannot write", errno);
    int closed = ::close(descriptor_);
    descriptor_ = -1;
    if (closed != 0)
        Fail("cannot write", errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        Fail("cannot put the file in place", errno);
    committed_ = true;
}

} // namespace keb
