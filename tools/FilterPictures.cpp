#include "tools/FilterPictures.h"

#include "tools/FilterErrors.h"

#include <QFile>

namespace keb
{

QImage WaterfallImage(const TWaterfallPicture& waterfall)
{
    // A recording shorter than one block still gives a (black) picture.
    const int columns = std::max(waterfall.Columns(), 1);
    QImage image(columns, waterfall.Rows(), QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (const TPaletteEntry& entry : waterfall.Palette().palPalEntry)
        colours.push_back(qRgb(entry.peRed, entry.peGreen, entry.peBlue));
    image.setColorTable(colours);
    image.fill(0);
    for (int y = 0; y < waterfall.Rows(); ++y)
    {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < waterfall.Columns(); ++x)
            line[x] = waterfall.Pixel(x, y);
    }
    return image;
}

void SavePng(const QImage& image, TAtomicFile& file)
{
    QFile output;
    if (image.isNull() ||
        !output.open(file.Descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle) ||
        !image.save(&output, "PNG") || !output.flush())
        throw EFilterOutputError(FileMessage(file.Target(), "cannot write the PNG picture"));
}

} // namespace keb
