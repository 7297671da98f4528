#include "settings/MemoryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace keb
{
namespace
{

[[noreturn]] void RaiseIOError(const char* action, const std::filesystem::path& file,
                               const std::string& cause)
{
    throw EInOutError(std::string("Cannot ") + action + " memory file " + file.string() + ": " +
                      cause);
}

// Why a file of this kind cannot be a memory, or nothing for a regular file.
std::optional<std::string> RefusedKind(const struct stat& status)
{
    if (S_ISREG(status.st_mode))
        return std::nullopt;
    if (S_ISDIR(status.st_mode))
        return std::strerror(EISDIR);
    return "not a regular file";
}

// A memory file opened for one action ("load", "save", ...), closed by its
// destructor. Whatever is not a regular file is refused before it is
// opened (opening a device or pipe may wait or act), and once more after,
// in case it was swapped in between; O_NONBLOCK keeps that open from
// waiting.
class TOpenFile
{
  public:
    TOpenFile(const std::filesystem::path& file, int flags, const char* action)
        : file_(file), action_(action)
    {
        struct stat status
        {
        };
        if (::stat(file.c_str(), &status) == 0)
            if (auto refused = RefusedKind(status))
                RaiseIOError(action_, file_, *refused);
        descriptor_ = ::open(file.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
        if (descriptor_ < 0)
            RaiseIOError(action_, file_, std::strerror(errno));
        if (::fstat(descriptor_, &status) != 0)
            Refuse(std::strerror(errno));
        if (auto refused = RefusedKind(status))
            Refuse(*refused);
    }
    ~TOpenFile()
    {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    TOpenFile(const TOpenFile&) = delete;
    TOpenFile& operator=(const TOpenFile&) = delete;

    // Reads up to `count` bytes at offset 0; returns how many arrived.
    std::size_t ReadStart(std::uint8_t* data, std::size_t count)
    {
        std::size_t done = 0;
        while (done < count)
        {
            ssize_t got = ::pread(descriptor_, data + done, count - done, done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                Refuse(std::strerror(errno));
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    void WriteStart(const std::uint8_t* data, std::size_t count)
    {
        std::size_t done = 0;
        while (done < count)
        {
            ssize_t put = ::pwrite(descriptor_, data + done, count - done, done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                Refuse(std::strerror(put < 0 ? errno : ENOSPC));
            done += static_cast<std::size_t>(put);
        }
    }

    // Closes the file; a write the system could only report now raises.
    void Close()
    {
        int descriptor = descriptor_;
        descriptor_ = -1;
        if (::close(descriptor) != 0)
            RaiseIOError(action_, file_, std::strerror(errno));
    }

  private:
    [[noreturn]] void Refuse(const std::string& cause)
    {
        ::close(descriptor_);
        descriptor_ = -1;
        RaiseIOError(action_, file_, cause);
    }

    std::filesystem::path file_;
    const char* action_;
    int descriptor_ = -1;
};

} // namespace

std::filesystem::path MemoryFolder()
{
    if (const char* home = std::getenv("KEB_HOME"); home && *home)
        return home;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::filesystem::path(data) / "keb";
    const char* user = std::getenv("HOME");
    return std::filesystem::path(user && *user ? user : ".") / ".local" / "share" / "keb";
}

std::filesystem::path MemoryFilePath(const std::filesystem::path& folder, int memory)
{
    return folder / ("F" + std::to_string(memory) + ".dat");
}

void EnsureMemoryFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw EInOutError("Cannot create the memory folder " + folder.string() + ": " +
                          error.message());
}

void PrepareMemoryFile(const std::filesystem::path& file)
{
    TOpenFile(file, O_RDONLY | O_CREAT, "open").Close();
}

std::optional<TBandPositions> ReadMemoryRecord(const std::filesystem::path& file)
{
    TOpenFile open(file, O_RDONLY, "load");
    std::array<std::uint8_t, MemoryRecordBytes> bytes{};
    std::size_t got = open.ReadStart(bytes.data(), bytes.size());
    open.Close();
    return ParseMemoryRecord(std::span(bytes.data(), got));
}

std::optional<TBandPositions> ParseMemoryRecord(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < MemoryRecordBytes)
        return std::nullopt;
    TBandPositions record = DecodeMemoryRecord(bytes.data());
    for (std::int32_t& position : record)
        position = std::clamp(position, BandClosed, BandMaximum);
    return record;
}

void WriteMemoryRecord(const std::filesystem::path& file, const TBandPositions& record)
{
    TOpenFile open(file, O_WRONLY | O_CREAT, "save");
    auto bytes = EncodeMemoryRecord(record);
    open.WriteStart(bytes.data(), bytes.size());
    open.Close();
}

std::array<std::uint8_t, MemoryRecordBytes> EncodeMemoryRecord(const TBandPositions& record)
{
    std::array<std::uint8_t, MemoryRecordBytes> bytes{};
    for (int band = 0; band < BandCount; ++band)
    {
        auto value = static_cast<std::uint32_t>(record[band]);
        for (int byte = 0; byte < 4; ++byte)
            bytes[band * 4 + byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    }
    return bytes;
}

TBandPositions DecodeMemoryRecord(const std::uint8_t* bytes)
{
    TBandPositions record{};
    for (int band = 0; band < BandCount; ++band)
    {
        std::uint32_t value = 0;
        for (int byte = 0; byte < 4; ++byte)
            value |= std::uint32_t(bytes[band * 4 + byte]) << (8 * byte);
        record[band] = static_cast<std::int32_t>(value);
    }
    return record;
}

} // namespace keb
