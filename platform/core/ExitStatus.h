// The exit statuses of keb and keb-filter, one convention for both programs.
//
//   0    done
//   1    a command line that cannot be followed (keb: also no display to open
//        a window on)
//   2    an input cannot be read (keb-filter: the recording or a memory file)
//   3    an output cannot be written (keb-filter: the recording or a picture)
//   4    keb reported an error during the run (an error box, also on stderr)
//   130  interrupted (Ctrl+C, SIGTERM, SIGHUP)
#pragma once

namespace keb
{

enum TExitStatus
{
    ExitDone = 0,
    ExitUsage = 1,
    ExitInput = 2,
    ExitOutput = 3,
    ExitRunError = 4,
    ExitInterrupted = 130
};

} // namespace keb
