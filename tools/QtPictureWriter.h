// The pictures drawn with Qt (FilterPictures.h). The labels need Qt's fonts,
// which need an application object: the writer makes one on the offscreen
// platform when the process has none (the tool shows no window), and then
// shows only Qt's errors, as one "keb-filter: Qt: ..." line each on stderr.
// Main thread.
#pragma once

#include "tools/PictureWriter.h"

#include <QGuiApplication>
#include <memory>

namespace keb
{

class TQtPictureWriter : public TPictureWriter
{
  public:
    TQtPictureWriter();
    ~TQtPictureWriter() override;

    void SaveWaterfall(const TWaterfallPicture& waterfall, const std::string& title,
                       TAtomicFile& file) override;
    void SaveResponse(const std::vector<TResponsePoint>& response, const std::string& title,
                      TAtomicFile& file) override;

  private:
    std::unique_ptr<QGuiApplication> application_;
};

} // namespace keb
