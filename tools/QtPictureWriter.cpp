#include "tools/QtPictureWriter.h"

#include "tools/FilterPictures.h"

#include <iostream>

namespace keb
{

namespace
{

// Qt's notes about the desktop it does not use (no runtime folder, no
// display) would break the one-line messages; only its errors are shown.
void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "keb-filter: Qt: " << message.toStdString() << "\n";
}

} // namespace

TQtPictureWriter::TQtPictureWriter()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "keb-filter";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QtMessage);
    application_ = std::make_unique<QGuiApplication>(argc, argv);
}

TQtPictureWriter::~TQtPictureWriter() = default;

void TQtPictureWriter::SaveWaterfall(const TWaterfallPicture& waterfall, const std::string& title,
                                     TAtomicFile& file)
{
    SavePng(WaterfallImage(waterfall, title), file);
}

void TQtPictureWriter::SaveResponse(const std::vector<TResponsePoint>& response,
                                    const std::string& title, TAtomicFile& file)
{
    SavePng(ResponseImage(response, title), file);
}

} // namespace keb
