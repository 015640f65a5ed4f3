// A MIDI keyboard played into the program through JACK, end to end: a test client sends into the
// program's JACK input, the real window routes it, and two JACK receivers are the two devices.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolTip>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <span>
#include <thread>

#include "midi/backends/jack/jack_backend.h"
#include "midi/backends/jack/jack_input.h"
#include "play/device_state.h"
#include "support/child_process.h"
#include "support/jack_midi_receiver.h"
#include "support/jack_midi_sender.h"
#include "support/jack_test_server.h"
#include "support/press_messages.h"
#include "ui/computer_key_notes.h"
#include "ui/drum_page.h"
#include "window_fixture.h"

namespace kalvora {
namespace {

using test::Message;
using Messages = std::vector<Message>;

const Message kGsReset(GsResetMessage.begin(), GsResetMessage.end());
constexpr auto kPortLimit = std::chrono::seconds(10);
constexpr int kReverbBar = 3;
constexpr int kSwitchButton = 257;

Messages VoiceSetUpWith(std::uint8_t reverb) { return test::SetUpBytes({.reverb = reverb}); }

// What a switch opens the next device with: all notes and all sound off on every channel.
Messages Silence() { return test::ResetBytes(); }

Messages Plus(Messages first, const Messages& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

std::size_t Bytes(const Messages& messages) {
  std::size_t total = 0;
  for (const auto& message : messages) total += message.size();
  return total;
}

// "B0 0A 40", one line per message, so a failure reads as the bytes on the wire.
std::string Hex(const Messages& messages) {
  std::string lines;
  for (const auto& message : messages) {
    std::string line;
    for (const std::uint8_t byte : message) {
      char text[4];
      std::snprintf(text, sizeof text, line.empty() ? "%02X" : " %02X", byte);
      line += text;
    }
    lines += line + "\n";
  }
  return lines;
}

// What the control shows when the pointer rests on it.
QString ToolTipOf(QWidget* control) {
  QToolTip::hideText();
  QHelpEvent rest(QEvent::ToolTip, control->rect().center(),
                  control->mapToGlobal(control->rect().center()));
  QApplication::sendEvent(control, &rest);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

void RunEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }

class MidiInputThroughJack : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.start());
    ASSERT_TRUE(moduleA_.open());
    ASSERT_TRUE(moduleB_.open());
    // One client carries the input and the outputs, as in the program.
    std::shared_ptr<JackClient> client = JackClient::create(test::ClientName("kalvora"));
    input_ = std::make_unique<JackInput>(client);
    inputPort_ = input_->waitForPort(kPortLimit);
    ASSERT_EQ(inputPort_, test::ClientName("kalvora") + ":in");
    // The keyboard connected as the README says, by the input's name of old.
    ASSERT_TRUE(keyboard_.open(test::ClientName("kalvora") + "-in:in"));
    window_ = std::make_unique<test::WindowFixture>(std::vector<std::string>{},
                                                    std::vector<OpenStatus>{}, QByteArray(), false);
    MidiBackends backends;
    backends.push_back(std::make_unique<JackBackend>(client));
    InstallMidiBackends(std::move(backends));
    window_->form().FormCreate();
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    keyboard_.close();
    input_.reset();
  }

  // Waits until module has received all of expected, and compares.
  static void expect(const test::JackMidiReceiver& module, const Messages& expected) {
    EXPECT_EQ(Hex(module.waitForBytes(Bytes(expected), RunEvents)), Hex(expected));
  }

  test::JackTestServer server_;
  test::JackMidiReceiver moduleA_;
  test::JackMidiReceiver moduleB_;
  std::unique_ptr<JackInput> input_;
  std::string inputPort_;
  test::JackMidiSender keyboard_;
  std::unique_ptr<test::WindowFixture> window_;
};

