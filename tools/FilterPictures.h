// The tool's pictures as PNG files: the waterfalls of the input and the
// output, and the equalizer's response, each with labelled axes.
//
// Both draw text, so a QGuiApplication must exist (keb-filter makes one on the
// offscreen platform). SavePng writes
// into an atomic file (AtomicFile.h) without committing it and raises
// EFilterOutputError naming the target when Qt cannot write the picture.
// The thread that owns the QGuiApplication.
//
// Implemented in: FilterPictures.cpp (saving), WaterfallPlot.cpp (the
// waterfalls), ResponsePlot.cpp (the response).
#pragma once

#include "tools/AtomicFile.h"
#include "tools/EqualizerResponse.h"
#include "tools/WaterfallPicture.h"

#include <QImage>
#include <string>
#include <vector>

namespace keb
{

// Where the waterfall's cells sit in its picture: one pixel per cell, the
// top row at WaterfallPlotTop.
constexpr int WaterfallPlotLeft = 72;
constexpr int WaterfallPlotTop = 28;

// The waterfall in its palette's colours with `title` above it, a frequency
// axis in Hz (a label every 500 Hz) on the left and a time axis below.
QImage WaterfallImage(const TWaterfallPicture& waterfall, const std::string& title);

// The response in dB over 0 .. 4000 Hz, with `title` above the plot.
QImage ResponseImage(const std::vector<TResponsePoint>& response, const std::string& title);

void SavePng(const QImage& image, TAtomicFile& file);

} // namespace keb
