#include "WindowTestSupport.h"

#include "app/DemoSoundCard.h"

#include <QApplication>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace keb::test
{

bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit)
{
    return QTest::qWaitFor(Done, static_cast<int>(Limit.count()));
}

void PumpFor(std::chrono::milliseconds Time)
{
    QTest::qWait(static_cast<int>(Time.count()));
}

TWatchdog::TWatchdog(std::chrono::seconds Limit)
{
    ::alarm(static_cast<unsigned>(Limit.count()));
}

TWatchdog::~TWatchdog()
{
    ::alarm(0);
}

void WindowTest::SetUp()
{
    char pattern[] = "/tmp/keb-window-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    Home = pattern;
    MemoryHome = Home / "data" / "keb";
    ::setenv("KEB_HOME", MemoryHome.c_str(), 1);
    PreviousErrorBox =
        SetErrorBoxHandler([this](const std::string& Message) { ErrorBoxes.push_back(Message); });
    Speaker = std::make_shared<TMemorySink>();
    Card = BuildCard();
    UseVirtualSoundCard(Card);
}

void WindowTest::TearDown()
{
    Window.reset();
    // Queued deliveries of the destroyed window's components find nothing.
    PumpFor(20ms);
    UseVirtualSoundCard(nullptr);
    SetErrorBoxHandler(PreviousErrorBox);
    ::unsetenv("KEB_HOME");
    std::error_code ignored;
    std::filesystem::permissions(Home, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(Home, ignored);
}

std::shared_ptr<TVirtualSoundCard> WindowTest::BuildCard()
{
    auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    card->AddCaptureDevice("Receiver", MakeDemoSignalSource());
    card->AddPlaybackDevice("Speaker", Speaker);
    return card;
}

TMainForm& WindowTest::Form()
{
    if (!Window)
    {
        Window = std::make_unique<TMainForm>();
        Window->WaveOut->OnBufferFilled = [this](TMMDSPComponent*, PWaveHdr) { ++BuffersFilled; };
        Window->MMWaveIn->OnBufferReady = [this](TMMDSPComponent*, PWaveHdr) { ++BuffersCaptured; };
        Window->show();
        Window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    }
    return *Window;
}

void WindowTest::Click(QWidget* Button)
{
    QTest::mouseClick(Button, Qt::LeftButton, Qt::NoModifier, Button->rect().center());
}

TBandPositions WindowTest::SliderPositions()
{
    TBandPositions positions{};
    for (int band = 0; band < BandCount; ++band)
        positions[band] = Form().sl[band]->Position();
    return positions;
}

TBandPositions WindowTest::BandGains()
{
    TBandPositions gains{};
    TMMEQFilterList* bands = Form().Equalizer->Filters();
    EXPECT_EQ(bands->Count(), BandCount);
    for (int band = 0; band < BandCount && band < bands->Count(); ++band)
        gains[band] = static_cast<std::int32_t>(std::lround(bands->Items(band)->Gain()));
    return gains;
}

TBandPositions WindowTest::OpenBands(int First, int Last)
{
    TBandPositions positions{};
    for (int band = 0; band < BandCount; ++band)
        positions[band] = band >= First && band <= Last ? BandOpen : BandClosed;
    return positions;
}

std::filesystem::path WindowTest::MemoryFile(int Memory) const
{
    return MemoryHome / ("F" + std::to_string(Memory) + ".dat");
}

void WindowTest::WriteBytes(const std::filesystem::path& File,
                            const std::vector<std::uint8_t>& Bytes)
{
    std::filesystem::create_directories(File.parent_path());
    std::ofstream stream(File, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(Bytes.data()),
                 static_cast<std::streamsize>(Bytes.size()));
}

std::vector<std::uint8_t> WindowTest::ReadBytes(const std::filesystem::path& File)
{
    std::ifstream stream(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

bool WindowTest::PlayBuffers(int Buffers, bool Paced)
{
    for (int step = 0; step < Buffers; ++step)
    {
        const int filled = BuffersFilled.load();
        const int captured = BuffersCaptured.load();
        Card->Advance(BufferTime);
        if (!PumpUntil(
                [&] { return BuffersFilled.load() > filled && BuffersCaptured.load() > captured; }))
            return false;
        if (Paced)
            PumpFor(BufferTime);
    }
    return true;
}

} // namespace keb::test