TEST_F(MidiInputThroughJack, KeyboardPlaysTheToneOnScreenAndNothingSticksAtASwitch) {
  // Our own input is no device: the two receivers are.
  ASSERT_EQ(DeviceCount, 2);
  Messages a = {kGsReset};
  expect(moduleA_, a);

  // Any channel, running status across events, pedal, bend, a note-off.
  ASSERT_TRUE(keyboard_.send({{0x93, 0x3C, 0x64},
                              {0x3E, 0x64},
                              {0xB5, 0x40, 0x7F},
                              {0xE7, 0x00, 0x50},
                              {0x8F, 0x3C, 0x00}}));
  a = Plus(a, Plus(VoiceSetUpWith(0x28), {{0x90, 0x3C, 0x64},
                                          {0x90, 0x3E, 0x64},
                                          {0xB0, 0x40, 0x7F},
                                          {0xE0, 0x00, 0x50},
                                          {0x80, 0x3C, 0x00}}));
  expect(moduleA_, a);

  // A scroll bar moved: the next note carries the new level.
  window_->form().ScrollBar(kReverbBar)->setValue(90);
  ASSERT_TRUE(keyboard_.send({{0x9A, 0x40, 0x64}}));
  a = Plus(a, Plus(VoiceSetUpWith(90), {{0x90, 0x40, 0x64}}));
  expect(moduleA_, a);

  // Two keys and the pedal held: the switch releases them on A, and B hears only its reset.
  const QPoint switchButton = window_->pixelOf(window_->form().Button(kSwitchButton));
  window_->press(switchButton);
  window_->release(switchButton);
  a = Plus(a, {{0x80, 0x3E, 0x40}, {0x80, 0x40, 0x40}, {0xB0, 0x40, 0x00}});
  expect(moduleA_, a);
  Messages b = Plus(Silence(), {kGsReset});
  expect(moduleB_, b);

  ASSERT_TRUE(keyboard_.send({{0x92, 0x43, 0x64}, {0x82, 0x43, 0x00}}));
  b = Plus(b, Plus(VoiceSetUpWith(90), {{0x90, 0x43, 0x64}, {0x80, 0x43, 0x00}}));
  expect(moduleB_, b);

  // A system-exclusive message without its end, data inside it, a message cut short: only
  // the note after them plays.
  ASSERT_TRUE(keyboard_.send({{0xF0, 0x41, 0x10}, {0x45, 0x64}, {0x91, 0x3C}, {0x93, 0x47, 0x64}}));
  b = Plus(b, {{0x90, 0x47, 0x64}});
  expect(moduleB_, b);

  // Closing the window with a key and the pedal down releases both before the module is silenced.
  ASSERT_TRUE(keyboard_.send({{0xB0, 0x40, 0x7F}}));
  b = Plus(b, {{0xB0, 0x40, 0x7F}});
  expect(moduleB_, b);
  window_->form().close();
  b = Plus(b, Plus({{0x80, 0x47, 0x40}, {0xB0, 0x40, 0x00}}, Silence()));
  expect(moduleB_, b);
  EXPECT_EQ(Hex(moduleA_.messages()), Hex(a));
}

