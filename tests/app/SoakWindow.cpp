#include "SoakWindow.h"

#include "settings/MemoryFile.h"

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <array>
#include <thread>

namespace keb::test
{

namespace
{

constexpr std::array<Qt::Key, 8> Keys = {Qt::Key_Left, Qt::Key_Right,  Qt::Key_Up,
                                         Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown,
                                         Qt::Key_Home, Qt::Key_End};

constexpr std::uint64_t SampleRate = 8000;

// A worker that has not given its buffer back after this long hangs.
constexpr std::chrono::seconds WorkerLimit{10};

} // namespace

std::shared_ptr<TVirtualSoundCard> SoakWindowTest::BuildCard()
{
    auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    auto source = std::make_unique<TRampSource>();
    Source = source.get();
    card->AddCaptureDevice("Receiver", std::move(source));
    card->AddPlaybackDevice("Speaker", std::make_shared<TCheckingSink>(Check));
    return card;
}

void SoakWindowTest::SwitchOn()
{
    HookDevices();
    RunFrames = 0;
    RunCaptured = 0;
    RunFilled = 0;
    Check->StartRun(Source->Position());
    Click(Form().StartBtn);
    Off = false;
}

void SoakWindowTest::SwitchOff()
{
    // The devices free their headers when they close.
    ForgetBuffers();
    Click(Form().StopBtn);
    Off = true;
}

void SoakWindowTest::CloseWindow()
{
    ForgetBuffers();
    Form().close();
    DestroyForm();
}

// Set while the devices are closed, so no worker runs a hook meanwhile.
void SoakWindowTest::HookDevices()
{
    TMainForm& form = Form();
    form.WaveOut->OnBufferFilled = [this, &form](TMMDSPComponent*, PWaveHdr Header)
    {
        Remember(Header);
        Check->Filled(!form.Equalizer->Enabled());
        ++RunFilled;
    };
    form.MMWaveIn->OnBufferReady = [this](TMMDSPComponent*, PWaveHdr Header)
    {
        Remember(Header);
        ++RunCaptured;
    };
}

void SoakWindowTest::Remember(PWaveHdr Header)
{
    std::lock_guard guard(BuffersLock);
    if (std::find(Buffers.begin(), Buffers.end(), Header) == Buffers.end())
        Buffers.push_back(Header);
}

void SoakWindowTest::ForgetBuffers()
{
    std::lock_guard guard(BuffersLock);
    Buffers.clear();
}

bool SoakWindowTest::WorkersIdle()
{
    const std::uint64_t finished = RunFrames / BlockFrames;
    const auto queued = static_cast<std::uint64_t>(Form().WaveOut->NumBuffers());
    if (RunCaptured.load() != finished || RunFilled.load() != queued + finished)
        return false;
    std::lock_guard guard(BuffersLock);
    return std::all_of(Buffers.begin(), Buffers.end(),
                       [](PWaveHdr Header)
                       { return (LoadWaveHdrFlags(*Header) & WaveHdrInQueue) != 0; });
}

bool SoakWindowTest::Settle()
{
    const auto limit = std::chrono::steady_clock::now() + WorkerLimit;
    while (!WorkersIdle())
    {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

void SoakWindowTest::Advance(std::chrono::milliseconds Time)
{
    Card->Advance(Time);
    if (!Off)
        RunFrames += static_cast<std::uint64_t>(Time.count()) * SampleRate / 1000;
}

bool SoakWindowTest::Act(const TSoakStep& Step)
{
    TMainForm& form = Form();
    if (Off)
    {
        SwitchOn();
        return true;
    }
    if (AboutShown)
    {
        Click(form.RxGIFAnimator1);
        AboutShown = false;
        return true;
    }
    const bool quiet = Step.Action == TSoakAction::Bypass || Step.Action == TSoakAction::Restart;
    if (quiet && !Settle())
        return false;
    ++ActionCounts[Step.Action];
    switch (Step.Action)
    {
    case TSoakAction::Bypass:
        Click(form.btnEQ);
        break;
    case TSoakAction::SliderKey:
        PressKey(form.sl[Step.Target % BandCount], Step.Variant);
        break;
    case TSoakAction::SliderClick:
        ClickSlider(form.sl[Step.Target % BandCount], Step.Variant);
        break;
    case TSoakAction::WheelKey:
        PressKey(form.Sh, Step.Variant);
        break;
    case TSoakAction::Preset:
        Click(std::array<QWidget*, 4>{form.F02b, form.F04b, form.F18b, form.F26b}[Step.Target % 4]);
        break;
    case TSoakAction::Flatten:
        Click(form.Button1);
        break;
    case TSoakAction::LoadMemory:
        Click(form.MemoryButtons[static_cast<std::size_t>(Step.Target % 4)]);
        break;
    case TSoakAction::SaveMemory:
        SaveMemory();
        break;
    case TSoakAction::About:
        Click(form.Ab);
        AboutShown = true;
        break;
    case TSoakAction::Restart:
        SwitchOff();
        break;
    }
    QCoreApplication::processEvents();
    return true;
}

void SoakWindowTest::PressKey(QWidget* Control, int Variant)
{
    QTest::keyClick(Control, Keys[static_cast<std::size_t>(Variant) % Keys.size()]);
}

void SoakWindowTest::ClickSlider(TMMSlider* Slider, int Where)
{
    const QPoint point(Slider->width() * Where / 1000, Slider->height() / 2);
    QTest::mouseClick(Slider, Qt::LeftButton, Qt::NoModifier, point);
}

// Save writes the sliders into the memory whose button is down, if any.
void SoakWindowTest::SaveMemory()
{
    TMainForm& form = Form();
    const auto selected = std::find_if(form.MemoryButtons.begin(), form.MemoryButtons.end(),
                                       [](TSpeedButton* Button) { return Button->Down(); });
    const TBandPositions positions = SliderPositions();
    const bool saving = form.M->isEnabled() && selected != form.MemoryButtons.end() &&
                        std::filesystem::exists(form.CurrentMemoryFile());
    Click(form.M);
    if (!saving)
        return;
    const auto memory = static_cast<int>(selected - form.MemoryButtons.begin()) + 1;
    if (ReadMemoryRecord(MemoryFile(memory)) != positions)
        SaveFault = "memory " + std::to_string(memory) + " does not hold the saved positions";
}

std::string SoakWindowTest::Broken()
{
    TMainForm& form = Form();
    if (!ErrorBoxes.empty())
        return "error box: " + ErrorBoxes.front();
    if (!SaveFault.empty())
        return SaveFault;
    if (BandGains() != SliderPositions())
        return "the bands do not follow the sliders";
    if (form.Box->isVisible() == AboutShown)
        return AboutShown ? "the about view left the controls shown" : "the controls stayed hidden";
    const QString caption = form.Equalizer->Enabled() ? "Filter On" : "Filter Off";
    if (form.btnEQ->text() != caption)
        return "the filter button reads " + form.btnEQ->text().toStdString();
    return {};
}

} // namespace keb::test
