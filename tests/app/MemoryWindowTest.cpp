// The memories A .. D and Save through the buttons, against real files in a
// memory folder of the test's own: good memories, and every kind of file
// the system can refuse or the user can damage. Each error reaches one
// error box with the file's name and cause; nothing after the first record
// ever changes, and a refused Save keeps the memory selected.
#include "PermissionBits.h"
#include "WindowTestSupport.h"
#include "settings/MemoryFile.h"

#include <climits>

namespace keb::test
{
namespace
{

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class MemoryWindowTest : public WindowTest
{
  protected:
    static TBandPositions SomeSetting()
    {
        TBandPositions positions{};
        for (int band = 0; band < BandCount; ++band)
            positions[band] = -3 * band + 7;
        return positions;
    }

    static Bytes RecordBytes(const TBandPositions& Positions)
    {
        const auto bytes = EncodeMemoryRecord(Positions);
        return {bytes.begin(), bytes.end()};
    }

    // The record of SomeSetting followed by Size - 80 bytes of a pattern.
    static Bytes MemoryOfSize(std::size_t Size)
    {
        Bytes bytes = RecordBytes(SomeSetting());
        for (std::size_t i = bytes.size(); i < Size; ++i)
            bytes.push_back(static_cast<std::uint8_t>(i * 13 + 5));
        return bytes;
    }

    // Moves two sliders away from whatever they show; returns the setting.
    TBandPositions MoveSomeSliders()
    {
        Form().sl[6]->SetPosition(-25);
        Form().sl[17]->SetPosition(11);
        return SliderPositions();
    }

    // The memory's file holds Record first and Before's bytes after it.
    void ExpectRewrittenFirstRecord(int Memory, const Bytes& Before, const TBandPositions& Record)
    {
        const Bytes written = ReadBytes(MemoryFile(Memory));
        ASSERT_EQ(written.size(), Before.size());
        EXPECT_EQ(DecodeMemoryRecord(written.data()), Record);
        EXPECT_TRUE(std::equal(written.begin() + MemoryRecordBytes, written.end(),
                               Before.begin() + MemoryRecordBytes));
    }

    // The memory folder's parent cannot hold it; start-up shows one error,
    // the filter works without memories, and Save reports that it stored
    // nothing: FolderCause and SaveCause are the system's reasons.
    void CheckWindowWithoutMemoryFolder(const std::string& FolderCause,
                                        const std::string& SaveCause)
    {
        TMainForm& form = Form();
        ASSERT_EQ(ErrorBoxes.size(), 1u);
        EXPECT_EQ(ErrorBoxes[0],
                  "Cannot create the memory folder " + MemoryHome.string() + ": " + FolderCause);
        ASSERT_EQ(form.Equalizer->Filters()->Count(), BandCount);
        Click(form.F02b);
        EXPECT_EQ(BandGains(), OpenBands(4, 4));

        Click(form.MemoryButtons[0]);
        EXPECT_EQ(SliderPositions(), OpenBands(4, 4)) << "a missing memory loads nothing";
        EXPECT_EQ(ErrorBoxes.size(), 1u);
        Click(form.M);
        ASSERT_EQ(ErrorBoxes.size(), 2u);
        EXPECT_EQ(ErrorBoxes[1],
                  "Cannot save memory file " + MemoryFile(1).string() + ": " + SaveCause);
        EXPECT_TRUE(form.MemoryButtons[0]->Down());
        EXPECT_TRUE(form.M->isEnabled());
        EXPECT_FALSE(fs::exists(MemoryHome));
    }
};

TEST_F(MemoryWindowTest, StartUpCreatesTheFolderAndEmptyFiles)
{
    ASSERT_FALSE(fs::exists(MemoryHome));
    TMainForm& form = Form();
    for (int memory = 1; memory <= 4; ++memory)
    {
        ASSERT_TRUE(fs::is_regular_file(MemoryFile(memory)));
        EXPECT_EQ(fs::file_size(MemoryFile(memory)), 0u);
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

TEST_F(MemoryWindowTest, SavingIntoAMegabyteMemoryRewritesOnlyItsFirstRecord)
{
    const Bytes stored = MemoryOfSize(1 << 20);
    WriteBytes(MemoryFile(1), stored);
    TMainForm& form = Form();

    Click(form.MemoryButtons[0]);
    EXPECT_EQ(SliderPositions(), SomeSetting());
    EXPECT_EQ(BandGains(), SomeSetting());
    EXPECT_TRUE(form.MemoryButtons[0]->Down());
    EXPECT_TRUE(form.M->isEnabled());
    EXPECT_EQ(form.CurrentMemoryFile(), MemoryFile(1));
    EXPECT_FALSE(form.P->isVisible());

    const TBandPositions moved = MoveSomeSliders();
    Click(form.M);
    ExpectRewrittenFirstRecord(1, stored, moved);
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
    EXPECT_EQ(fs::file_size(MemoryFile(1)), 0u);
    EXPECT_FALSE(form.M->isEnabled());
}

TEST_F(MemoryWindowTest, ShortFileLoadsNothingAndSaveMakesItOneRecord)
{
    const Bytes half(40, 0x11);
    WriteBytes(MemoryFile(3), half);
    TMainForm& form = Form();
    form.sl[9]->SetPosition(-30);
    Click(form.MemoryButtons[2]);
    EXPECT_EQ(form.sl[9]->Position(), -30);
    EXPECT_EQ(ReadBytes(MemoryFile(3)), half) << "loading leaves the file as it is";
    Click(form.M);
    const auto written = ReadBytes(MemoryFile(3));
    ASSERT_EQ(written.size(), 80u);
    EXPECT_EQ(DecodeMemoryRecord(written.data()), SliderPositions());
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(MemoryWindowTest, StoredValuesFarOutsideTheRangeAreClamped)
{
    TBandPositions wild = OpenBands(0, 19);
    wild[0] = 100;
    wild[1] = -1000;
    wild[2] = INT32_MAX;
    wild[3] = INT32_MIN;
    wild[4] = 13;
    wild[5] = -61;
    Bytes stored = RecordBytes(wild);
    stored.push_back(0x5A);
    WriteBytes(MemoryFile(4), stored);
    TMainForm& form = Form();
    Click(form.MemoryButtons[3]);
    TBandPositions expected = OpenBands(0, 19);
    expected[0] = expected[2] = expected[4] = 12;
    expected[1] = expected[3] = expected[5] = -60;
    EXPECT_EQ(SliderPositions(), expected);
    EXPECT_EQ(BandGains(), expected);
    EXPECT_EQ(ReadBytes(MemoryFile(4)), stored) << "loading leaves the file as it is";
    EXPECT_TRUE(ErrorBoxes.empty());

    // Saving stores what the sliders show, in range.
    Click(form.M);
    ExpectRewrittenFirstRecord(4, stored, expected);
}

TEST_F(MemoryWindowTest, AMissingMemoryLoadsNothingAndSaveMakesItAgain)
{
    TMainForm& form = Form();
    fs::remove(MemoryFile(2));
    form.sl[4]->SetPosition(-8);
    const TBandPositions setting = SliderPositions();
    Click(form.MemoryButtons[1]);
    EXPECT_TRUE(form.MemoryButtons[1]->Down());
    EXPECT_TRUE(form.M->isEnabled());
    EXPECT_EQ(SliderPositions(), setting);
    EXPECT_FALSE(fs::exists(MemoryFile(2)));

    // Save reports nothing as kept that it did not write: the file is made.
    Click(form.M);
    ASSERT_TRUE(fs::exists(MemoryFile(2)));
    EXPECT_EQ(ReadBytes(MemoryFile(2)), RecordBytes(setting));
    EXPECT_FALSE(form.MemoryButtons[1]->Down());
    EXPECT_FALSE(form.M->isEnabled());
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(MemoryWindowTest, AFolderInAMemorysPlaceShowsItsErrorAtEveryStep)
{
    fs::create_directories(MemoryFile(1));
    TMainForm& form = Form();
    const std::string cause = MemoryFile(1).string() + ": Is a directory";
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    EXPECT_EQ(ErrorBoxes[0], "Cannot open memory file " + cause);
    ASSERT_EQ(form.Equalizer->Filters()->Count(), BandCount);

    const TBandPositions setting = MoveSomeSliders();
    Click(form.MemoryButtons[0]);
    ASSERT_EQ(ErrorBoxes.size(), 2u);
    EXPECT_EQ(ErrorBoxes[1], "Cannot load memory file " + cause);
    EXPECT_EQ(SliderPositions(), setting);
    EXPECT_TRUE(form.MemoryButtons[0]->Down());

    Click(form.M);
    ASSERT_EQ(ErrorBoxes.size(), 3u);
    EXPECT_EQ(ErrorBoxes[2], "Cannot save memory file " + cause);
    EXPECT_TRUE(fs::is_empty(MemoryFile(1)));
    EXPECT_EQ(SliderPositions(), setting);
    EXPECT_TRUE(form.MemoryButtons[0]->Down()) << "the memory stays selected for another try";
    EXPECT_TRUE(form.M->isEnabled());

    // Once the folder is gone, Save stores the setting.
    fs::remove(MemoryFile(1));
    Click(form.M);
    EXPECT_EQ(ReadBytes(MemoryFile(1)), RecordBytes(setting));
    EXPECT_FALSE(form.MemoryButtons[0]->Down());
    EXPECT_EQ(ErrorBoxes.size(), 3u);
}

TEST_F(MemoryWindowTest, AReadOnlyMemoryLoadsAndRefusesSaveKeepingEveryByte)
{
    const Bytes stored = MemoryOfSize(200);
    WriteBytes(MemoryFile(2), stored);
    fs::permissions(MemoryFile(2),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // The window's files are read and written in this (the main) thread.
    TPermissionBitsBind bind;
    if (!bind.Hold())
        GTEST_SKIP() << "this process writes read-only files whatever their permission bits";
    TMainForm& form = Form();
    EXPECT_TRUE(ErrorBoxes.empty()) << "a read-only memory is no fault at start-up";

    Click(form.MemoryButtons[1]);
    EXPECT_EQ(SliderPositions(), SomeSetting());
    const TBandPositions moved = MoveSomeSliders();
    Click(form.M);
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    EXPECT_EQ(ErrorBoxes[0],
              "Cannot save memory file " + MemoryFile(2).string() + ": Permission denied");
    EXPECT_EQ(ReadBytes(MemoryFile(2)), stored);
    EXPECT_EQ(SliderPositions(), moved);
    EXPECT_TRUE(form.MemoryButtons[1]->Down());
    EXPECT_TRUE(form.M->isEnabled());

    fs::permissions(MemoryFile(2), fs::perms::owner_write, fs::perm_options::add);
    Click(form.M);
    ExpectRewrittenFirstRecord(2, stored, moved);
    EXPECT_EQ(ErrorBoxes.size(), 1u);
}

TEST_F(MemoryWindowTest, AMemoryInAFolderThatCannotBeSearchedSaysWhyItDoesNotLoad)
{
    WriteBytes(MemoryFile(1), MemoryOfSize(80));
    TPermissionBitsBind bind;
    if (!bind.Hold())
        GTEST_SKIP() << "this process searches any folder whatever its permission bits";
    TMainForm& form = Form();
    const TBandPositions before = SliderPositions();
    fs::permissions(MemoryHome, fs::perms::owner_read);
    Click(form.MemoryButtons[0]);
    fs::permissions(MemoryHome, fs::perms::owner_all);
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    EXPECT_EQ(ErrorBoxes[0],
              "Cannot load memory file " + MemoryFile(1).string() + ": Permission denied");
    EXPECT_EQ(SliderPositions(), before);
}

TEST_F(MemoryWindowTest, AMemoryFolderUnderARegularFileCannotBeMade)
{
    // A plain file where the folder's parent should be: refused for every
    // user, root included.
    WriteBytes(Home / "data", {});
    CheckWindowWithoutMemoryFolder("Not a directory", "Not a directory");
}

TEST_F(MemoryWindowTest, AMemoryFolderUnderAReadOnlyFolderCannotBeMade)
{
    fs::create_directories(Home / "data");
    fs::permissions(Home / "data", fs::perms::owner_read | fs::perms::owner_exec);
    TPermissionBitsBind bind;
    if (bind.Hold())
    {
        CheckWindowWithoutMemoryFolder("Permission denied", "No such file or directory");
        return;
    }
    // Permission bits do not stop this process (root that cannot give up
    // its override): a regular file in the parent's place makes the folder
    // impossible instead.
    fs::permissions(Home / "data", fs::perms::owner_all);
    fs::remove(Home / "data");
    WriteBytes(Home / "data", {});
    CheckWindowWithoutMemoryFolder("Not a directory", "Not a directory");
}

} // namespace
} // namespace keb::test
