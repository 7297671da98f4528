// A file that appears under its name only when it is complete.
//
// The constructor creates a temporary file next to the target (same folder,
// so the final rename cannot cross file systems); the writer fills it through
// Descriptor or TemporaryPath; Commit gives it the permissions a new file
// would get (or those of the file it replaces), flushes it to the disk and
// renames it over the target. A file that is destroyed without Commit removes
// its temporary file, so a failed or interrupted run leaves nothing behind.
//
// Failures raise EFilterOutputError naming the target and the cause.
// Not thread-safe.
#pragma once

#include <filesystem>

namespace keb
{

class TAtomicFile
{
  public:
    explicit TAtomicFile(const std::filesystem::path& target);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    const std::filesystem::path& Target() const { return target_; }
    const std::filesystem::path& TemporaryPath() const { return temporary_; }
    // Open for writing until Commit; the writer must not close it.
    int Descriptor() const { return descriptor_; }

    void Commit();

  private:
    [[noreturn]] void Fail(const std::string& cause, int error) const;

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int descriptor_ = -1;
    bool committed_ = false;
};

} // namespace keb
