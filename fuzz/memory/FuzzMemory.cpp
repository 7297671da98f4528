// Reads arbitrary bytes as a memory file, from memory and through a real
// file, and saves the loaded setting back into that file. The loader must
// give a record exactly when there are 80 bytes or more, with every position
// inside the sliders' range and equal to the stored one where that is in
// range; loading and saving a regular file never fail; saving changes only
// the first 80 bytes. Anything else (a crash, an out-of-bounds read, an
// exception) is a finding.
#include "settings/MemoryFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace
{

using Bytes = std::vector<std::uint8_t>;

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// The position of band `band` as stored, read byte by byte.
std::int64_t StoredPosition(const std::uint8_t* data, int band)
{
    const std::uint8_t* bytes = data + band * 4;
    const std::uint32_t raw = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                              std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    return raw >= 0x80000000U ? std::int64_t(raw) - 0x100000000LL : std::int64_t(raw);
}

void CheckRecord(const std::optional<keb::TBandPositions>& record, const std::uint8_t* data,
                 std::size_t size)
{
    Require(record.has_value() == (size >= keb::MemoryRecordBytes));
    if (!record)
        return;
    for (int band = 0; band < keb::BandCount; ++band)
    {
        const std::int64_t stored = StoredPosition(data, band);
        const std::int32_t loaded = (*record)[band];
        Require(loaded >= keb::BandClosed && loaded <= keb::BandMaximum);
        Require(loaded == std::clamp<std::int64_t>(stored, keb::BandClosed, keb::BandMaximum));
    }
}

// One memory file in memory for the whole run, reached by its path.
class MemoryBackedFile
{
  public:
    MemoryBackedFile()
    {
        descriptor_ = ::memfd_create("keb-memory", MFD_CLOEXEC);
        Require(descriptor_ >= 0);
        path_ = "/proc/self/fd/" + std::to_string(descriptor_);
    }

    const std::string& Path() const { return path_; }

    void Fill(const std::uint8_t* data, std::size_t size)
    {
        Require(::ftruncate(descriptor_, 0) == 0);
        Require(size == 0 || ::pwrite(descriptor_, data, size, 0) == ssize_t(size));
    }

    Bytes Contents()
    {
        Bytes bytes(static_cast<std::size_t>(::lseek(descriptor_, 0, SEEK_END)));
        Require(::pread(descriptor_, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size()));
        return bytes;
    }

  private:
    int descriptor_ = -1;
    std::string path_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static MemoryBackedFile file;

    const auto parsed = keb::ParseMemoryRecord(std::span(data, size));
    CheckRecord(parsed, data, size);

    file.Fill(data, size);
    try
    {
        Require(keb::ReadMemoryRecord(file.Path()) == parsed);
        keb::WriteMemoryRecord(file.Path(), parsed.value_or(keb::TBandPositions{}));
    }
    catch (const keb::EInOutError&)
    {
        std::abort();
    }
    const Bytes after = file.Contents();
    Require(after.size() == std::max(size, keb::MemoryRecordBytes));
    Require(std::equal(after.begin() + keb::MemoryRecordBytes, after.end(),
                       data + std::min(size, keb::MemoryRecordBytes)));
    Require(keb::ParseMemoryRecord(after) == parsed.value_or(keb::TBandPositions{}));
    return 0;
}
