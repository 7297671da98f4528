#include "app/UserSettings.h"

#include <QSettings>
#include <QStandardPaths>

namespace keb
{
namespace
{

QString Key(TDeviceKind kind, const char* field)
{
    return QString(kind == TDeviceKind::Capture ? "input/" : "output/") + field;
}

std::optional<TRememberedDevice> LoadDevice(const QSettings& settings, TDeviceKind kind)
{
    const QVariant name = settings.value(Key(kind, "name"));
    const QVariant id = settings.value(Key(kind, "id"));
    bool numeric = false;
    const int number = id.toInt(&numeric);
    if (!name.isValid() || !numeric)
        return std::nullopt;
    return TRememberedDevice{name.toString().toStdString(), number};
}

void StoreDevice(QSettings& settings, TDeviceKind kind,
                 const std::optional<TRememberedDevice>& device)
{
    if (!device)
        return;
    settings.setValue(Key(kind, "name"), QString::fromStdString(device->Name));
    settings.setValue(Key(kind, "id"), device->Id);
}

// Stored as noise-reduction=off|1|2|3, automatic-notch=true|false and
// notches=HZ,HZ; a missing or unreadable value keeps its default.
std::optional<TCleanupSettings> LoadCleanup(const QSettings& settings)
{
    const QVariant level = settings.value("noise-reduction");
    const QVariant automatic = settings.value("automatic-notch");
    const QVariant notches = settings.value("notches");
    if (!level.isValid() && !automatic.isValid() && !notches.isValid())
        return std::nullopt;
    TCleanupSettings cleanup;
    cleanup.NoiseReduction = NoiseLevelNamed(level.toString().toStdString()).value_or(0);
    cleanup.AutomaticNotch = automatic.toString() == "true";
    cleanup.Notches =
        NotchListNamed(notches.toString().toStdString()).value_or(std::vector<float>{});
    return cleanup;
}

void StoreCleanup(QSettings& settings, const std::optional<TCleanupSettings>& cleanup)
{
    if (!cleanup)
        return;
    settings.setValue("noise-reduction",
                      QString::fromStdString(NoiseLevelName(cleanup->NoiseReduction)));
    settings.setValue("automatic-notch", cleanup->AutomaticNotch ? "true" : "false");
    settings.setValue("notches", QString::fromStdString(NotchListName(cleanup->Notches)));
}

// Only a regular file (or none yet) is read or written: a pipe in the
// file's place would keep the start-up waiting for a writer, a device or a
// folder would be nonsense.
bool NotARegularFile(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    return status.type() != std::filesystem::file_type::not_found &&
           status.type() != std::filesystem::file_type::regular;
}

} // namespace

TUserSettings::TUserSettings(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path TUserSettings::DefaultFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::filesystem::path(folder.toStdString()) / "keb" / "keb.conf";
}

TStoredChoices TUserSettings::Load() const
{
    if (NotARegularFile(file_))
        return {};
    const QSettings settings(QString::fromStdString(file_.string()), QSettings::IniFormat);
    TStoredChoices choices;
    choices.Input = LoadDevice(settings, TDeviceKind::Capture);
    choices.Output = LoadDevice(settings, TDeviceKind::Playback);
    choices.Latency = LatencyNamed(settings.value("latency").toString().toStdString());
    choices.Cleanup = LoadCleanup(settings);
    return choices;
}

std::string TUserSettings::Store(const TStoredChoices& choices) const
{
    if (NotARegularFile(file_))
        return "The settings could not be written to " + file_.string() +
               ": it is not a regular file.";
    QSettings settings(QString::fromStdString(file_.string()), QSettings::IniFormat);
    StoreDevice(settings, TDeviceKind::Capture, choices.Input);
    StoreDevice(settings, TDeviceKind::Playback, choices.Output);
    if (choices.Latency)
    {
        const std::string_view name = LatencyName(*choices.Latency);
        settings.setValue("latency",
                          QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    StoreCleanup(settings, choices.Cleanup);
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return {};
    return "The settings could not be written to " + file_.string() + ".";
}

} // namespace keb
