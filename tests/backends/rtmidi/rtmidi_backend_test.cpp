#include "midi/backends/rtmidi/rtmidi_backend.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <limits>

#include "midi/backends/rtmidi/rtmidi_port_names.h"
#include "midi/backends/rtmidi/sequencer_input.h"
#include "support/stderr_capture.h"

namespace kalvora {
namespace {

bool HasSequencer() { return ::access("/dev/snd/seq", R_OK | W_OK) == 0; }

TEST(RtMidiBackend, ListsAndOpensWithoutThrowingOrPrinting) {
  // Without a sequencer the MIDI library prints and throws from its constructor; with one, there
  // is nothing to print either. Both must be silent here.
  test::StderrCapture capture;
  RtMidiBackend backend;
  const std::vector<std::string> names = backend.portNames();
  const std::size_t count = names.size();
  const OpenResult pastTheEnd = backend.open(count);
  const OpenResult far = backend.open(std::numeric_limits<std::size_t>::max());
  const std::vector<std::string> again = backend.portNames();
  EXPECT_EQ(capture.finish(), "");

  EXPECT_EQ(pastTheEnd.code, MMSYSERR_BADDEVICEID);
  EXPECT_EQ(pastTheEnd.connection, nullptr);
  EXPECT_EQ(far.code, MMSYSERR_BADDEVICEID);
  if (!HasSequencer()) {
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(again.empty());
  }
  for (const std::string& name : names) {
    EXPECT_EQ(name.rfind("Kalvora:", 0), std::string::npos) << "our own port is listed: " << name;
  }
}

TEST(RtMidiBackend, OpensEachListedPortSilently) {
  if (!HasSequencer()) GTEST_SKIP() << "no ALSA sequencer on this machine";
  test::StderrCapture capture;
  RtMidiBackend backend;
  const std::size_t count = backend.portNames().size();
  for (std::size_t port = 0; port < count; ++port) {
    OpenResult opened = backend.open(port);
    EXPECT_EQ(opened.code, MMSYSERR_NOERROR) << port;
    if (opened.connection) opened.connection->reset();
  }
  EXPECT_EQ(capture.finish(), "");
}

TEST(SequencerInput, OpensSilentlyWhereThereIsASequencerAndIsNoOutputDevice) {
  test::StderrCapture capture;
  {
    SequencerInput input;
    EXPECT_EQ(input.open(), HasSequencer());
    RtMidiBackend backend;
    for (const std::string& name : backend.portNames()) EXPECT_NE(name, "Kalvora:in");
  }
  EXPECT_EQ(capture.finish(), "");
}

TEST(SequencerDisplayNames, DropTheAddressUnlessTwoPortsWouldLookAlike) {
  struct Case {
    std::vector<std::string> raw;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{"Midi Through:Midi Through Port-0 14:0"}, {"Midi Through:Midi Through Port-0"}},
      {{"SC-88Pro:SC-88Pro MIDI 1 24:0", "FLUID Synth (123):Synth input port (123:0) 128:0"},
       {"SC-88Pro:SC-88Pro MIDI 1", "FLUID Synth (123):Synth input port (123:0)"}},
      // Two units of one model keep their addresses; a third, different port does not.
      {{"UM-ONE:UM-ONE MIDI 1 20:0", "UM-ONE:UM-ONE MIDI 1 24:0", "Timidity:port 0 128:0"},
       {"UM-ONE:UM-ONE MIDI 1 20:0", "UM-ONE:UM-ONE MIDI 1 24:0", "Timidity:port 0"}},
      // Names that do not end in a numeric address stay whole.
      {{"Synth:port", "Synth:port 1", "Synth:port a:b", "Synth:port 1:", " 14:0"},
       {"Synth:port", "Synth:port 1", "Synth:port a:b", "Synth:port 1:", " 14:0"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SequencerDisplayNames(c.raw), c.shown) << ::testing::PrintToString(c.raw);
  }
}

}  // namespace
}  // namespace kalvora
