// The errors of the off-line filter, one class per exit code, so that main
// turns every failure into one line and the right status.
//
// Messages name the file (when there is one) and the cause; main prefixes
// them with the program's name.
#pragma once

#include "platform/core/Exceptions.h"

#include <filesystem>
#include <string>

namespace keb
{

enum TFilterExitCode
{
    ExitDone = 0,
    ExitUsage = 1,
    ExitInput = 2,
    ExitOutput = 3,
    // The conventional status of a program stopped by Ctrl+C.
    ExitInterrupted = 130
};

// A command line that cannot be followed.
KEB_EXCEPTION_CLASS(EFilterUsageError, Exception);
// An input (the recording or a memory file) that cannot be read.
KEB_EXCEPTION_CLASS(EFilterInputError, Exception);
// An output (the recording or a picture) that cannot be written.
KEB_EXCEPTION_CLASS(EFilterOutputError, Exception);
// The job was stopped by a signal before it finished.
KEB_EXCEPTION_CLASS(EFilterInterrupted, Exception);

// "FILE: cause".
inline std::string FileMessage(const std::filesystem::path& file, const std::string& cause)
{
    return file.string() + ": " + cause;
}

} // namespace keb
