#include "midi/backends/rtmidi/rtmidi_backend.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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

  EXPECT_EQ(pastTheEnd.status, OpenStatus::kBadDevice);
  EXPECT_EQ(pastTheEnd.connection, nullptr);
  EXPECT_EQ(far.status, OpenStatus::kBadDevice);
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
    EXPECT_EQ(opened.status, OpenStatus::kOpened) << port;
    if (opened.connection) opened.connection->reset();
  }
  EXPECT_EQ(capture.finish(), "");
}

TEST(RtMidiBackend, LeavesOutThisProcesssOwnPorts) {
  if (!HasSequencer()) GTEST_SKIP() << "no ALSA sequencer on this machine";
  // A writable port of ours under another client name, as the program's MIDI input has.
  snd_seq_t* input = nullptr;
  ASSERT_EQ(snd_seq_open(&input, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK), 0);
  snd_seq_set_client_name(input, "Own input");
  ASSERT_GE(
      snd_seq_create_simple_port(input, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                 SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION),
      0);
  RtMidiBackend backend;
  const std::vector<std::string> names = backend.portNames();
  snd_seq_close(input);
  for (const std::string& name : names) EXPECT_NE(name, "Own input:in");
}

TEST(RtMidiBackend, APortHeldByAnotherProgramIsInUse) {
  if (!HasSequencer()) GTEST_SKIP() << "no ALSA sequencer on this machine";
  RtMidiBackend backend;
  const std::vector<std::string> names = backend.portNames();
  const auto through = std::find(names.begin(), names.end(), "Midi Through:Midi Through Port-0");
  if (through == names.end()) GTEST_SKIP() << "no Midi Through port (snd-seq-dummy) to hold";
  // Another client connects to it exclusively, as a program that wants a module to itself does.
  snd_seq_t* holder = nullptr;
  ASSERT_EQ(snd_seq_open(&holder, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK), 0);
  const int port =
      snd_seq_create_simple_port(holder, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                 SND_SEQ_PORT_TYPE_APPLICATION);
  snd_seq_port_subscribe_t* subscription = nullptr;
  snd_seq_port_subscribe_alloca(&subscription);
  const snd_seq_addr_t sender{static_cast<unsigned char>(snd_seq_client_id(holder)),
                              static_cast<unsigned char>(port)};
  const snd_seq_addr_t dest{14, 0};
  snd_seq_port_subscribe_set_sender(subscription, &sender);
  snd_seq_port_subscribe_set_dest(subscription, &dest);
  snd_seq_port_subscribe_set_exclusive(subscription, 1);
  ASSERT_EQ(snd_seq_subscribe_port(holder, subscription), 0);

  test::StderrCapture capture;
  const OpenResult held = backend.open(static_cast<std::size_t>(through - names.begin()));
  EXPECT_EQ(capture.finish(), "");
  snd_seq_close(holder);
  EXPECT_EQ(held.status, OpenStatus::kInUse);
  EXPECT_EQ(held.connection, nullptr);
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

TEST(SequencerPorts, AddressOfAName) {
  EXPECT_EQ(SequencerAddressOf("Midi Through:Midi Through Port-0 14:0"), (SequencerAddress{14, 0}));
  EXPECT_EQ(SequencerAddressOf("A:b 128:3"), (SequencerAddress{128, 3}));
  EXPECT_EQ(SequencerAddressOf("Synth:port"), std::nullopt);
  EXPECT_EQ(SequencerAddressOf("Synth:port a:0"), std::nullopt);
  EXPECT_EQ(SequencerAddressOf("Synth:port 99999999999:0"), std::nullopt);
}

TEST(SequencerPorts, FoundAgainByAddressOrByAName) {
  const std::vector<std::string> listed = {"Through:port 14:0", "UM-ONE:MIDI 1 20:0",
                                           "UM-ONE:MIDI 1 24:0", "Module:in 128:0"};
  // Unchanged: each is where it was, by its full name.
  for (std::size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(FindPortAgain(listed, i, listed), i);
  // A software module started again under a new client number, one client gone before it.
  const std::vector<std::string> later = {"Through:port 14:0", "UM-ONE:MIDI 1 20:0",
                                          "Module:in 129:0"};
  EXPECT_EQ(FindPortAgain(listed, 3, later), 2u);
  EXPECT_EQ(FindPortAgain(listed, 1, later), 1u);
  // One of two units of a model gone: its address told it apart, so nothing else is taken for it.
  EXPECT_EQ(FindPortAgain(listed, 2, later), std::nullopt);
  // Gone; or now twice there, so its name no longer says which one.
  EXPECT_EQ(FindPortAgain(listed, 0, {"UM-ONE:MIDI 1 20:0"}), std::nullopt);
  EXPECT_EQ(FindPortAgain(listed, 3, {"Module:in 129:0", "Module:in 130:0"}), std::nullopt);
  EXPECT_EQ(FindPortAgain(listed, 4, listed), std::nullopt);
}

}  // namespace
}  // namespace kalvora
