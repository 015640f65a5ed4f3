// The port layer over the real JACK backend: what the window calls reaches a JACK client.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "midi/backends/jack/jack_backend.h"
#include "midi/midi_backend.h"
#include "midi/midi_out.h"
#include "support/jack_midi_receiver.h"
#include "support/jack_test_server.h"

namespace kalvora {
namespace {

using test::Message;

constexpr std::uint32_t kHeaderSize = 64;  // what the program passes
std::array<char, 11> GsReset = {'\xF0', '\x41', '\x10', '\x42', '\x12', '\x40',
                                '\x00', '\x7F', '\x00', '\x41', '\xF7'};

class PortLayerOverJack : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.start());
    ASSERT_TRUE(receiver_.open());
    MidiBackends backends;
    backends.push_back(std::make_unique<JackBackend>(test::ClientName("kalvora")));
    InstallMidiBackends(std::move(backends));
  }
  // Every device is closed before the server goes.
  void TearDown() override { InstallMidiBackends({}); }

  test::JackTestServer server_;
  test::JackMidiReceiver receiver_;
};

TEST_F(PortLayerOverJack, WhatTheWindowSendsArrivesAndNothingSentWhileClosed) {
  ASSERT_EQ(midiOutGetNumDevs(), 1u);
  MIDIOUTCAPSA caps;
  ASSERT_EQ(midiOutGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.szPname, receiver_.portName());
  HMIDIOUT unused = kNoMidiOut;
  EXPECT_EQ(midiOutOpen(&unused, 1, 0, 0, 0), MMSYSERR_BADDEVICEID);

  HMIDIOUT out = kNoMidiOut;
  ASSERT_EQ(midiOutOpen(&out, 0, 0, 0, 0), MMSYSERR_NOERROR);
  MIDIHDR header;
  header.lpData = GsReset.data();
  header.dwBufferLength = GsReset.size();
  midiOutPrepareHeader(out, &header, kHeaderSize);
  midiOutLongMsg(out, &header, kHeaderSize);
  midiOutShortMsg(out, 0x00643C90);  // note-on 60, velocity 100
  midiOutClose(out);

  // The switch button's press-to-release gap: all of this goes nowhere, now or later.
  midiOutShortMsg(out, 0x00003C80);
  midiOutLongMsg(out, &header, kHeaderSize);

  HMIDIOUT next = kNoMidiOut;
  ASSERT_EQ(midiOutOpen(&next, 0, 0, 0, 0), MMSYSERR_NOERROR);
  midiOutShortMsg(next, 0x000004C0);  // program 5
  midiOutClose(next);

  const Message reset(GsReset.begin(), GsReset.end());
  const std::vector<Message> expected = {reset, {0x90, 0x3C, 0x64}, {0xC0, 0x04}};
  EXPECT_EQ(receiver_.waitForBytes(reset.size() + 3 + 2), expected);
}

}  // namespace
}  // namespace kalvora
