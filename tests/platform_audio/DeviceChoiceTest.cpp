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

int Resolved(std::string_view Text, const std::vector<TDeviceEntry>& Devices = Inputs)
{
    const TDeviceChoice Choice = ResolveDevice(DeviceKind::Capture, Text, Devices);
    EXPECT_TRUE(Choice.Found) << Choice.Error;
    EXPECT_TRUE(Choice.Error.empty());
    return Choice.DeviceId;
}

std::string Refusal(DeviceKind Kind, std::string_view Text,
                    const std::vector<TDeviceEntry>& Devices = Inputs)
{
    const TDeviceChoice Choice = ResolveDevice(Kind, Text, Devices);
    EXPECT_FALSE(Choice.Found) << "resolved to " << Choice.DeviceId;
    EXPECT_EQ(Choice.Error.find('\n'), std::string::npos);
    return Choice.Error;
}

} // namespace

TEST(DeviceChoiceTest, ListsTheBackendsDevicesWithTheirNumbers)
{
    auto Card = VirtualSoundCard::Create(VirtualClock::Stepped);
    Card->AddCaptureDevice("Line in", MakeSilenceSource());
    Card->AddCaptureDevice("Microphone", MakeSilenceSource());
    Card->AddPlaybackDevice("Speakers", MakeNullSink());
    UseVirtualSoundCard(Card);
    const auto Capture = ListDevices(DeviceKind::Capture);
    const auto Playback = ListDevices(DeviceKind::Playback);
    UseVirtualSoundCard(nullptr);

    ASSERT_EQ(Capture.size(), 2u);
    EXPECT_EQ(Capture[1].Id, 1);
    EXPECT_EQ(Capture[1].Name, "Microphone");
    EXPECT_EQ(DeviceListText(Capture, Playback), "Capture devices (--input):\n"
                                                 "  -1  default device\n"
                                                 "   0  Line in\n"
                                                 "   1  Microphone\n"
                                                 "Playback devices (--output):\n"
                                                 "  -1  default device\n"
                                                 "   0  Speakers\n");
    EXPECT_THAT(DeviceListText({}, Playback),
                StartsWith("Capture devices (--input):\n  none found\nPlayback devices"));
}

TEST(DeviceChoiceTest, NumbersPickTheDeviceOrTheDefault)
{
    EXPECT_EQ(Resolved("2"), 2);
    EXPECT_EQ(Resolved(" 0 "), 0);
    EXPECT_EQ(Resolved("-1"), -1);

    for (const char* Wrong : {"5", "-2", "99999999999999999999"})
    {
        EXPECT_THAT(Refusal(DeviceKind::Capture, Wrong),
                    AllOf(HasSubstr(std::string("There is no capture device ") + Wrong),
                          HasSubstr("-1 default, 0 \"HDA Intel PCH: ALC892 Analog (hw:0,0)\""),
                          HasSubstr("4 \"default\"")));
    }
    EXPECT_EQ(Refusal(DeviceKind::Playback, "-1", {}),
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
    EXPECT_EQ(Refusal(DeviceKind::Capture, "usb"),
              "\"usb\" fits several capture devices: 1 \"USB Audio CODEC: - (hw:1,0)\", "
              "2 \"USB Audio Device: - (hw:2,0)\"; give the number or more of the name.");
    EXPECT_EQ(Refusal(DeviceKind::Capture, "twin", {{0, "Twin"}, {1, "Twin"}}),
              "\"twin\" fits several capture devices: 0 \"Twin\", 1 \"Twin\"; give the number or "
              "more of the name.");
    EXPECT_THAT(Refusal(DeviceKind::Playback, "jack"),
                AllOf(HasSubstr("No playback device matches \"jack\"; the playback devices are: "
                                "-1 default, 0 "),
                      HasSubstr("3 \"pulse\"")));
    EXPECT_THAT(Refusal(DeviceKind::Capture, "  "), HasSubstr("No capture device given;"));
    EXPECT_THAT(Refusal(DeviceKind::Capture, "default", {}),
                HasSubstr("there are no capture devices."));
}

TEST(DeviceChoiceTest, RememberedDeviceIsFoundByNameOrFallsBackToTheDefault)
{
    const TRememberedDevice Usb = RememberDevice(1, Inputs);
    EXPECT_EQ(Usb.Name, "USB Audio CODEC: - (hw:1,0)");
    EXPECT_EQ(Usb.Id, 1);
    EXPECT_TRUE(RememberDevice(-1, Inputs).Name.empty());

    // Unplugging another card renumbers the devices: the name still finds it.
    const std::vector<TDeviceEntry> Renumbered{{0, "USB Audio CODEC: - (hw:1,0)"}, {1, "pulse"}};
    const TDeviceFallback Moved = ChooseRemembered(DeviceKind::Capture, Usb, Renumbered);
    EXPECT_EQ(Moved.DeviceId, 0);
    EXPECT_TRUE(Moved.Notice.empty());

    // Two cards of one kind: the one at the remembered number.
    const std::vector<TDeviceEntry> Twins{{0, "Twin"}, {1, "Twin"}};
    EXPECT_EQ(ChooseRemembered(DeviceKind::Playback, {"Twin", 1}, Twins).DeviceId, 1);
    EXPECT_EQ(ChooseRemembered(DeviceKind::Playback, {"Twin", 5}, Twins).DeviceId, 0);

    const TDeviceFallback Gone = ChooseRemembered(DeviceKind::Capture, Usb, {{0, "pulse"}});
    EXPECT_EQ(Gone.DeviceId, -1);
    EXPECT_EQ(Gone.Notice, "The capture device \"USB Audio CODEC: - (hw:1,0)\" is not available; "
                           "using the default capture device.");

    const TDeviceFallback Default = ChooseRemembered(DeviceKind::Playback, {}, {});
    EXPECT_EQ(Default.DeviceId, -1);
    EXPECT_TRUE(Default.Notice.empty());
}

} // namespace keb::test
