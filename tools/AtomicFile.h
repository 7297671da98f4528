// A file that appears under its name only when it is complete.
//
// The constructor makes an unnamed file in the target's folder (O_TMPFILE;
// same folder, so that it can be put in place without crossing file
// systems): a run that is killed, even with SIGKILL, leaves nothing behind.
// Where the file system has no unnamed files, the file is named
// "<target>.keb-filter-<pid>.partial", visible and telling what it is; a
// later run with the same target removes such a file when its process is
// gone. Commit gives the file the permissions a new file would get (or those
// of the file it replaces), flushes it to the disk and puts it in place by a
// rename. A file that is destroyed without Commit removes its partial file.
//
// The target "-" is standard output: the file is made unnamed in the
// temporary folder, and Commit copies it to standard output, so that a
// reader of the pipe sees a complete file or nothing.
//
// Failures raise EFilterOutputError naming the target and the cause.
// Not thread-safe; RemovePartialFiles may run in a signal handler.
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
    // Open for reading and writing until Commit; the writer must not close it.
    int Descriptor() const { return descriptor_; }

    void Commit();

  private:
    [[noreturn]] void Fail(const std::string& cause, int error) const;
    void OpenIn(const std::filesystem::path& folder);
    void PutInPlace();
    void CopyToStandardOutput();

    std::filesystem::path target_;
    std::filesystem::path partial_; // the named partial file, while there is one
    int descriptor_ = -1;
    int registration_ = -1;
    bool committed_ = false;
};

// The name of a partial file of `target` written by process `pid`.
std::filesystem::path PartialFileName(const std::filesystem::path& target, long pid);

// Removes every named partial file a TAtomicFile of this process has open.
// Async-signal-safe: for a handler that ends the process.
void RemovePartialFiles();

} // namespace keb
