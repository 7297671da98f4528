// How keb names itself to the desktop.
//
// The application name is also the class of the window on X11, which the
// desktop entry names in StartupWMClass; the desktop file name is the entry's
// id, which Wayland shells take as the window's app id. Together they tie the
// window to its entry, so docks and task switchers show the entry's icon and
// name. Both must agree with packaging/org.keb.Keb.desktop.
#pragma once

namespace keb
{

// The id of the desktop entry, the metainfo and the icon.
inline constexpr const char* ApplicationId = "org.keb.Keb";
// The application name and the window class.
inline constexpr const char* ApplicationName = "KEB";

// Sets both on Qt's application; before the first window is shown.
void NameApplication();

} // namespace keb
