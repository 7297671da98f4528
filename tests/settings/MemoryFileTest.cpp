#include "settings/MemoryFile.h"

#include "PermissionBits.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace keb
{
namespace
{

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class MemoryFileTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() /
                  ("keb-memory-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, ignored);
        fs::remove_all(folder_, ignored);
    }

    fs::path File(const char* name) const { return folder_ / name; }

    static void WriteBytes(const fs::path& file, const Bytes& bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    static Bytes ReadBytes(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static TBandPositions Ramp()
    {
        TBandPositions positions{};
        for (int band = 0; band < BandCount; ++band)
            positions[band] = band * 3 - 55;
        return positions;
    }

    // The message of the EInOutError `operation` raises; fails the test
    // when it raises nothing.
    template <class Operation> static std::string ErrorOf(Operation operation)
    {
        try
        {
            operation();
        }
        catch (const EInOutError& error)
        {
            return error.what();
        }
        ADD_FAILURE() << "no error was raised";
        return {};
    }

    fs::path folder_;
};

TEST_F(MemoryFileTest, RecordIsTwentyLittleEndianIntegersInBandOrder)
{
    TBandPositions positions = Ramp();
    positions[0] = -60;
    positions[19] = 0x01020304;
    auto bytes = EncodeMemoryRecord(positions);
    ASSERT_EQ(bytes.size(), 80u);
    EXPECT_EQ(bytes[0], 0xC4); // -60
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(bytes[76], 0x04);
    EXPECT_EQ(bytes[79], 0x01);
    EXPECT_EQ(DecodeMemoryRecord(bytes.data()), positions);
}

TEST_F(MemoryFileTest, PreparedFileIsEmptyAndHasNoRecord)
{
    fs::path file = MemoryFilePath(folder_, 1);
    EXPECT_EQ(file.filename(), "F1.dat");
    PrepareMemoryFile(file);
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_FALSE(ReadMemoryRecord(file));

    WriteBytes(file, Bytes(80, 7));
    PrepareMemoryFile(file);
    EXPECT_EQ(fs::file_size(file), 80u) << "preparing an existing file keeps it";
}

TEST_F(MemoryFileTest, OnlyAWholeFirstRecordLoads)
{
    const auto record = EncodeMemoryRecord(Ramp());
    for (std::size_t size : {0U, 1U, 40U, 79U})
    {
        EXPECT_FALSE(ParseMemoryRecord(std::span(record.data(), size))) << size;
        WriteBytes(File("part.dat"), Bytes(record.begin(), record.begin() + size));
        EXPECT_FALSE(ReadMemoryRecord(File("part.dat"))) << size;
    }
    Bytes longer(record.begin(), record.end());
    longer.resize(200, 0x7F);
    EXPECT_EQ(ParseMemoryRecord(longer), Ramp());
}

TEST_F(MemoryFileTest, ShortFileHasNoRecordAndGrowsToOneRecordOnSave)
{
    fs::path file = File("short.dat");
    WriteBytes(file, Bytes(40, 1));
    EXPECT_FALSE(ReadMemoryRecord(file));
    WriteMemoryRecord(file, Ramp());
    EXPECT_EQ(fs::file_size(file), 80u);
    EXPECT_EQ(ReadMemoryRecord(file), Ramp());
}

TEST_F(MemoryFileTest, SavingAMegabyteFileRewritesOnlyItsFirstRecord)
{
    fs::path file = File("long.dat");
    Bytes original(1 << 20);
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<std::uint8_t>(i * 7 + 3);
    WriteBytes(file, original);
    const TBandPositions stored = *ParseMemoryRecord(original);
    EXPECT_EQ(ReadMemoryRecord(file), stored);

    WriteMemoryRecord(file, Ramp());
    auto after = ReadBytes(file);
    ASSERT_EQ(after.size(), original.size());
    EXPECT_TRUE(std::equal(after.begin() + 80, after.end(), original.begin() + 80));
    EXPECT_EQ(ReadMemoryRecord(file), Ramp());
}

TEST_F(MemoryFileTest, PositionsFarOutsideTheSliderRangeAreClampedOnLoad)
{
    TBandPositions wild = Ramp();
    wild[0] = INT32_MIN;
    wild[1] = INT32_MAX;
    wild[2] = -61;
    wild[3] = 13;
    wild[4] = -60;
    wild[5] = 12;
    wild[6] = -1000000;
    TBandPositions clamped = Ramp();
    clamped[0] = -60;
    clamped[1] = 12;
    clamped[2] = -60;
    clamped[3] = 12;
    clamped[4] = -60;
    clamped[5] = 12;
    clamped[6] = -60;

    const auto bytes = EncodeMemoryRecord(wild);
    EXPECT_EQ(ParseMemoryRecord(bytes), clamped);
    WriteBytes(File("wild.dat"), Bytes(bytes.begin(), bytes.end()));
    EXPECT_EQ(ReadMemoryRecord(File("wild.dat")), clamped);
    EXPECT_EQ(ReadBytes(File("wild.dat")), Bytes(bytes.begin(), bytes.end()))
        << "loading leaves the file as it is";
}

TEST_F(MemoryFileTest, AFolderInAMemorysPlaceIsRefusedWithItsName)
{
    fs::path directory = File("F2.dat");
    fs::create_directory(directory);
    for (auto attempt : {+[](const fs::path& f) { PrepareMemoryFile(f); },
                         +[](const fs::path& f) { (void)ReadMemoryRecord(f); },
                         +[](const fs::path& f) { WriteMemoryRecord(f, {}); }})
    {
        const std::string message = ErrorOf([&] { attempt(directory); });
        EXPECT_NE(message.find(directory.string()), std::string::npos) << message;
        EXPECT_NE(message.find("Is a directory"), std::string::npos) << message;
    }
    EXPECT_TRUE(fs::is_empty(directory));
    EXPECT_EQ(ErrorOf([&] { WriteMemoryRecord(directory, {}); }),
              "Cannot save memory file " + directory.string() + ": Is a directory");
    EXPECT_EQ(ErrorOf([&] { (void)ReadMemoryRecord(directory); }),
              "Cannot load memory file " + directory.string() + ": Is a directory");
}

TEST_F(MemoryFileTest, PipesAndDevicesAreRefusedWithoutWaitingOnThem)
{
    // Opening a pipe that nobody writes would wait for ever; the alarm ends
    // the test program if it does.
    ::alarm(30);
    ASSERT_EQ(::mkfifo(File("pipe.dat").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", File("zero.dat"));
    for (const char* name : {"pipe.dat", "zero.dat"})
    {
        const fs::path file = File(name);
        for (auto attempt : {+[](const fs::path& f) { PrepareMemoryFile(f); },
                             +[](const fs::path& f) { (void)ReadMemoryRecord(f); },
                             +[](const fs::path& f) { WriteMemoryRecord(f, {}); }})
        {
            const std::string message = ErrorOf([&] { attempt(file); });
            EXPECT_NE(message.find(file.string() + ": not a regular file"), std::string::npos)
                << message;
        }
    }
    ::alarm(0);
}

TEST_F(MemoryFileTest, ALinkToAMemoryFileIsFollowed)
{
    WriteBytes(File("kept.dat"), {});
    fs::create_symlink(File("kept.dat"), File("F1.dat"));
    PrepareMemoryFile(File("F1.dat"));
    WriteMemoryRecord(File("F1.dat"), Ramp());
    EXPECT_EQ(ReadMemoryRecord(File("kept.dat")), Ramp());
    EXPECT_TRUE(fs::is_symlink(File("F1.dat")));
}

TEST_F(MemoryFileTest, AReadOnlyMemoryLoadsButRefusesToBeOverwritten)
{
    fs::path file = File("F3.dat");
    const auto stored = EncodeMemoryRecord(Ramp());
    Bytes original(stored.begin(), stored.end());
    original.push_back(0xAB);
    WriteBytes(file, original);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    test::TPermissionBitsBind bind;
    if (!bind.Hold())
        GTEST_SKIP() << "this process writes read-only files whatever their permission bits";
    PrepareMemoryFile(file);
    EXPECT_EQ(ReadMemoryRecord(file), Ramp());
    EXPECT_EQ(ErrorOf([&] { WriteMemoryRecord(file, {}); }),
              "Cannot save memory file " + file.string() + ": Permission denied");
    EXPECT_EQ(ReadBytes(file), original);

    // A writable memory in a read-only folder is rewritten in place.
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    WriteMemoryRecord(file, {});
    EXPECT_EQ(ReadMemoryRecord(file), TBandPositions{});
    EXPECT_EQ(ReadBytes(file).back(), 0xAB);
}

TEST_F(MemoryFileTest, AMissingMemoryIsMadeBySavingIntoAnExistingFolderOnly)
{
    EXPECT_NE(ErrorOf([&] { (void)ReadMemoryRecord(File("F4.dat")); })
                  .find(File("F4.dat").string() + ": No such file or directory"),
              std::string::npos);

    WriteMemoryRecord(File("F4.dat"), Ramp());
    EXPECT_EQ(ReadBytes(File("F4.dat")).size(), 80u);
    EXPECT_EQ(ReadMemoryRecord(File("F4.dat")), Ramp());

    const fs::path homeless = File("gone") / "F4.dat";
    EXPECT_EQ(ErrorOf([&] { WriteMemoryRecord(homeless, Ramp()); }),
              "Cannot save memory file " + homeless.string() + ": No such file or directory");
    EXPECT_FALSE(fs::exists(File("gone")));
}

TEST_F(MemoryFileTest, FolderIsCreatedAndFailsCleanlyWhereItCannotBe)
{
    fs::path nested = folder_ / "a" / "b";
    EnsureMemoryFolder(nested);
    EXPECT_TRUE(fs::is_directory(nested));

    // Under a regular file no folder can be made, whoever asks.
    fs::path plainFile = File("plain");
    WriteBytes(plainFile, {1});
    const std::string message = ErrorOf([&] { EnsureMemoryFolder(plainFile / "keb"); });
    EXPECT_EQ(
        message.rfind("Cannot create the memory folder " + (plainFile / "keb").string() + ": ", 0),
        0u)
        << message;
    EXPECT_EQ(ReadBytes(plainFile), Bytes{1});

    fs::path locked = File("locked");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    test::TPermissionBitsBind bind;
    if (!bind.Hold())
        GTEST_SKIP() << "this process writes into read-only folders whatever their permission bits";
    EXPECT_NE(ErrorOf([&] { EnsureMemoryFolder(locked / "keb"); }).find("Permission denied"),
              std::string::npos);
    EXPECT_TRUE(fs::is_empty(locked));
}

TEST_F(MemoryFileTest, FolderComesFromTheEnvironment)
{
    const char* savedHome = std::getenv("KEB_HOME");
    std::string saved = savedHome ? savedHome : "";
    ::setenv("KEB_HOME", "/tmp/keb-here", 1);
    EXPECT_EQ(MemoryFolder(), fs::path("/tmp/keb-here"));
    ::unsetenv("KEB_HOME");
    ::setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(MemoryFolder(), fs::path("/tmp/xdg/keb"));
    if (savedHome)
        ::setenv("KEB_HOME", saved.c_str(), 1);
}

} // namespace
} // namespace keb
