// Enumerations of the window framework's controls that the library's
// controls publish.
#pragma once

namespace keb
{

// The cut of a panel bevel.
enum class TPanelBevel
{
    bvNone,
    bvLowered,
    bvRaised
};

enum class TBorderStyle
{
    bsNone,
    bsSingle
};

enum class TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter
};

// A screen cursor number: 0 is the default arrow; the library's own cursors
// are numbered from 2001 (2005 is its hand).
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crLibraryHand = 2005;

} // namespace keb
