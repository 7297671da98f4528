// Makes the main window usable by keyboard alone and by a screen reader,
// without changing how it looks:
//
// - the accessible interfaces of the controls and the waterfalls are
//   installed, and the status LED gets its own: role Indicator, the window's
//   state in words as its name ("Stopped", "Filter on", "Filter off") and
//   description, the audio running as its active state and the filter
//   working as its checked state; each change is announced;
// - controls without a caption get names: the band sliders "Band 800 to
//   1000 Hz" (values in dB), the wheel "Shift", the two waterfalls;
// - Tab visits ON, OFF, Filter, the presets, the memories, Save, the wheel,
//   the sliders from the lowest band up, Def and "?" (the speed buttons take
//   the focus by Tab only, so clicks move it no more than before);
// - Escape closes the about view as a click on it does, and gives the focus
//   back to "?".
//
// Main thread only; called by the window's constructor: the interfaces
// before the first control exists (a control asked for its interface while
// it is built keeps the one it got), the rest once the controls are wired.
#pragma once

namespace keb
{

class TMainForm;

void InstallAccessibleInterfaces();
void MakeWindowAccessible(TMainForm& form);

} // namespace keb
