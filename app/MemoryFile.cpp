#include "app/MemoryFile.h"

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

[[noreturn]] void RaiseIOError(const std::string& action, const std::filesystem::path& file,
                               int error)
{
    throw EInOutError("Cannot " + action + " memory file " + file.string() + ": " +
                      std::strerror(error));
}

// A file descriptor that closes itself. Memory files are opened for reading
// and writing, like the typed files they stand for, so that a read-only file
// fails as early as it would when it is saved.
class OpenFile
{
  public:
    OpenFile(const std::filesystem::path& file, int flags) : file_(file)
    {
        descriptor_ = ::open(file.c_str(), flags | O_CLOEXEC, 0644);
        if (descriptor_ < 0)
            RaiseIOError("open", file, errno);
        struct stat status
        {
        };
        if (::fstat(descriptor_, &status) == 0 && S_ISDIR(status.st_mode))
        {
            ::close(descriptor_);
            RaiseIOError("open", file, EISDIR);
        }
    }
    ~OpenFile() { ::close(descriptor_); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

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
                RaiseIOError("read", file_, errno);
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
            if (put < 0)
                RaiseIOError("write", file_, errno);
            done += static_cast<std::size_t>(put);
        }
    }

    void Close()
    {
        int descriptor = descriptor_;
        descriptor_ = -1;
        if (::close(descriptor) != 0)
            RaiseIOError("write", file_, errno);
    }

  private:
    std::filesystem::path file_;
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
    OpenFile(file, O_RDWR | O_CREAT).Close();
}

std::optional<TBandPositions> ReadMemoryRecord(const std::filesystem::path& file)
{
    OpenFile open(file, O_RDWR);
    std::array<std::uint8_t, MemoryRecordSize> bytes{};
    std::size_t got = open.ReadStart(bytes.data(), bytes.size());
    open.Close();
    if (got < MemoryRecordSize)
        return std::nullopt;
    return DecodeMemoryRecord(bytes.data());
}

void WriteMemoryRecord(const std::filesystem::path& file, const TBandPositions& record)
{
    OpenFile open(file, O_RDWR);
    auto bytes = EncodeMemoryRecord(record);
    open.WriteStart(bytes.data(), bytes.size());
    open.Close();
}

std::array<std::uint8_t, MemoryRecordSize> EncodeMemoryRecord(const TBandPositions& record)
{
    std::array<std::uint8_t, MemoryRecordSize> bytes{};
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
