// The errors of the off-line filter, one class per exit status (ExitStatus.h), so that main
// turns every failure into one line and the right status.
//
// Messages name the file (when there is one) and the cause; main prefixes
// them with the program's name.
#pragma once

#include "platform/core/Exceptions.h"
#include "platform/core/ExitStatus.h"

#include <filesystem>
#include <string>

namespace keb
{

// A command line that cannot be followed.
KEB_EXCEPTION_CLASS(EFilterUsageError, Exception);
// An input (the recording or a memory file) that cannot be read.
KEB_EXCEPTION_CLASS(EFilterInputError, Exception);
// An output (the recording or a picture) that cannot be written.
KEB_EXCEPTION_CLASS(EFilterOutputError, Exception);

// "FILE: cause".
inline std::string FileMessage(const std::filesystem::path& file, const std::string& cause)
{
    return file.string() + ": " + cause;
}

} // namespace keb
