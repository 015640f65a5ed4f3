#include "play/device_switch.h"

#include <gtest/gtest.h>

#include <set>

#include "play/device_state.h"
#include "play/voice_state.h"
#include "support/fake_form_view.h"
#include "support/recording_session.h"

namespace kalvora {
namespace {

using Kind = RecordedCall::Kind;
using test::FakeFormView;
using test::RecordingSession;

constexpr char kCannotOpen[] = "ＭＩＤＩデバイスが開けません";

// Counts the devices the way start-up does, then opens DeviceIndex.
void StartOn(std::int32_t index) {
  DeviceCount = static_cast<std::int32_t>(midiOutGetNumDevs());
  DeviceIndex = index;
  midiOutOpen(&MidiOut, static_cast<std::uint32_t>(index), 0, 0, 0);
}

std::vector<std::int32_t> SwitchTimes(int times) {
  std::vector<std::int32_t> reached;
  for (int i = 0; i < times; ++i) {
    CloseDeviceForSwitch();
    OpenNextDevice(kCannotOpen);
    reached.push_back(DeviceIndex);
  }
  return reached;
}

TEST(DeviceSwitch, PressClosesAndWaitsThenReleaseOpensResetsAndNamesTheNext) {
  RecordingSession session({"Alpha", "Beta", "Gamma"});
  FakeFormView view;
  StartOn(1);
  session.clear();
  CloseDeviceForSwitch();
  ASSERT_EQ(session.calls().size(), 2u);
  EXPECT_EQ(session.calls()[0].kind, Kind::kClose);
  EXPECT_EQ(session.calls()[0].port, 1u);
  EXPECT_EQ(session.calls()[1], (RecordedCall{Kind::kSleep, 200, {}, {}}));

  session.clear();
  OpenNextDevice(kCannotOpen);
  const std::vector<Kind> kinds{Kind::kOpen, Kind::kReset, Kind::kLong, Kind::kSleep};
  ASSERT_EQ(session.calls().size(), kinds.size());
  for (std::size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(session.calls()[i].kind, kinds[i]) << i;
  EXPECT_EQ(session.calls()[0].port, 2u);
  EXPECT_EQ(session.calls()[2].bytes,
            std::vector<std::uint8_t>(GsResetMessage.begin(), GsResetMessage.end()));
  EXPECT_EQ(session.calls()[3].port, 200u);
  EXPECT_EQ(view.deviceLabel, "Gamma");
  EXPECT_EQ(DeviceName, "Gamma");
  midiOutClose(MidiOut);
}

TEST(DeviceSwitch, CyclesThroughThreeDevicesAndWrapsOnlyOnEquality) {
  RecordingSession session({"A", "B", "C"});
  StartOn(1);
  EXPECT_EQ(SwitchTimes(4), (std::vector<std::int32_t>{2, 0, 1, 2}));
  EXPECT_TRUE(session.messages().empty());
  midiOutClose(MidiOut);
}

TEST(DeviceSwitch, OneDeviceIsReopenedAndResetEachTime) {
  RecordingSession session({"Solo"});
  StartOn(0);
  session.clear();
  EXPECT_EQ(SwitchTimes(3), (std::vector<std::int32_t>{0, 0, 0}));
  EXPECT_EQ(session.log().of(Kind::kOpen).size(), 3u);
  EXPECT_EQ(session.log().of(Kind::kLong).size(), 3u);
  midiOutClose(MidiOut);
}

TEST(DeviceSwitch, WithNoDevicesTheNumberClimbsAndEachOpenFailsOnce) {
  RecordingSession session(std::vector<std::string>{});
  FakeFormView view;
  view.deviceLabel = "stale";
  StartOn(0);
  session.clear();
  EXPECT_EQ(SwitchTimes(3), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(session.messages(), (std::vector<std::string>(3, kCannotOpen)));
  EXPECT_TRUE(session.sentBytes().empty());
  EXPECT_EQ(view.deviceLabel, "");
}

TEST(DeviceSwitch, ANegativeNumberClimbsToZeroThenRunsThroughTheDevices) {
  RecordingSession session({"A", "B"});
  StartOn(-2);
  session.clear();
  EXPECT_EQ(SwitchTimes(5), (std::vector<std::int32_t>{-1, 0, 1, 0, 1}));
  EXPECT_EQ(session.messages(), (std::vector<std::string>{kCannotOpen}));
  midiOutClose(MidiOut);
}

TEST(DeviceSwitch, AFailedOpenIsReportedWithTheOneMessageWhateverTheCode) {
  RecordingSession session({"A", "Busy"}, {OpenStatus::kOpened, OpenStatus::kInUse});
  FakeFormView view;
  StartOn(0);
  ProgramNumber = 7;
  session.clear();
  SwitchTimes(1);
  EXPECT_EQ(session.messages(), (std::vector<std::string>{kCannotOpen}));
  // The reset and the GS Reset go nowhere, yet the name of the device is shown.
  EXPECT_TRUE(session.sentBytes().empty());
  EXPECT_EQ(view.deviceLabel, "Busy");
  EXPECT_EQ(ProgramNumber, 7);  // the voice is not touched
}

}  // namespace
TEST(DeviceSwitch, ASecondReleaseClosesTheDeviceTheFirstOpenedBeforeOpeningTheNext) {
  RecordingSession session({"A", "B", "C"});
  FakeFormView view;
  StartOn(0);
  // Left pressed, right pressed, left released, right released.
  CloseDeviceForSwitch();
  CloseDeviceForSwitch();
  OpenNextDevice(kCannotOpen);
  session.clear();
  OpenNextDevice(kCannotOpen);
  ASSERT_GE(session.calls().size(), 2u);
  EXPECT_EQ(session.calls()[0], (RecordedCall{Kind::kClose, 1}));
  EXPECT_EQ(session.calls()[1], (RecordedCall{Kind::kOpen, 2}));
  for (std::size_t i = 2; i < session.calls().size(); ++i) {
    if (session.calls()[i].kind != Kind::kSleep) {
      EXPECT_EQ(session.calls()[i].port, 2u) << i;
    }
  }
  EXPECT_EQ(session.log().openPorts, (std::multiset<std::size_t>{2}));
  EXPECT_EQ(view.deviceLabel, "C");
  midiOutClose(MidiOut);
}

TEST(DeviceSwitch, AnySequenceOfPressesAndReleasesLeavesAtMostTheNamedDeviceOpen) {
  for (const auto& names :
       {std::vector<std::string>{"Solo"}, std::vector<std::string>{"A", "B", "C"}}) {
    RecordingSession session(names, {OpenStatus::kOpened, OpenStatus::kInUse});
    FakeFormView view;
    StartOn(0);
    unsigned pattern = 0x9E3779B9u;  // a fixed walk, so a failure repeats
    for (int step = 0; step < 200; ++step) {
      pattern = pattern * 1664525u + 1013904223u;
      if ((pattern >> 16) & 1) {
        CloseDeviceForSwitch();
      } else {
        OpenNextDevice(kCannotOpen);
      }
      const auto& open = session.log().openPorts;
      ASSERT_LE(open.size(), 1u) << "step " << step;
      if (!open.empty()) {
        EXPECT_EQ(names.at(*open.begin()), view.deviceLabel) << "step " << step;
      }
    }
    midiOutClose(MidiOut);
  }
}

}  // namespace kalvora
