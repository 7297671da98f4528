// The window's notch filter and noise reducer (their place in the chain is
// checked with the chain's other links): Filter Off, the right-click items
// (also while the audio runs), the choices remembered in keb.conf and given
// on the command line.
#include "app/Startup.h"
#include "app/UserSettings.h"
#include "demo/DemoSignal.h"
#include "tests/app/WindowTestSupport.h"

#include <QMenu>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace keb::test
{
namespace
{

class NoiseMenuWindowTest : public WindowTest
{
  protected:
    std::filesystem::path SettingsFile() const { return Home / "config" / "keb" / "keb.conf"; }

    static QAction* Item(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }

    static QStringList Entries(QMenu* menu)
    {
        QStringList entries;
        for (QAction* action : menu->actions())
            entries << (action->isChecked() ? "*" : "") + action->text();
        return entries;
    }

    // Amplitude (full scale 1) at frequency over the played samples from `from`
    // up to `to` (the end when 0).
    double PlayedAmplitude(double frequency, std::size_t from, std::size_t to = 0) const
    {
        const std::vector<std::int16_t> played = Speaker->Samples16();
        if (to == 0)
            to = played.size();
        double re = 0, im = 0;
        for (std::size_t i = from; i < to; ++i)
        {
            const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(i) / 8000;
            re += played[i] * std::cos(phase);
            im += played[i] * std::sin(phase);
        }
        return 2 * std::hypot(re, im) / static_cast<double>(to - from) / 32768;
    }

    // The amplitudes at frequency of the pieces of 100 ms (whole periods of the
    // demo's tones) from `from` on. A block the ring buffer repeats or drops
    // shifts a tone's phase; measured piece by piece, that costs one piece
    // instead of cancelling the tone over the whole stretch.
    std::vector<double> PieceAmplitudes(double frequency, std::size_t from) const
    {
        constexpr std::size_t Piece = 800;
        std::vector<double> pieces;
        for (std::size_t start = from; start + Piece <= Speaker->Samples16().size(); start += Piece)
            pieces.push_back(PlayedAmplitude(frequency, start, start + Piece));
        return pieces;
    }

    // A steady tone's amplitude: the median piece.
    double SteadyAmplitude(double frequency, std::size_t from) const
    {
        std::vector<double> pieces = PieceAmplitudes(frequency, from);
        if (pieces.empty())
            return 0;
        std::nth_element(pieces.begin(), pieces.begin() + pieces.size() / 2, pieces.end());
        return pieces[pieces.size() / 2];
    }

    // A keyed tone's average amplitude, key-up pieces included.
    double KeyedAmplitude(double frequency, std::size_t from) const
    {
        const std::vector<double> pieces = PieceAmplitudes(frequency, from);
        return pieces.empty() ? 0 : std::reduce(pieces.begin(), pieces.end()) / pieces.size();
    }
};

TEST_F(NoiseMenuWindowTest, TheMenuItemsSetTheComponentsAndAreRemembered)
{
    const TUserSettings settings(SettingsFile());
    Form().UseSettings(&settings);
    // Both off at first: the window starts as before.
    EXPECT_EQ(CleanupOf(*Form().Notch, *Form().NoiseReducer), TCleanupSettings{});
    QMenu* menu = Form().BuildContextMenu();
    QAction* reduction = Item(menu, "Noise reduction");
    ASSERT_TRUE(reduction && reduction->menu());
    EXPECT_EQ(Entries(reduction->menu()), QStringList({"*Off", "1", "2", "3"}));
    // Only a menu opened on the input waterfall offers notches there.
    EXPECT_EQ(Item(menu, "Clear notches"), nullptr);
    Item(reduction->menu(), "2")->trigger();
    Item(menu, "Automatic notch")->trigger();
    EXPECT_EQ(Form().NoiseReducer->Level(), 2);
    EXPECT_TRUE(Form().Notch->Automatic());

    menu = Form().BuildContextMenu(1234.0);
    EXPECT_FALSE(Item(menu, "Clear notches")->isEnabled());
    Item(menu, "Notch at 1234 Hz")->trigger();
    Item(Form().BuildContextMenu(800.0), "Notch at 800 Hz")->trigger();
    EXPECT_EQ(Form().Notch->ManualNotches(), (std::vector<float>{1234, 800}));
    EXPECT_TRUE(Item(Form().BuildContextMenu(), "Automatic notch")->isChecked());

    const std::optional<TCleanupSettings> stored = settings.Load().Cleanup;
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, (TCleanupSettings{2, true, {1234, 800}}));

    Item(Form().BuildContextMenu(500.0), "Clear notches")->trigger();
    Item(Form().BuildContextMenu(), "Automatic notch")->trigger();
    EXPECT_EQ(*settings.Load().Cleanup, (TCleanupSettings{2, false, {}}));
}

TEST_F(NoiseMenuWindowTest, TheInputWaterfallsRowsGiveTheNotchFrequency)
{
    TMMSpectrogram* waterfall = Form().MMSpectrogram1;
    const QRect area = waterfall->geometry();
    const QPoint inside = waterfall->mapTo(&Form(), QPoint(area.width() / 2, 0));
    const std::optional<double> top = Form().InputWaterfallFrequency(inside);
    const std::optional<double> middle =
        Form().InputWaterfallFrequency(inside + QPoint(0, area.height() / 2));
    ASSERT_TRUE(top && middle);
    EXPECT_DOUBLE_EQ(*top, MaxNotchHz);
    EXPECT_NEAR(*middle, 2000, 100);
    EXPECT_DOUBLE_EQ(*middle, std::round(waterfall->FrequencyAt(area.height() / 2)));
    // The output waterfall and the controls offer no notch.
    const QPoint output = Form().MMSpectrogram2->mapTo(&Form(), QPoint(5, 100));
    EXPECT_FALSE(Form().InputWaterfallFrequency(output));
    EXPECT_FALSE(Form().InputWaterfallFrequency(Form().btnEQ->mapTo(&Form(), QPoint(2, 2))));
}

TEST_F(NoiseMenuWindowTest, TheAutomaticNotchTakesTheDemoCarrierWhileRunningUntilFilterOff)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_TRUE(PlayBuffers(16)); // 2 s as it was
    const double before = SteadyAmplitude(TDemoSignal::CarrierFrequencyHz, 8000);
    Item(form.BuildContextMenu(), "Automatic notch")->trigger();
    Item(Item(form.BuildContextMenu(), "Noise reduction")->menu(), "1")->trigger();
    const std::size_t switched = Speaker->Samples16().size();
    ASSERT_TRUE(PlayBuffers(32)); // 4 s
    const double after = PlayedAmplitude(TDemoSignal::CarrierFrequencyHz, switched + 16000);
    EXPECT_NEAR(before, TDemoSignal::CarrierAmplitude, 0.01);
    EXPECT_LT(20 * std::log10(after / before), -30.0);
    // The CW goes on.
    EXPECT_GT(KeyedAmplitude(TDemoSignal::CwFrequencyHz, switched + 16000), 0.05);

    // Filter Off: the raw signal again, carrier and all.
    Click(form.btnEQ);
    EXPECT_EQ(form.btnEQ->text(), "Filter Off");
    EXPECT_FALSE(form.Equalizer->Enabled() || form.Notch->Enabled() ||
                 form.NoiseReducer->Enabled());
    const std::size_t bypassed = Speaker->Samples16().size();
    ASSERT_TRUE(PlayBuffers(16));
    Click(form.StopBtn);
    EXPECT_NEAR(SteadyAmplitude(TDemoSignal::CarrierFrequencyHz, bypassed + 4000),
                TDemoSignal::CarrierAmplitude, 0.01);
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(NoiseMenuWindowTest, RememberedChoicesApplyAndTheCommandLineWinsForTheRun)
{
    TStoredChoices stored;
    stored.Cleanup = TCleanupSettings{3, false, {700}};
    ApplyChoices(Form(), stored, {});
    EXPECT_EQ(CleanupOf(*Form().Notch, *Form().NoiseReducer), *stored.Cleanup);

    const char* arguments[] = {"keb", "--nr", "1", "--notch", "--notch-at=900,1500.5"};
    ApplyChoices(Form(), stored, ParseCommandLine(5, arguments));
    EXPECT_EQ(CleanupOf(*Form().Notch, *Form().NoiseReducer),
              (TCleanupSettings{1, true, {900, 1500.5}}));
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

TEST(NoiseCommandLineTest, OptionsAndTheirRefusals)
{
    const char* off[] = {"keb", "--nr=off"};
    EXPECT_EQ(ParseCommandLine(2, off).NoiseReduction, 0);
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases{
        {{"keb", "--nr", "4"}, "--nr wants off, 1, 2 or 3, not \"4\""},
        {{"keb", "--nr"}, "--nr wants a value"},
        {{"keb", "--notch=yes"}, "--notch takes no value"},
        {{"keb", "--notch-at", "10"}, "--notch-at wants up to four frequencies"},
        {{"keb", "--notch-at", "1,2,3,4,5"}, "--notch-at wants"},
        {{"keb", "--notch-at", "500,,600"}, "--notch-at wants"},
        {{"keb", "--notch-at", "500,600,700,800,900"}, "--notch-at wants"},
        {{"keb", "--notch-at", ""}, "--notch-at wants"},
        {{"keb", "--notch", "--version"}, "start no window"},
    };
    for (const auto& [arguments, cause] : cases)
    {
        std::string refusal = "accepted";
        try
        {
            ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
        }
        catch (const EUsageError& error)
        {
            refusal = error.what();
        }
        EXPECT_NE(refusal.find(cause), std::string::npos) << refusal << " / wanted: " << cause;
    }
}

} // namespace
} // namespace keb::test
