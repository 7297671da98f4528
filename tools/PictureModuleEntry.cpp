// Entry of keb-filter's picture module: the Qt drawing, loaded by the tool
// only when a run asks for a picture (PictureModule.h).
#include "tools/PictureModule.h"
#include "tools/QtPictureWriter.h"

extern "C" keb::TPictureWriter* KEB_PICTURE_MODULE_ENTRY()
{
    return new keb::TQtPictureWriter();
}
