// Loading the tool's picture drawing (PictureWriter.h), a module of its own
// so that a run without pictures never loads Qt. The module lies next to the
// program (the build tree) or in the library folder the installation puts it
// in; it stays loaded until the process ends.
//
// LoadPictureWriter raises EFilterOutputError when the module is missing or
// unusable (the loader's own words in the message). Main thread.
#pragma once

#include "tools/PictureWriter.h"

#include <memory>

// The module's one exported function: a new writer, owned by the caller.
#define KEB_PICTURE_MODULE_ENTRY KebNewPictureWriter

namespace keb
{

std::unique_ptr<TPictureWriter> LoadPictureWriter();

} // namespace keb
