#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <span>

#include "midi/midi_backend.h"
#include "midi/midi_out.h"
#include "support/one_port_backend.h"
#include "support/press_messages.h"
#include "support/recording_backend.h"
#include "support/recording_session.h"

namespace kalvora {
namespace {

using Kind = RecordedCall::Kind;
using test::RecordingSession;

HMIDIOUT OpenDevice(std::uint32_t id) {
  HMIDIOUT handle = kNoMidiOut;
  EXPECT_EQ(midiOutOpen(&handle, id, 0, 0, 0), MMSYSERR_NOERROR);
  return handle;
}

TEST(PortLayer, UnpacksShortMessagesByTheirStatus) {
  RecordingSession session;
  ASSERT_EQ(midiOutGetNumDevs(), 1u);
  const HMIDIOUT out = OpenDevice(0);
  session.clear();
  struct Case {
    std::uint32_t packed;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {0x00643C90, {0x90, 0x3C, 0x64}},  // note-on: three bytes, lowest first
      {0x00007FC0, {0xC0, 0x7F}},        // program change carries one data byte
      {0x00003FD3, {0xD3, 0x3F}},        // channel pressure likewise
      {0xFF7F0AB0, {0xB0, 0x0A, 0x7F}},  // bits 24-31 are not part of the message
      {0x000000F8, {0xF8}},              // clock: status alone
  };
  for (const auto& c : cases) {
    session.clear();
    EXPECT_EQ(midiOutShortMsg(out, c.packed), MMSYSERR_NOERROR);
    ASSERT_EQ(session.calls().size(), 1u) << std::hex << c.packed;
    EXPECT_EQ(session.calls()[0].bytes, c.bytes) << std::hex << c.packed;
  }
  // A data byte where the status should be, or a bare SysEx start, is no short message.
  session.clear();
  EXPECT_EQ(midiOutShortMsg(out, 0x00003C40), MMSYSERR_INVALPARAM);
  EXPECT_EQ(midiOutShortMsg(out, 0x000000F0), MMSYSERR_INVALPARAM);
  EXPECT_TRUE(session.calls().empty());
}

TEST(PortLayer, NumbersDevicesAcrossBackendsInOrder) {
  auto log = std::make_shared<RecordingLog>();
  MidiBackends backends;
  backends.push_back(std::make_unique<RecordingBackend>(std::vector<std::string>{"A0", "A1"},
                                                        std::vector<OpenStatus>{}, log));
  backends.push_back(std::make_unique<RecordingBackend>(std::vector<std::string>{"B0"},
                                                        std::vector<OpenStatus>{}, log));
  InstallMidiBackends(std::move(backends));
  ASSERT_EQ(midiOutGetNumDevs(), 3u);
  MIDIOUTCAPSA caps;
  ASSERT_EQ(midiOutGetDevCapsA(2, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_STREQ(caps.szPname, "B0");
  log->calls.clear();
  HMIDIOUT out = OpenDevice(2);
  midiOutClose(out);
  ASSERT_EQ(log->of(Kind::kOpen).size(), 1u);
  EXPECT_EQ(log->of(Kind::kOpen)[0].port, 0u);  // the second backend's first port
  InstallMidiBackends({});
  EXPECT_EQ(midiOutGetNumDevs(), 0u);
}

TEST(PortLayer, ProductNameIsCutOnACharacterBoundary) {
  // 29 ASCII bytes then a three-byte character that would straddle the 31-byte limit.
  const std::string longName = std::string(29, 'x') + "音源" + "tail";
  RecordingSession session({longName, "short"});
  midiOutGetNumDevs();
  MIDIOUTCAPSA caps;
  std::fill(std::begin(caps.szPname), std::end(caps.szPname), 'Z');
  ASSERT_EQ(midiOutGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(caps.szPname), std::string(29, 'x'));
  ASSERT_EQ(midiOutGetDevCapsA(1, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_STREQ(caps.szPname, "short");
  EXPECT_EQ(midiOutGetDevCapsA(2, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(midiOutGetDevCapsA(0, &caps, 10), MMSYSERR_INVALPARAM);
}

TEST(PortLayer, OpenAnswersTheBackendsCodeAndRejectsBadNumbers) {
  // Each backend's word for how the open went, and the numbered result the window is given.
  const std::pair<OpenStatus, MMRESULT> failures[] = {
      {OpenStatus::kBadDevice, MMSYSERR_BADDEVICEID},
      {OpenStatus::kInUse, MMSYSERR_ALLOCATED},
      {OpenStatus::kNoDriver, MMSYSERR_NODRIVER},
      {OpenStatus::kNoMemory, MMSYSERR_NOMEM},
      {OpenStatus::kFailed, MMSYSERR_ERROR}};
  std::vector<std::string> names{"ok"};
  std::vector<OpenStatus> opens{OpenStatus::kOpened};
  for (const auto& [status, code] : failures) {
    names.push_back("failing");
    opens.push_back(status);
  }
  RecordingSession session(names, opens);
  midiOutGetNumDevs();
  HMIDIOUT handle = 1234;
  for (std::uint32_t device = 1; device <= std::size(failures); ++device) {
    EXPECT_EQ(midiOutOpen(&handle, device, 0, 0, 0), failures[device - 1].second) << device;
    EXPECT_EQ(handle, kNoMidiOut);
  }
  EXPECT_EQ(midiOutOpen(&handle, 6, 0, 0, 0), MMSYSERR_BADDEVICEID);
  // A negative device number from the settings file arrives as a huge unsigned one.
  EXPECT_EQ(midiOutOpen(&handle, static_cast<std::uint32_t>(-1), 0, 0, 0), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(midiOutOpen(&handle, 0, 0x1234, 0, 0), MMSYSERR_INVALFLAG);
  EXPECT_EQ(midiOutOpen(nullptr, 0, 0, 0, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(midiOutOpen(&handle, 0, 0, 0, 0), MMSYSERR_NOERROR);
  EXPECT_NE(handle, kNoMidiOut);
}

// What a listing keeps for the open goes after any open, whichever backend it reached and
// whatever it answered, so nothing of it is left behind while the program runs.
TEST(PortLayer, EveryOpenLetsGoOfWhatTheListingKept) {
  int kept = 0;
  MidiBackends backends;
  // The first keeps something from each listing, as the JACK one keeps its connection.
  backends.push_back(
      std::make_unique<test::OnePortBackend>(test::OnePort{.name = "kept",
                                                           .openStatus = OpenStatus::kNoDriver,
                                                           .onList = [&kept] { kept = 1; },
                                                           .onAfterOpen = [&kept] { kept = 0; }}));
  backends.push_back(std::make_unique<RecordingBackend>(std::vector<std::string>{"other"},
                                                        std::vector<OpenStatus>{},
                                                        std::make_shared<RecordingLog>()));
  InstallMidiBackends(std::move(backends));
  for (const std::uint32_t device : {0u, 1u, 2u, static_cast<std::uint32_t>(-1)}) {
    ASSERT_EQ(midiOutGetNumDevs(), 2u);
    ASSERT_EQ(kept, 1);
    HMIDIOUT handle = kNoMidiOut;
    midiOutOpen(&handle, device, 0, 0, 0);
    EXPECT_EQ(kept, 0) << device;
    midiOutClose(handle);
  }
  InstallMidiBackends({});
}

TEST(PortLayer, NothingSentOnAClosedOrFailedHandleArrivesLater) {
  RecordingSession session({"only"});
  midiOutGetNumDevs();
  const HMIDIOUT first = OpenDevice(0);
  EXPECT_EQ(midiOutClose(first), MMSYSERR_NOERROR);
  session.clear();
  EXPECT_EQ(midiOutShortMsg(first, 0x00643C90), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(midiOutReset(first), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(midiOutClose(first), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(midiOutShortMsg(kNoMidiOut, 0x00643C90), MMSYSERR_INVALHANDLE);

  const HMIDIOUT second = OpenDevice(0);
  EXPECT_NE(second, first);  // the old handle must not come back to life
  EXPECT_EQ(midiOutShortMsg(first, 0x00643C90), MMSYSERR_INVALHANDLE);
  midiOutShortMsg(second, 0x007F3C80);
  EXPECT_EQ(session.sentBytes(), (std::vector<std::uint8_t>{0x80, 0x3C, 0x7F}));
}

TEST(PortLayer, LongMessageNeedsAPreparedHeaderAndSendsItsBytes) {
  RecordingSession session;
  midiOutGetNumDevs();
  const HMIDIOUT out = OpenDevice(0);
  std::uint8_t sysex[] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  MIDIHDR header{};
  header.lpData = reinterpret_cast<char*>(sysex);
  header.dwBufferLength = sizeof sysex;
  session.clear();
  EXPECT_EQ(midiOutLongMsg(out, &header, 64), MIDIERR_UNPREPARED);
  EXPECT_EQ(midiOutPrepareHeader(out, &header, 64), MMSYSERR_NOERROR);
  EXPECT_EQ(midiOutPrepareHeader(out, &header, 4), MMSYSERR_INVALPARAM);
  EXPECT_EQ(midiOutLongMsg(out, &header, 64), MMSYSERR_NOERROR);
  ASSERT_EQ(session.calls().size(), 1u);
  EXPECT_EQ(session.calls()[0].kind, Kind::kLong);
  EXPECT_EQ(session.calls()[0].bytes,
            std::vector<std::uint8_t>(std::begin(sysex), std::end(sysex)));
  EXPECT_TRUE(header.dwFlags & MHDR_DONE);
  midiOutClose(out);
  EXPECT_EQ(midiOutPrepareHeader(out, &header, 64), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(midiOutLongMsg(out, &header, 64), MMSYSERR_INVALHANDLE);
}

TEST(PortLayer, DefaultResetSilencesEveryChannel) {
  std::vector<std::vector<std::uint8_t>> sent;
  // Its connection relies on the default reset.
  test::OnePortBackend backend(
      test::OnePort{.onShort = [&sent](std::span<const std::uint8_t> bytes) {
        sent.emplace_back(bytes.begin(), bytes.end());
      }});
  const OpenResult opened = backend.open(0);
  ASSERT_NE(opened.connection, nullptr);
  opened.connection->reset();
  EXPECT_EQ(sent, test::ResetBytes());
}

}  // namespace
}  // namespace kalvora
