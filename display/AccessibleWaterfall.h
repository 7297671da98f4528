// The waterfall control's accessible interface: a graphic whose name is the
// control's accessibleName ("Input waterfall") and whose description names
// the strongest tones the picture shows now (WaterfallTones.h), worked out
// when asked and at most once a second. Main thread only.
#pragma once

namespace keb
{

// Makes Qt ask this interface first for spectrogram controls. Call once the
// application object exists; calling it again changes nothing.
void InstallAccessibleWaterfalls();

} // namespace keb
