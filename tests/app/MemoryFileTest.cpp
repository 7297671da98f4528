#include "app/MemoryFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace keb
{
namespace
{

namespace fs = std::filesystem;

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

    static void WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    static std::vector<std::uint8_t> ReadBytes(const fs::path& file)
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

    WriteBytes(file, std::vector<std::uint8_t>(80, 7));
    PrepareMemoryFile(file);
    EXPECT_EQ(fs::file_size(file), 80u) << "preparing an existing file keeps it";
}

TEST_F(MemoryFileTest, ShortFileHasNoRecordAndGrowsToOneRecordOnSave)
{
    fs::path file = File("short.dat");
    WriteBytes(file, std::vector<std::uint8_t>(40, 1));
    EXPECT_FALSE(ReadMemoryRecord(file));
    WriteMemoryRecord(file, Ramp());
    EXPECT_EQ(fs::file_size(file), 80u);
    EXPECT_EQ(ReadMemoryRecord(file), Ramp());
}

TEST_F(MemoryFileTest, SavingKeepsEveryByteAfterTheFirstRecord)
{
    fs::path file = File("long.dat");
    std::vector<std::uint8_t> original(1 << 20);
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<std::uint8_t>(i * 7 + 3);
    WriteBytes(file, original);

    WriteMemoryRecord(file, Ramp());
    auto after = ReadBytes(file);
    ASSERT_EQ(after.size(), original.size());
    EXPECT_TRUE(std::equal(after.begin() + 80, after.end(), original.begin() + 80));
    EXPECT_EQ(ReadMemoryRecord(file), Ramp());
}

TEST_F(MemoryFileTest, FailuresRaiseAnErrorNamingTheFile)
{
    fs::path directory = File("F2.dat");
    fs::create_directory(directory);
    for (auto attempt : {+[](const fs::path& f) { PrepareMemoryFile(f); },
                         +[](const fs::path& f) { (void)ReadMemoryRecord(f); },
                         +[](const fs::path& f) { WriteMemoryRecord(f, {}); }})
    {
        try
        {
            attempt(directory);
            ADD_FAILURE() << "a directory was accepted as a memory file";
        }
        catch (const EInOutError& error)
        {
            EXPECT_NE(std::string(error.what()).find(directory.string()), std::string::npos);
        }
    }
    EXPECT_THROW(PrepareMemoryFile(File("missing/F1.dat")), EInOutError);
}

// Runs `check` in a child process without root's right to write read-only
// files (as the unprivileged user "nobody" when the test runs as root);
// returns whether it reported success.
bool InUnprivilegedProcess(const std::function<bool()>& check)
{
    pid_t child = ::fork();
    if (child == 0)
    {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(MemoryFileTest, ReadOnlyFileIsRefusedAndKeptAsItWas)
{
    fs::path file = File("F3.dat");
    WriteBytes(file, std::vector<std::uint8_t>(80, 9));
    fs::permissions(folder_, fs::perms::all);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto refused = [&](auto operation) {
        try
        {
            operation();
            return false;
        }
        catch (const EInOutError&)
        {
            return true;
        }
    };
    EXPECT_TRUE(InUnprivilegedProcess(
        [&] { return refused([&] { WriteMemoryRecord(file, Ramp()); }); }));
    EXPECT_TRUE(InUnprivilegedProcess(
        [&] { return refused([&] { (void)ReadMemoryRecord(file); }); }));
    EXPECT_EQ(ReadBytes(file), std::vector<std::uint8_t>(80, 9));
}

TEST_F(MemoryFileTest, FolderIsCreatedAndFailsCleanlyUnderAFile)
{
    fs::path nested = folder_ / "a" / "b";
    EnsureMemoryFolder(nested);
    EXPECT_TRUE(fs::is_directory(nested));

    fs::path plainFile = File("plain");
    WriteBytes(plainFile, {1});
    EXPECT_THROW(EnsureMemoryFolder(plainFile / "keb"), EInOutError);
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
