// The memories A .. D and Save, through the buttons, against real files in
// a memory folder of the test's own.
#include "WindowTestSupport.h"
#include "app/MemoryFile.h"

namespace keb::test
{
namespace
{

using MemoryWindowTest = WindowTest;

TBandPositions SomeSetting()
{
    TBandPositions positions{};
    for (int band = 0; band < BandCount; ++band)
        positions[band] = -3 * band + 7;
    return positions;
}

std::vector<std::uint8_t> RecordBytes(const TBandPositions& Positions)
{
    const auto bytes = EncodeMemoryRecord(Positions);
    return {bytes.begin(), bytes.end()};
}

TEST_F(MemoryWindowTest, StartUpCreatesTheFolderAndEmptyFiles)
{
    ASSERT_FALSE(std::filesystem::exists(MemoryHome));
    TMainForm& form = Form();
    for (int memory = 1; memory <= 4; ++memory)
    {
        ASSERT_TRUE(std::filesystem::is_regular_file(MemoryFile(memory)));
        EXPECT_EQ(std::filesystem::file_size(MemoryFile(memory)), 0u);
    }
    EXPECT_EQ(form.CurrentMemoryFile(), MemoryFile(4));
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(MemoryWindowTest, StartUpKeepsExistingMemories)
{
    const auto stored = RecordBytes(SomeSetting());
    WriteBytes(MemoryFile(2), stored);
    Form();
    EXPECT_EQ(ReadBytes(MemoryFile(2)), stored);
}

TEST_F(MemoryWindowTest, LoadMoveAndSaveRewritesTheFirstRecord)
{
    std::vector<std::uint8_t> stored = RecordBytes(SomeSetting());
    const std::vector<std::uint8_t> tail = {1, 2, 3, 4, 5};
    stored.insert(stored.end(), tail.begin(), tail.end());
    WriteBytes(MemoryFile(1), stored);
    TMainForm& form = Form();

    Click(form.MemoryButtons[0]);
    EXPECT_EQ(SliderPositions(), SomeSetting());
    EXPECT_EQ(BandGains(), SomeSetting());
    EXPECT_TRUE(form.MemoryButtons[0]->Down());
    EXPECT_TRUE(form.M->isEnabled());
    EXPECT_EQ(form.CurrentMemoryFile(), MemoryFile(1));
    EXPECT_FALSE(form.P->isVisible());

    form.sl[2]->SetPosition(-40);
    form.sl[17]->SetPosition(11);
    Click(form.M);
    TBandPositions expected = SomeSetting();
    expected[2] = -40;
    expected[17] = 11;
    const std::vector<std::uint8_t> written = ReadBytes(MemoryFile(1));
    ASSERT_EQ(written.size(), stored.size());
    EXPECT_EQ(DecodeMemoryRecord(written.data()), expected);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), written.begin() + MemoryRecordSize));
    EXPECT_FALSE(form.MemoryButtons[0]->Down());
    EXPECT_FALSE(form.M->isEnabled());
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(MemoryWindowTest, SaveAfterAPresetWritesNothing)
{
    TMainForm& form = Form();
    Click(form.MemoryButtons[0]);
    Click(form.F04b);
    Click(form.M);
    EXPECT_EQ(std::filesystem::file_size(MemoryFile(1)), 0u);
    EXPECT_FALSE(form.M->isEnabled());
}

TEST_F(MemoryWindowTest, ShortFileLoadsNothingAndSaveMakesItOneRecord)
{
    const std::vector<std::uint8_t> half(40, 0x11);
    WriteBytes(MemoryFile(3), half);
    TMainForm& form = Form();
    form.sl[9]->SetPosition(-30);
    Click(form.MemoryButtons[2]);
    EXPECT_EQ(form.sl[9]->Position(), -30);
    Click(form.M);
    const auto written = ReadBytes(MemoryFile(3));
    ASSERT_EQ(written.size(), 80u);
    EXPECT_EQ(DecodeMemoryRecord(written.data()), SliderPositions());
}

TEST_F(MemoryWindowTest, StoredValuesOutsideTheRangeAreClamped)
{
    TBandPositions wild = OpenBands(0, 19);
    wild[0] = 100;
    wild[1] = -1000;
    WriteBytes(MemoryFile(4), RecordBytes(wild));
    TMainForm& form = Form();
    Click(form.MemoryButtons[3]);
    TBandPositions expected = OpenBands(0, 19);
    expected[0] = 12;
    expected[1] = -60;
    EXPECT_EQ(SliderPositions(), expected);
    EXPECT_EQ(BandGains(), expected);
}

TEST_F(MemoryWindowTest, MissingFileLoadsNothingAndSaveOnlyDisablesItself)
{
    TMainForm& form = Form();
    std::filesystem::remove(MemoryFile(2));
    form.sl[4]->SetPosition(-8);
    Click(form.MemoryButtons[1]);
    EXPECT_TRUE(form.MemoryButtons[1]->Down());
    EXPECT_TRUE(form.M->isEnabled());
    EXPECT_EQ(form.sl[4]->Position(), -8);
    Click(form.M);
    EXPECT_FALSE(std::filesystem::exists(MemoryFile(2)));
    EXPECT_FALSE(form.M->isEnabled());
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(MemoryWindowTest, UnwritableMemoryShowsTheErrorAndLosesNothing)
{
    TMainForm& form = Form();
    Click(form.MemoryButtons[0]);
    form.sl[6]->SetPosition(-25);
    const TBandPositions setting = SliderPositions();
    // A folder in the file's place: it exists, but no record can go into it.
    std::filesystem::remove(MemoryFile(1));
    std::filesystem::create_directory(MemoryFile(1));
    Click(form.M);
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    std::string expected;
    try
    {
        WriteMemoryRecord(MemoryFile(1), setting);
    }
    catch (const EInOutError& error)
    {
        expected = error.what();
    }
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(ErrorBoxes[0], expected);
    EXPECT_EQ(SliderPositions(), setting);
    EXPECT_TRUE(form.MemoryButtons[0]->Down()) << "the memory stays selected for another try";
    EXPECT_TRUE(form.M->isEnabled());

    // Once the file can be written again, Save stores the setting.
    std::filesystem::remove(MemoryFile(1));
    WriteBytes(MemoryFile(1), {});
    Click(form.M);
    EXPECT_EQ(DecodeMemoryRecord(ReadBytes(MemoryFile(1)).data()), setting);
    EXPECT_EQ(ErrorBoxes.size(), 1u);
}

TEST_F(MemoryWindowTest, UnusableMemoryFolderShowsOneErrorAndTheFilterStillWorks)
{
    // A plain file where the folder's parent should be: nothing can be made.
    WriteBytes(Home / "data", {});
    TMainForm& form = Form();
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    EXPECT_NE(ErrorBoxes[0].find(MemoryHome.string()), std::string::npos) << ErrorBoxes[0];
    ASSERT_EQ(form.Equalizer->Filters()->Count(), BandCount);
    Click(form.F02b);
    EXPECT_EQ(BandGains(), OpenBands(4, 4));
    EXPECT_EQ(ErrorBoxes.size(), 1u);
}

} // namespace
} // namespace keb::test
