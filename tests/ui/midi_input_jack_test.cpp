// A MIDI keyboard played into the program through JACK, end to end: a test client sends into the
// program's JACK input, the real window routes it, and two JACK receivers are the two devices.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRadioButton>
#include <QRegularExpression>
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

#include "catalogue/tone_names.h"
#include "midi/backends/jack/jack_backend.h"
#include "midi/backends/jack/jack_input.h"
#include "midi/input/input_inbox.h"
#include "play/device_state.h"
#include "play/input_router.h"
#include "play/rhythm_part.h"
#include "play/voice_state.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/jack_midi_receiver.h"
#include "support/jack_midi_sender.h"
#include "support/jack_test_server.h"
#include "support/press_messages.h"
#include "ui/computer_key_notes.h"
#include "ui/drum_page.h"
#include "ui/search_page.h"
#include "window_fixture.h"

namespace kalvora {
namespace {

using test::Message;
using test::ToolTipOf;
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

  // Shows page by a click on its tab.
  void showPage(QWidget* page) {
    QTabBar* tabs = window_->form().PageControl1->tabBar();
    const QPoint tab =
        window_->pixelOf(tabs, tabs->tabRect(window_->form().PageControl1->indexOf(page)).center());
    window_->press(tab);
    window_->release(tab);
    ASSERT_EQ(window_->form().PageControl1->currentWidget(), page);
  }
  void pressAndRelease(const QWidget* control) {
    window_->press(window_->pixelOf(control));
    window_->release(window_->pixelOf(control));
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

// The search page: what is typed finds lines, and each line plays as its own button would, on
// its own channel, and becomes the current voice.
TEST_F(MidiInputThroughJack, TheSearchPagePlaysItsLinesAsTheirOwnButtonsWould) {
  TForm1& form = window_->form();
  SearchPage& page = *form.TabSheet5;
  Messages a = {kGsReset};
  expect(moduleA_, a);
  showPage(&page);
  EXPECT_EQ(form.focusWidget(), page.field());

  // A computer key types and plays nothing.
  const quint32 z = *ScanCodeOfNote(48);
  QKeyEvent typed(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, z, 0, 0, QStringLiteral("z"));
  QCoreApplication::sendEvent(form.windowHandle(), &typed);
  window_->sendKey(QEvent::KeyRelease, Qt::Key_Z, z);
  EXPECT_EQ(page.field()->text(), "z");
  // There Ctrl+C copies a selection, as a text field does, and the tone where nothing is selected.
  page.field()->selectAll();
  QTest::keyClick(form.windowHandle(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "z");
  page.field()->deselect();
  QTest::keyClick(form.windowHandle(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("map "));

  auto lineAt = [&](int row) {
    const QRect line = page.list()->visualRect(page.list()->model()->index(row, 0));
    return window_->pixelOf(page.list()->viewport(), line.center());
  };
  auto type = [&](const QString& query) {
    page.field()->clear();
    for (const QChar letter : query) {  // as a keyboard or an input method delivers them
      QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(letter));
      QCoreApplication::sendEvent(page.field(), &key);
    }
  };

  // Anything pasted finds nothing and says so; that line plays nothing.
  page.field()->setText(QString(10000, 'x') + QChar(0xD800) + QStringLiteral("\u0001🎹"));
  ASSERT_EQ(page.list()->model()->rowCount(), 1);
  EXPECT_EQ(page.list()->model()->index(0, 0).data().toString(), "見つかりません");
  window_->press(lineAt(0));
  window_->release(lineAt(0));

  // The first tone line, pressed with the mouse: its set-up and note on channel 1, no synth mark.
  type(QStringLiteral("ｎｙｌｏｎ gt"));
  ASSERT_NE(page.entry(0), nullptr);
  EXPECT_EQ(page.list()->model()->index(0, 0).data().toString(),
            "ＳＣ－８８５０  プログラム 25  バンク 0  Nylon-str.Gt.");
  window_->press(lineAt(0));
  window_->release(lineAt(0));
  test::Voice voice{.program = 25};
  a = Plus(a, Plus(test::PressBytes(voice), {{0x80, 0x3C, 0x7F}}));
  expect(moduleA_, a);
  EXPECT_EQ(form.Label(10)->text(), "25");
  EXPECT_EQ(form.Label(12)->text(), "0");
  EXPECT_TRUE(ToolTipOf(form.Button(1)).isEmpty());

  // A drum key: that key with its set on channel 10; the set becomes the drum page's.
  type(QStringLiteral("808 cowbell"));
  ASSERT_EQ(page.entry(0)->kind, FoundKind::kDrumKey);
  window_->press(lineAt(0));
  window_->release(lineAt(0));
  const Messages hipHop = {{0xB9, 0x0A, 0x40}, {0xB9, 0x5B, 0x28}, {0xB9, 0x5D, 0x00},
                           {0xB9, 0x00, 0x00}, {0xB9, 0x20, 0x04}, {0xC9, 0x09}};
  a = Plus(a, Plus(hipHop, {{0x99, 0x38, 0x64}, {0x89, 0x38, 0x7F}}));
  expect(moduleA_, a);
  EXPECT_EQ(ChosenDrumSet(), 10);

  // Down to the first line, Space held (its repeats ignored): the tone with the current note.
  type(QStringLiteral("piano 1"));
  QTest::keyClick(page.field(), Qt::Key_Down);
  EXPECT_EQ(page.list()->currentIndex().row(), 0);
  QTest::keyPress(page.list(), Qt::Key_Space);
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
  QCoreApplication::sendEvent(page.list(), &repeat);
  QTest::keyRelease(page.list(), Qt::Key_Space);
  voice = {.program = 1, .note = 0x38};
  a = Plus(a, Plus(test::PressBytes(voice), {{0x80, 0x38, 0x7F}}));
  expect(moduleA_, a);

  // A drum-set line held while the program page comes back: it ends on channel 10, and the
  // computer keys play channel 1 there.
  type(QStringLiteral("tr-808"));
  const auto& found = page.results().found();
  const auto set = std::find_if(found.begin(), found.end(),
                                [](const FoundName& f) { return f.kind == FoundKind::kDrumSet; });
  ASSERT_NE(set, found.end());
  const int row = static_cast<int>(set - found.begin());
  page.list()->scrollTo(page.list()->model()->index(row, 0));
  window_->press(lineAt(row), Qt::RightButton);
  const Messages tr808 = {{0xB9, 0x0A, 0x40}, {0xB9, 0x5B, 0x28}, {0xB9, 0x5D, 0x00},
                          {0xB9, 0x00, 0x00}, {0xB9, 0x20, 0x04}, {0xC9, 0x19}};
  a = Plus(a, Plus(tr808, {{0x99, 0x38, 0x64}}));
  expect(moduleA_, a);
  form.PageControl1->setCurrentWidget(form.TabSheet1);
  window_->release(lineAt(row), Qt::RightButton);
  a = Plus(a, {{0x89, 0x38, 0x7F}});
  expect(moduleA_, a);
  window_->sendKey(QEvent::KeyPress, Qt::Key_Z, z);
  window_->sendKey(QEvent::KeyRelease, Qt::Key_Z, z);
  voice.note = 48;
  a = Plus(a, Plus(test::PressBytes(voice), {{0x80, 0x30, 0x7F}}));
  expect(moduleA_, a);
}

// What Ctrl+C (or Ctrl+Insert) copies is what the next press sends: the bytes on its third line are
// the set-up the device then receives, the numbers on its second are read off those bytes, and the
// name on its first is the one the window's caption shows. One tone of each map, a drum set, and
// the voice the window starts with before any press.
TEST_F(MidiInputThroughJack, CopiedTextIsWhatThePressSends) {
  struct Case {
    const char* what;
    int mapRadio;  // RadioButton1..5: SC-8850 .. GM; 0 leaves the map
    int program;   // pressed on its button, in the highest bank that names it; 0 presses none
    int drumButton;
    QKeyCombination copy;
  };
  const Case cases[] = {
      {"start voice, no press yet", 0, 0, 0, Qt::ControlModifier | Qt::Key_C},
      {"SC-8850", 1, 5, 0, Qt::ControlModifier | Qt::Key_Insert},
      {"SC-88Pro", 2, 17, 0, Qt::ControlModifier | Qt::Key_C},
      {"SC-88", 3, 25, 0, Qt::ControlModifier | Qt::Key_C},
      {"SC-55", 4, 81, 0, Qt::ControlModifier | Qt::Key_C},
      {"GM", 5, 41, 0, Qt::ControlModifier | Qt::Key_C},
      {"SC-8850 drum set ROOM", 1, 0, 4, Qt::ControlModifier | Qt::Key_C},
  };
  TForm1& form = window_->form();
  window_->showActive();
  expect(moduleA_, {kGsReset});
  auto pressAndRelease = [&](auto down, auto up) {
    down();
    up();
  };
  const QRegularExpression numbers(
      "^channel (\\d+), bank select MSB (\\d+), LSB (\\d+), program (\\d+) \\(0-based (\\d+)\\), "
      "bank number (\\d+) \\(MSB x 128 \\+ LSB\\)$");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.mapRadio) form.RadioButton(c.mapRadio)->click();
    form.PageControl1->setCurrentWidget(c.drumButton ? form.TabSheet4 : form.TabSheet1);
    QString caption;
    if (c.program) {
      const int map = 5 - c.mapRadio;
      int bank = kBankCount - 1;
      while (bank > 0 && ToneName(c.program, bank, map).empty()) --bank;
      pressAndRelease([&] { form.ButtonMouseDown(129 + bank); },
                      [&] { form.ButtonMouseUp(129 + bank); });
      pressAndRelease([&] { form.ButtonMouseDown(c.program); },
                      [&] { form.ButtonMouseUp(c.program); });
      caption = form.Button(c.program)->text().replace("&&", "&");
    }
    if (c.drumButton) {
      pressAndRelease([&] { form.DrumButtonMouseDown(c.drumButton); },
                      [&] { form.DrumButtonMouseUp(c.drumButton); });
      caption = form.TabSheet4->setLabel()->text();
    }
    QTest::keyClick(form.windowHandle(), c.copy.key(), c.copy.keyboardModifiers());
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n');
    ASSERT_EQ(copied.size(), 4) << copied.join('|').toStdString();  // three lines, each ended

    // The press after the copy, on a key no case has played yet: its note-off ends the wait.
    const int shape = static_cast<int>(&c - cases) + 1;
    pressAndRelease([&] { form.ShapeMouseDown(shape); }, [&] { form.ShapeMouseUp(shape); });
    const int note = NoteNumber;
    Messages all = moduleA_.waitForLast(
        [note](const Message& m) { return (m[0] & 0xF0) == 0x80 && m[1] == note; }, RunEvents);
    // Its set-up: what came before its note-on, back to the note-off before it or the reset.
    all.resize(all.size() - 2);
    Messages setUp;
    while (!all.empty() && (all.back()[0] & 0xE0) != 0x80 && all.back()[0] < 0xF0) {
      setUp.insert(setUp.begin(), all.back());
      all.pop_back();
    }
    EXPECT_EQ(copied[2].toStdString(),
              QString::fromStdString(Hex(setUp)).replace('\n', ' ').trimmed().toStdString());

    ASSERT_GE(setUp.size(), 6u);
    const Message& programChange = setUp.back();
    const int channel = (programChange[0] & 0x0F) + 1;
    const int msb = setUp[setUp.size() - 3][2];
    const int lsb = setUp[setUp.size() - 2][2];
    const auto match = numbers.match(copied[1]);
    ASSERT_TRUE(match.hasMatch()) << copied[1].toStdString();
    EXPECT_EQ(match.captured(1).toInt(), channel);
    EXPECT_EQ(match.captured(2).toInt(), msb);
    EXPECT_EQ(match.captured(3).toInt(), lsb);
    EXPECT_EQ(match.captured(4).toInt(), programChange[1] + 1);
    EXPECT_EQ(match.captured(5).toInt(), programChange[1]);
    EXPECT_EQ(match.captured(6).toInt(), msb * 128 + lsb);

    if (caption.isEmpty()) caption = form.Button(programChange[1] + 1)->text().replace("&&", "&");
    const QString name = caption.section(": ", 1);
    ASSERT_FALSE(name.isEmpty());
    EXPECT_TRUE(copied[0].endsWith(": " + name + (c.drumButton ? ", channel 10" : "")))
        << copied[0].toStdString() << " / " << caption.toStdString();
  }
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
  // Handed on with the server held (the input has it a cycle after it is sent), so the device's
  // queue overflows whatever the load: a busy server drained it as fast as a slowed window filled
  // it.
  ASSERT_TRUE(test::Eventually([this] { return keyboard_.sent(); }, kPortLimit));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server_.freeze();
  for (std::size_t delivery = 0; delivery < 2 * kPressure / kPerEvent; ++delivery) {
    DeliverMidiInput(RouteMidiInput);
  }
  server_.thaw();

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
