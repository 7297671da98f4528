// Off-screen bitmaps shared by size.
//
// Controls that paint through an off-screen bitmap and are often created many
// times with one size (twenty equal sliders) share one bitmap per size: Acquire
// hands out the bitmap of exactly that size, creating it on first use, and
// counts its users; Release drops one use and frees the bitmap with the last.
// The cache itself exists while any bitmap is acquired. Main thread only.
#pragma once

#include "platform/gui/Bitmap.h"

namespace keb
{

class TBitmapCache
{
  public:
    // The shared bitmap of width x height (negative sizes count as 0).
    static TBitmap* Acquire(int width, int height);
    // Drops one use of bitmap and clears the reference; nullptr is ignored.
    static void Release(TBitmap*& bitmap);
    // True when no bitmap is held (the cache has been freed).
    static bool IsEmpty();
    // How many bitmaps are held (one per size in use).
    static int Count();
};

} // namespace keb
