// Accessible interfaces of the library's own controls, so that screen readers
// and other assistive tools (Qt's accessibility framework; AT-SPI on Linux)
// can find, read and work them. Each control reports what Qt's standard
// widget of its kind reports:
//
// - a slider (TMMCustomSlider): role Slider; its Position through the value
//   interface (MinValue .. MaxValue, step LineSize) and as its value text;
// - a wheel (TMMCustomWheel): role Dial; its Value the same way;
// - a speed button (TSpeedButton): role Button, checkable while it belongs
//   to a group, checked and pressed while down; its caption without the
//   mnemonic mark as its name; the press action clicks it.
//
// Names and descriptions are the widgets' accessibleName and
// accessibleDescription, given by the window that knows what the control
// stands for; a value unit (SetAccessibleValueUnit) follows the number in
// the value text ("-6 dB"). Sliders and wheels announce every change of
// their value (AnnounceValueChange, called by the controls themselves), so a
// change by program reads like a change by hand. Main thread only.
#pragma once

#include <QString>

class QWidget;

namespace keb
{

// Makes Qt ask these interfaces first for the library's controls. Call once
// the application object exists; calling it again changes nothing.
void InstallAccessibleControls();

// The unit the value text of control ends with (none: the bare number).
void SetAccessibleValueUnit(QWidget* control, const QString& unit);

// Tells assistive tools that control now shows value; costs nothing while
// no tool listens.
void AnnounceValueChange(QWidget* control, int value);

} // namespace keb
