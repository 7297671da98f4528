// The tool's pictures as PNG files: the waterfalls of the input and the
// output, and the equalizer's response with labelled axes.
//
// ResponseImage draws text, so a QGuiApplication must exist (keb-filter makes
// one on the offscreen platform); WaterfallImage needs none. SavePng writes
// into an atomic file (AtomicFile.h) without committing it and raises
// EFilterOutputError naming the target when Qt cannot write the picture.
// The thread that owns the QGuiApplication.
#pragma once

#include "tools/AtomicFile.h"
#include "tools/EqualizerResponse.h"
#include "tools/WaterfallPicture.h"

#include <QImage>
#include <string>
#include <vector>

namespace keb
{

// An 8-bit picture over the waterfall's palette, one pixel per cell.
QImage WaterfallImage(const TWaterfallPicture& waterfall);

// The response in dB over 0 .. 4000 Hz, with `title` above the plot.
QImage ResponseImage(const std::vector<TResponsePoint>& response, const std::string& title);

void SavePng(const QImage& image, TAtomicFile& file);

} // namespace keb
