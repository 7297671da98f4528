// Part of the tool's pictures (FilterPictures.h): saving them as PNG files.
#include "tools/FilterPictures.h"

#include "tools/FilterErrors.h"

#include <QFile>

namespace keb
{

void SavePng(const QImage& image, TAtomicFile& file)
{
    QFile output;
    if (image.isNull() ||
        !output.open(file.Descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle) ||
        !image.save(&output, "PNG") || !output.flush())
        throw EFilterOutputError(FileMessage(file.Target(), "cannot write the PNG picture"));
}

} // namespace keb
