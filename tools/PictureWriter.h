// What draws the tool's pictures and saves them as PNG files: the waterfalls
// and the equalizer's response (FilterPictures.h). The drawing needs Qt,
// which keb-filter loads only for a run that asks for a picture
// (PictureModule.h); the rest of the tool never sees it.
//
// Each Save writes into an atomic file without committing it and raises
// EFilterOutputError naming the target when the picture cannot be written.
// One thread, the one that made the writer.
#pragma once

#include "tools/AtomicFile.h"
#include "tools/EqualizerResponse.h"
#include "tools/WaterfallPicture.h"

#include <string>
#include <vector>

namespace keb
{

class TPictureWriter
{
  public:
    virtual ~TPictureWriter() = default;

    virtual void SaveWaterfall(const TWaterfallPicture& waterfall, const std::string& title,
                               TAtomicFile& file) = 0;
    virtual void SaveResponse(const std::vector<TResponsePoint>& response, const std::string& title,
                              TAtomicFile& file) = 0;
};

} // namespace keb
