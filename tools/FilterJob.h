// One run of keb-filter: reads the input, filters it through the window's
// equalizer chain (FilterChain.h) and writes the output, all or nothing.
//
// Order of the checks, so that the cheapest refusal comes first: the output
// names (container, not the input itself, no file named twice, all compared
// by the file they lead to: EFilterUsageError), the filter settings and the
// input (EFilterInputError), the output file's creation (EFilterOutputError).
// Every file appears only when the whole job succeeded. Main thread of the
// tool. A recording from a file, longer than a chunk, whose chain is
// Blockwise is filtered on up to four lanes (ParallelFilter.h) while this
// thread reads it; any other is filtered on this thread while another reads
// a file ahead. Either way a thread of its own writes.
#pragma once

#include "tools/FilterOptions.h"
#include "tools/PictureWriter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace keb
{

struct TFilterJobReport
{
    int InputRate = 0; // Hz
    int InputChannels = 0;
    std::int64_t InputFrames = 0;
    int OutputRate = 0; // Hz
    std::int64_t OutputSamples = 0;
    // What was written, one "what: file" line each.
    std::vector<std::string> Written;
};

struct TFilterJobHooks
{
    // The share of the input read so far, 0 .. 1.
    std::function<void(double fraction)> Progress;
    // Draws the pictures the options ask for; a run that asks for one without it raises
    // std::logic_error once the audio is written.
    TPictureWriter* Pictures = nullptr;
};

TFilterJobReport RunFilterJob(const TFilterOptions& options, const TFilterJobHooks& hooks = {});

} // namespace keb
