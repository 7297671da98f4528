// Choosing devices by number or name, the device list text, and the fallback
// when a remembered device is gone.
#include "platform/audio/DeviceChoice.h"

#include "platform/audio/virtual/VirtualSoundCard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace keb::test
{

namespace
{

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::vector<TDeviceEntry> Inputs{
    {0, "HDA Intel PCH: ALC892 Analog (hw:0,0)"},
    {1, "USB Audio CODEC: - (hw:1,0)"},
    {2, "USB Audio Device: - (hw:2,0)"},
    {3, "pulse"},
    {4, "default"},
};

int Resolved(std::string_view text, const std::vector<TDeviceEntry>& devices = Inputs)
{
    const TDeviceChoice choice = ResolveDevice(TDeviceKind::Capture, text, devices);
    EXPECT_TRUE(choice.Found) << choice.Error;
    EXPECT_TRUE(choice.Error.empty());
    return choice.DeviceId;
}

std::string Refusal(TDeviceKind kind, std::string_view text,
                    const std::vector<TDeviceEntry>& devices = Inputs)
{
    const TDeviceChoice choice = ResolveDevice(kind, text, devices);
    EXPECT_FALSE(choice.Found) << "resolved to " << choice.DeviceId;
    EXPECT_EQ(choice.Error.find('\n'), std::string::npos);
    return choice.Error;
}

} // namespace

TEST(DeviceChoiceTest, ListsTheBackendsDevicesWithTheirNumbers)
{
    auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    card->AddCaptureDevice("Line in", MakeSilenceSource());
    card->AddCaptureDevice("Microphone", MakeSilenceSource());
    card->AddPlaybackDevice("Speakers", MakeNullSink());
    UseVirtualSoundCard(card);
    const auto capture = ListDevices(TDeviceKind::Capture);
    const auto playback = ListDevices(TDeviceKind::Playback);
    UseVirtualSoundCard(nullptr);

    ASSERT_EQ(capture.size(), 2u);
    EXPECT_EQ(capture[1].Id, 1);
    EXPECT_EQ(capture[1].Name, "Microphone");
    EXPECT_EQ(DeviceListText(capture, playback), "Capture devices (--input):\n"
                                                 "  -1  default device\n"
                                                 "   0  Line in\n"
                                                 "   1  Microphone\n"
                                                 "Playback devices (--output):\n"
                                                 "  -1  default device\n"
                                                 "   0  Speakers\n");
    EXPECT_THAT(DeviceListText({}, playback),
                StartsWith("Capture devices (--input):\n  none found\nPlayback devices"));
}

TEST(DeviceChoiceTest, NumbersPickTheDeviceOrTheDefault)
{
    EXPECT_EQ(Resolved("2"), 2);
    EXPECT_EQ(Resolved(" 0 "), 0);
    EXPECT_EQ(Resolved("-1"), -1);

    for (const char* wrong : {"5", "-2", "99999999999999999999"})
    {
        EXPECT_THAT(Refusal(TDeviceKind::Capture, wrong),
                    AllOf(HasSubstr(std::string("There is no capture device ") + wrong),
                          HasSubstr("-1 default, 0 \"HDA Intel PCH: ALC892 Analog (hw:0,0)\""),
                          HasSubstr("4 \"default\"")));
    }
    EXPECT_EQ(Refusal(TDeviceKind::Playback, "-1", {}),
              "There is no playback device -1; there are no playback devices.");
}

TEST(DeviceChoiceTest, NamePartsPickOneDeviceRegardlessOfCase)
{
    EXPECT_EQ(Resolved("alc892"), 0);
    EXPECT_EQ(Resolved("usb audio codec"), 1);
    EXPECT_EQ(Resolved("hw:2"), 2);
    EXPECT_EQ(Resolved("PULSE"), 3);
    // A whole name wins over the same text inside other names, and over the
    // keyword for the default device.
    EXPECT_EQ(Resolved("Default"), 4);
    EXPECT_EQ(Resolved("default", {{0, "Line in"}}), -1);
    EXPECT_EQ(Resolved("line in", {{0, "Line in"}, {1, "Line in 2"}}), 0);
}

TEST(DeviceChoiceTest, AmbiguousUnknownOrMissingNamesAreClearErrors)
{
    EXPECT_EQ(Refusal(TDeviceKind::Capture, "usb"),
              "\"usb\" fits several capture devices: 1 \"USB Audio CODEC: - (hw:1,0)\", "
              "2 \"USB Audio Device: - (hw:2,0)\"; give the number or more of the name.");
    EXPECT_EQ(Refusal(TDeviceKind::Capture, "twin", {{0, "Twin"}, {1, "Twin"}}),
              "\"twin\" fits several capture devices: 0 \"Twin\", 1 \"Twin\"; give the number or "
              "more of the name.");
    EXPECT_THAT(Refusal(TDeviceKind::Playback, "jack"),
                AllOf(HasSubstr("No playback device matches \"jack\"; the playback devices are: "
                                "-1 default, 0 "),
                      HasSubstr("3 \"pulse\"")));
    EXPECT_THAT(Refusal(TDeviceKind::Capture, "  "), HasSubstr("No capture device given;"));
    EXPECT_THAT(Refusal(TDeviceKind::Capture, "default", {}),
                HasSubstr("there are no capture devices."));
}

TEST(DeviceChoiceTest, RememberedDeviceIsFoundByNameOrFallsBackToTheDefault)
{
    const TRememberedDevice usb = RememberDevice(1, Inputs);
    EXPECT_EQ(usb.Name, "USB Audio CODEC: - (hw:1,0)");
    EXPECT_EQ(usb.Id, 1);
    EXPECT_TRUE(RememberDevice(-1, Inputs).Name.empty());

    // Unplugging another card renumbers the devices: the name still finds it.
    const std::vector<TDeviceEntry> renumbered{{0, "USB Audio CODEC: - (hw:1,0)"}, {1, "pulse"}};
    const TDeviceFallback moved = ChooseRemembered(TDeviceKind::Capture, usb, renumbered);
    EXPECT_EQ(moved.DeviceId, 0);
    EXPECT_TRUE(moved.Notice.empty());

    // Two cards of one kind: the one at the remembered number.
    const std::vector<TDeviceEntry> twins{{0, "Twin"}, {1, "Twin"}};
    EXPECT_EQ(ChooseRemembered(TDeviceKind::Playback, {"Twin", 1}, twins).DeviceId, 1);
    EXPECT_EQ(ChooseRemembered(TDeviceKind::Playback, {"Twin", 5}, twins).DeviceId, 0);

    const TDeviceFallback gone = ChooseRemembered(TDeviceKind::Capture, usb, {{0, "pulse"}});
    EXPECT_EQ(gone.DeviceId, -1);
    EXPECT_EQ(gone.Notice, "The capture device \"USB Audio CODEC: - (hw:1,0)\" is not available; "
                           "using the default capture device.");

    const TDeviceFallback noChoice = ChooseRemembered(TDeviceKind::Playback, {}, {});
    EXPECT_EQ(noChoice.DeviceId, -1);
    EXPECT_TRUE(noChoice.Notice.empty());
}

} // namespace keb::test
