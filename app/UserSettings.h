// What keb remembers per user between runs: the chosen capture and playback
// devices, the latency mode, and the noise reduction and notch settings, in an INI file in the
// user's config folder
// ($XDG_CONFIG_HOME/keb/keb.conf, else ~/.config/keb/keb.conf).
//
// A device is remembered by name and number (TRememberedDevice), so that it
// is found again when the sound layer numbers its devices differently.
// Nothing is stored until the user chooses something; reading a file that is
// missing or damaged gives the defaults. Only a regular file is opened: a
// pipe, device or folder in the file's place is neither waited on nor
// replaced (it gives the defaults, and Store says why it cannot write). Writes go through
// QSettings, which replaces the file as a whole; a file that cannot be written is reported by
// Store's result, never by losing the other values. Main thread only.
#pragma once

#include "app/CommandLine.h"
#include "dsp/CleanupSettings.h"
#include "platform/audio/DeviceChoice.h"

#include <filesystem>
#include <optional>
#include <string>

namespace keb
{

struct TStoredChoices
{
    std::optional<TRememberedDevice> Input;
    std::optional<TRememberedDevice> Output;
    std::optional<TLatency> Latency;
    std::optional<TCleanupSettings> Cleanup;
};

class TUserSettings
{
  public:
    explicit TUserSettings(std::filesystem::path file);

    // The file of this user: in the XDG config folder.
    static std::filesystem::path DefaultFile();

    const std::filesystem::path& File() const { return file_; }

    TStoredChoices Load() const;
    // Writes the choices that are set and keeps the others as stored. Empty
    // when written, else one line saying why not.
    std::string Store(const TStoredChoices& choices) const;

  private:
    std::filesystem::path file_;
};

} // namespace keb
