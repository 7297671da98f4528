// The user's remembered choices: kept across runs, each choice stored
// without disturbing the others, and a file that cannot be written said so.
#include "app/UserSettings.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace keb::test
{
namespace
{

class UserSettingsTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/keb-settings-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Home = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(Home); }

    std::filesystem::path Home;
};

TEST_F(UserSettingsTest, NothingStoredGivesNoChoices)
{
    const TStoredChoices choices = TUserSettings(Home / "keb" / "keb.conf").Load();
    EXPECT_FALSE(choices.Input || choices.Output || choices.Latency);
}

TEST_F(UserSettingsTest, ChoicesSurviveAndEachStoreKeepsTheOthers)
{
    const TUserSettings settings(Home / "keb" / "keb.conf");
    TStoredChoices input;
    input.Input = TRememberedDevice{"USB Audio CODEC", 3};
    ASSERT_EQ(settings.Store(input), "");
    TStoredChoices rest;
    rest.Output = TRememberedDevice{"", -1};
    rest.Latency = TLatency::Low;
    ASSERT_EQ(settings.Store(rest), "");

    const TStoredChoices loaded = TUserSettings(Home / "keb" / "keb.conf").Load();
    ASSERT_TRUE(loaded.Input && loaded.Output && loaded.Latency);
    EXPECT_EQ(loaded.Input->Name, "USB Audio CODEC");
    EXPECT_EQ(loaded.Input->Id, 3);
    EXPECT_EQ(loaded.Output->Name, "");
    EXPECT_EQ(loaded.Output->Id, -1);
    EXPECT_EQ(*loaded.Latency, TLatency::Low);
}

TEST_F(UserSettingsTest, DamagedValuesAreIgnored)
{
    std::filesystem::create_directories(Home / "keb");
    std::ofstream(Home / "keb" / "keb.conf") << "[input]\nname=Card\nid=three\n"
                                                "[output]\nid=2\n"
                                                "[General]\nlatency=fastest\n\x01\x02garbage\n";
    const TStoredChoices loaded = TUserSettings(Home / "keb" / "keb.conf").Load();
    EXPECT_FALSE(loaded.Input);
    EXPECT_FALSE(loaded.Output);
    EXPECT_FALSE(loaded.Latency);
}

TEST_F(UserSettingsTest, AFileThatCannotBeWrittenIsReported)
{
    // A plain file where the folder should be stops even a root user.
    std::ofstream(Home / "keb") << "not a folder";
    const TUserSettings settings(Home / "keb" / "keb.conf");
    TStoredChoices choice;
    choice.Latency = TLatency::Low;
    EXPECT_EQ(settings.Store(choice),
              "The settings could not be written to " + (Home / "keb" / "keb.conf").string() + ".");
}

TEST_F(UserSettingsTest, APipeInTheFilesPlaceIsNeitherWaitedOnNorReplaced)
{
    std::filesystem::create_directories(Home / "keb");
    const std::filesystem::path file = Home / "keb" / "keb.conf";
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    // Should the settings wait for a writer, this one comes after a while
    // and gives them an empty file, so that the test ends and says so.
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::atomic<bool> hadToWrite{false};
    std::thread rescuer(
        [&]
        {
            std::unique_lock guard(lock);
            if (done.wait_for(guard, std::chrono::seconds(10), [&] { return finished; }))
                return;
            hadToWrite = true;
            ::close(::open(file.c_str(), O_WRONLY | O_NONBLOCK));
        });
    const TUserSettings settings(file);
    const TStoredChoices loaded = settings.Load();
    TStoredChoices choice;
    choice.Latency = TLatency::Low;
    const std::string stored = settings.Store(choice);
    {
        std::lock_guard guard(lock);
        finished = true;
    }
    done.notify_one();
    rescuer.join();
    EXPECT_FALSE(hadToWrite) << "the settings waited on the pipe";
    EXPECT_FALSE(loaded.Input || loaded.Output || loaded.Latency);
    EXPECT_EQ(stored, "The settings could not be written to " + file.string() +
                          ": it is not a regular file.");
    EXPECT_EQ(std::filesystem::status(file).type(), std::filesystem::file_type::fifo);
}

TEST_F(UserSettingsTest, TheDefaultFileIsInTheXdgConfigFolder)
{
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = previous ? previous : "";
    ::setenv("XDG_CONFIG_HOME", Home.c_str(), 1);
    EXPECT_EQ(TUserSettings::DefaultFile(), Home / "keb" / "keb.conf");
    if (previous)
        ::setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace keb::test