// The drum page plays the rhythm part: a set button, a key, a computer key and the MIDI input
// all go to channel 10 with the set's set-up; a note ends on the channel it began on; the other
// pages play channel 1 as before.
TEST_F(MidiInputThroughJack, TheDrumPagePlaysTheChosenSetOnChannel10) {
  TForm1& form = window_->form();
  Messages a = {kGsReset};
  expect(moduleA_, a);
  QTabBar* tabs = form.PageControl1->tabBar();
  auto showPage = [&](QWidget* page) {
    const QPoint tab =
        window_->pixelOf(tabs, tabs->tabRect(form.PageControl1->indexOf(page)).center());
    window_->press(tab);
    window_->release(tab);
    ASSERT_EQ(form.PageControl1->currentWidget(), page);
  };
  auto pressAndRelease = [&](const QWidget* control) {
    window_->press(window_->pixelOf(control));
    window_->release(window_->pixelOf(control));
  };
  // Room (program 9) is the SC-8850 map's fourth set.
  const Messages roomSetUp = {{0xB9, 0x0A, 0x40}, {0xB9, 0x5B, 0x28}, {0xB9, 0x5D, 0x00},
                              {0xB9, 0x00, 0x00}, {0xB9, 0x20, 0x04}, {0xC9, 0x08}};
  showPage(form.TabSheet4);
  pressAndRelease(form.TabSheet4->button(4));
  a = Plus(a, Plus(roomSetUp, {{0x99, 0x3C, 0x64}, {0x89, 0x3C, 0x7F}}));
  expect(moduleA_, a);
  EXPECT_EQ(form.TabSheet4->setLabel()->text(), "9: ROOM");

  pressAndRelease(form.Shape(36));  // C2, note 36
  a = Plus(a, Plus(roomSetUp, {{0x99, 0x24, 0x64}, {0x89, 0x24, 0x7F}}));
  expect(moduleA_, a);
  EXPECT_EQ(ToolTipOf(form.Shape(36)), "C2 (36) Room Kick 1");

  const quint32 z = *ScanCodeOfNote(48);
  window_->sendKey(QEvent::KeyPress, Qt::Key_Z, z);
  window_->sendKey(QEvent::KeyRelease, Qt::Key_Z, z);
  a = Plus(a, Plus(roomSetUp, {{0x99, 0x30, 0x64}, {0x89, 0x30, 0x7F}}));
  expect(moduleA_, a);

  // The device has this set-up on channel 10 already.
  ASSERT_TRUE(keyboard_.send({{0x93, 0x26, 0x64}, {0x83, 0x26, 0x00}}));
  a = Plus(a, {{0x99, 0x26, 0x64}, {0x89, 0x26, 0x00}});
  expect(moduleA_, a);

  // Held while the program page comes back: it ends on channel 10, the next press plays channel 1.
  window_->press(window_->pixelOf(form.Shape(22)));  // C4, note 60
  a = Plus(a, Plus(roomSetUp, {{0x99, 0x3C, 0x64}}));
  expect(moduleA_, a);
  showPage(form.TabSheet1);
  window_->release(window_->pixelOf(form.Shape(22)));
  a = Plus(a, {{0x89, 0x3C, 0x7F}});
  expect(moduleA_, a);
  pressAndRelease(form.Shape(36));
  a = Plus(a, Plus(VoiceSetUpWith(0x28), {{0x90, 0x24, 0x64}, {0x80, 0x24, 0x7F}}));
  expect(moduleA_, a);
  EXPECT_TRUE(ToolTipOf(form.Shape(36)).isEmpty());
}

TEST_F(MidiInputThroughJack, ABurstThinsOnlyPressureAndEndsEveryNote) {
  Messages a = {kGsReset};
  expect(moduleA_, a);
  // What a keyboard sends when a hand lands on it and leans: 128 notes, a stream of pressure in
  // running status far longer than the device's queue, and the 128 note-offs, in a few events.
  constexpr std::size_t kPressure = 40'000;
  constexpr std::size_t kPerEvent = 10'000;
  Messages burst(1);
  for (std::uint8_t key = 0; key < 128; ++key)
    burst.back().insert(burst.back().end(), {0x90, key, 0x64});
  for (std::size_t i = 0; i < kPressure; ++i) {
    if (i % kPerEvent == 0) {
      burst.back().push_back(0xD0);
    }
    burst.back().push_back(static_cast<std::uint8_t>(i & 0x7F));
    if (i % kPerEvent == kPerEvent - 1) burst.emplace_back();
  }
  for (std::uint8_t key = 0; key < 128; ++key)
    burst.back().insert(burst.back().end(), {0x80, key, 0x00});
  ASSERT_TRUE(keyboard_.send(burst));

  const Message lastNoteOff = {0x80, 127, 0x00};
  const Messages heard = moduleA_.waitForLast(
      [&lastNoteOff](const Message& last) { return last == lastNoteOff; }, RunEvents);
  Messages notes;
  std::size_t pressure = 0;
  std::set<std::uint8_t> sounding;
  for (const Message& message : heard) {
    if (message[0] == 0xD0) ++pressure;
    if (message[0] != 0x90 && message[0] != 0x80) continue;
    notes.push_back(message);
    if (message[0] == 0x90) {
      sounding.insert(message[1]);
    } else {
      sounding.erase(message[1]);
    }
  }
  Messages expected;
  for (std::uint8_t key = 0; key < 128; ++key) expected.push_back({0x90, key, 0x64});
  for (std::uint8_t key = 0; key < 128; ++key) expected.push_back(Message{0x80, key, 0x00});
  EXPECT_EQ(Hex(notes), Hex(expected));
  EXPECT_TRUE(sounding.empty()) << sounding.size() << " notes left sounding";
  EXPECT_GT(pressure, 0u);
  EXPECT_LT(pressure, kPressure) << "nothing was thinned: the flood is too short for the test";
}

