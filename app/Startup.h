// What keb does with its command line and the user's remembered choices once
// the window exists.
//
// ApplyChoices picks the devices, the latency mode and the noise reduction
// and notch settings: the remembered ones
// first (a remembered device that is gone gives the default device and a
// one-line notice), then those of the command line, which hold for this run
// and are not remembered. Call it before the window has its settings
// (TMainForm::UseSettings), so that nothing it picks is stored. A device named on the command line
// that the sound layer does not have raises EUsageError with one line naming the candidates.
// StartActions does the command line's start: the preset and the wheel at once, ON once the event
// loop runs (--quit-after is armed before the window exists: QuitTimer.h). Main thread only.
#pragma once

#include "app/CommandLine.h"
#include "app/UserSettings.h"

#include <string>
#include <vector>

namespace keb
{

class TMainForm;

// The notices for the user, one line each.
std::vector<std::string> ApplyChoices(TMainForm& form, const TStoredChoices& stored,
                                      const TCommandLine& line);

void StartActions(TMainForm& form, const TCommandLine& line);

} // namespace keb
