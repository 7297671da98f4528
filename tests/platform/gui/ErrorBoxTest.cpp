// The Qt error box and the main loop's drain from Qt's event loop.
#include "platform/gui/ErrorBox.h"

#include "tests/app/WindowTestSupport.h"
#include "platform/core/MainLoop.h"
#include "platform/core/MessageWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace keb::test
{
namespace
{

// Closes the first message box that opens and keeps its text.
class BoxCatcher
{
  public:
    BoxCatcher()
    {
        QObject::connect(&Timer, &QTimer::timeout,
                         [this]
                         {
                             for (QWidget* widget : QApplication::topLevelWidgets())
                             {
                                 auto* box = qobject_cast<QMessageBox*>(widget);
                                 if (box == nullptr || !box->isVisible())
                                     continue;
                                 Texts.push_back(box->text().toStdString());
                                 Captions.push_back(box->windowTitle().toStdString());
                                 box->accept();
                             }
                         });
        Timer.start(5);
    }

    QTimer Timer;
    std::vector<std::string> Texts;
    std::vector<std::string> Captions;
};

TEST(ErrorBoxTest, ShowsTheMessageExactlyAsRaised)
{
    TWatchdog watchdog(30s);
    BoxCatcher catcher;
    const TErrorBoxHandler previous = SetErrorBoxHandler({});
    InstallErrorBox();
    const std::string message = "WaveOutOpen:\n\rUnable to open device";
    HandleException(EInOutError(message));
    SetErrorBoxHandler(previous);
    ASSERT_EQ(catcher.Texts.size(), 1u);
    EXPECT_EQ(catcher.Texts[0], message);
    EXPECT_EQ(catcher.Captions[0], "KEB");
}

// Standard error of the process into a file, while it lives.
class TStderrCapture
{
  public:
    TStderrCapture()
    {
        std::fflush(stderr);
        kept_ = ::dup(STDERR_FILENO);
        char name[] = "/tmp/keb-stderr-XXXXXX";
        const int file = ::mkstemp(name);
        name_ = name;
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~TStderrCapture()
    {
        Restore();
        ::unlink(name_.c_str());
    }
    std::string Text()
    {
        Restore();
        std::ifstream stream(name_);
        return std::string((std::istreambuf_iterator<char>(stream)), {});
    }

  private:
    void Restore()
    {
        if (kept_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(kept_, STDERR_FILENO);
        ::close(kept_);
        kept_ = -1;
    }

    int kept_ = -1;
    std::string name_;
};

TEST(ErrorBoxTest, EveryMessageIsAlsoOneLineOnStderrAndASilencedOneOnlyThat)
{
    TWatchdog watchdog(30s);
    BoxCatcher catcher;
    const int before = ErrorBoxMessages();
    TStderrCapture capture;
    ShowQtErrorBox("WaveOutOpen:\n\rUnable to open device");
    SilenceErrorBoxes(true);
    ShowQtErrorBox("Cannot save memory file /x/F1.dat:\nPermission denied");
    SilenceErrorBoxes(false);
    // Qt's own notes about the platform aside: the program's lines.
    const std::string program = program_invocation_short_name;
    std::istringstream lines(capture.Text());
    std::string ours;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(program + ": ", 0) == 0)
            ours += line + "\n";
    EXPECT_EQ(ours, program + ": WaveOutOpen: Unable to open device\n" + program +
                        ": Cannot save memory file /x/F1.dat: Permission denied\n");
    ASSERT_EQ(catcher.Texts.size(), 1u);
    EXPECT_EQ(catcher.Texts[0], "WaveOutOpen:\n\rUnable to open device");
    EXPECT_EQ(ErrorBoxMessages(), before + 2);
}

TEST(ErrorBoxTest, MessageFromAWorkerWaitsForTheGuiThread)
{
    TWatchdog watchdog(30s);
    BoxCatcher catcher;
    std::thread worker([] { ShowQtErrorBox("from a worker"); });
    worker.join();
    EXPECT_TRUE(catcher.Texts.empty()) << "shown by the worker itself";
    EXPECT_TRUE(PumpUntil([&] { return !catcher.Texts.empty(); }));
    ASSERT_EQ(catcher.Texts.size(), 1u);
    EXPECT_EQ(catcher.Texts[0], "from a worker");
}

TEST(MainLoopBridgeTest, QtRunsTheMainLoopForWorkers)
{
    TWatchdog watchdog(30s);
    // A worker's synchronise request runs in the GUI thread while only Qt's
    // event loop runs; the worker waits for it.
    bool ranInMainThread = false;
    std::thread worker([&] { RunSynchronized([&] { ranInMainThread = IsMainThread(); }); });
    EXPECT_TRUE(PumpUntil([&] { return ranInMainThread; }));
    worker.join();
    EXPECT_TRUE(ranInMainThread);

    std::vector<std::uint32_t> received;
    TMessageWindow window([&](const TMessage& message) { received.push_back(message.Msg); });
    std::thread poster(
        [&]
        {
            for (std::uint32_t msg = 1; msg <= 50; ++msg)
                PostMessage(window.Handle(), msg);
        });
    poster.join();
    EXPECT_TRUE(PumpUntil([&] { return received.size() == 50; }));
    ASSERT_EQ(received.size(), 50u);
    EXPECT_EQ(received.front(), 1u);
    EXPECT_EQ(received.back(), 50u);
}

} // namespace
} // namespace keb::test