// What the input takes, counted as the window's thread receives it.
int KeyboardNoteOns = 0;
void CountNoteOn(const ChannelMessage& message, HMIDIOUT) {
  KeyboardNoteOns += message.kind() == 0x90;
}

// A keyboard's client in a process of its own, wired to the input by its user. The server dies
// and comes back, and the keyboard's client with it, unwired, as after a desktop's restart: the
// input returns by itself and wires the keyboard again, with no device switch.
TEST(MidiInputAfterAServerRestart, ComesBackWiredToTheKeyboard) {
  test::JackTestServer server;
  ASSERT_TRUE(server.start());
  JackInput input(JackClient::create(test::ClientName("kalvora")));
  const std::string inputPort = input.waitForPort(kPortLimit);
  ASSERT_FALSE(inputPort.empty());
  // A note every tenth of a second at the dummy driver's rate.
  const std::string keyboardName = test::ClientName("keyboard");
  const std::string keyboardPort = keyboardName + ":out";
  auto startKeyboard = [&keyboardName] {
    return test::ForkChildOfProcess([&keyboardName] {
      execlp("jack_midiseq", "jack_midiseq", keyboardName.c_str(), "4800", "0", "60", "2400",
             static_cast<char*>(nullptr));
      _exit(127);
    });
  };
  auto waitFor = [](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPortLimit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      DeliverMidiInput(CountNoteOn);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
  };
  pid_t keyboard = startKeyboard();
  ASSERT_GT(keyboard, 0);
  {
    // The user's wire, made by a patchbay of its own that is gone before the server goes.
    jack_client_t* patchbay =
        jack_client_open(test::ClientName("patchbay").c_str(), JackNoStartServer, nullptr);
    ASSERT_NE(patchbay, nullptr);
    const bool wired = waitFor([&] {
      const int result = jack_connect(patchbay, keyboardPort.c_str(), inputPort.c_str());
      return result == 0 || result == EEXIST;
    });
    jack_client_close(patchbay);
    ASSERT_TRUE(wired) << "jack_midiseq from jackd2 is needed";
  }
  ASSERT_TRUE(waitFor([&] { return KeyboardNoteOns >= 2; }));

  // Killed, as when it crashes, then ended cleanly: the input comes back wired each time.
  for (const bool killed : {true, false}) {
    killed ? server.kill() : server.stop();
    // The client of the server that went is let go before this process opens another: libjack
    // frees a dead server's clients at the next open.
    ASSERT_TRUE(waitFor([&] { return input.waitForPort(std::chrono::milliseconds(0)).empty(); }));
    test::EndChild(keyboard, SIGKILL, std::chrono::seconds(1));
    ASSERT_TRUE(server.start());
    const auto back = std::chrono::steady_clock::now();
    keyboard = startKeyboard();
    const int before = KeyboardNoteOns;
    EXPECT_TRUE(waitFor([&] { return KeyboardNoteOns >= before + 2; }))
        << "the input did not come back wired to " << keyboardPort << (killed ? " (killed)" : "");
    std::printf(
        "the keyboard heard again %.0f ms after the server's return\n",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - back).count());
  }
  test::EndChild(keyboard, SIGTERM, std::chrono::seconds(1));
}

}  // namespace
}  // namespace kalvora

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
