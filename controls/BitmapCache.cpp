#include "controls/BitmapCache.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace keb
{

namespace
{

struct TCacheEntry
{
    std::unique_ptr<TBitmap> Bitmap;
    int References = 0;
};

// Created by the first Acquire, freed with the last bitmap.
std::unique_ptr<std::vector<TCacheEntry>> Entries;

} // namespace

TBitmap* TBitmapCache::Acquire(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (!Entries)
        Entries = std::make_unique<std::vector<TCacheEntry>>();
    for (TCacheEntry& entry : *Entries)
        if (entry.Bitmap->Width() == width && entry.Bitmap->Height() == height)
        {
            ++entry.References;
            return entry.Bitmap.get();
        }
    Entries->push_back({std::make_unique<TBitmap>(width, height), 1});
    return Entries->back().Bitmap.get();
}

void TBitmapCache::Release(TBitmap*& bitmap)
{
    if (bitmap == nullptr || !Entries)
        return;
    const auto entry =
        std::find_if(Entries->begin(), Entries->end(),
                     [bitmap](const TCacheEntry& e) { return e.Bitmap.get() == bitmap; });
    bitmap = nullptr;
    if (entry == Entries->end() || --entry->References > 0)
        return;
    Entries->erase(entry);
    if (Entries->empty())
        Entries.reset();
}

bool TBitmapCache::IsEmpty()
{
    return !Entries;
}

int TBitmapCache::Count()
{
    return Entries ? int(Entries->size()) : 0;
}

} // namespace keb
