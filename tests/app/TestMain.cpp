// Runs the window tests inside a QApplication, with the main loop drained
// from Qt's event loop as in the program; without a display they use Qt's
// offscreen platform (also while CTest lists the tests).
#include "platform/core/MainLoop.h"
#include "platform/gui/ClassicLook.h"
#include "platform/gui/MainLoopBridge.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName("KEB");
    keb::UseClassicLook(application);
    keb::InitMainThread();
    keb::AttachMainLoopToQt();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    keb::DetachMainLoopFromQt();
    return result;
}
