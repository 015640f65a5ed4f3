// The computer keyboard plays the on-screen keyboard's notes by key position, each key stopping
// its own note, while the keys that work the controls keep doing so.
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include "play/voice_state.h"
#include "ui/computer_key_notes.h"
#include "window_fixture.h"

using kalvora::test::WindowFixture;

namespace {
// XKB keycodes of keys that are no piano keys.
constexpr quint32 kTabKey = 23;
constexpr quint32 kReturnKey = 36;
constexpr quint32 kSpaceKey = 65;
constexpr quint32 kHomeKey = 110;
constexpr quint32 kLeftKey = 113;
constexpr quint32 kRightKey = 114;
constexpr quint32 kEndKey = 115;
constexpr quint32 kPageUpKey = 112;

// Notes by the letter on a US layout.
constexpr int kZ = 48, kC = 52, kB = 55, kQ = 60, kW = 62, kE = 64, kP = 76;
}  // namespace

class WindowComputerKeysTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void keyPlaysAsItsOnScreenKeyDoes();
  void chordOfThreeKeysStopsEachNote();
  void overlappingLegatoStopsEachKeysOwnNote();
  void autoRepeatPlaysNothing();
  void focusLossStopsEveryHeldNote();
  void keysAreKnownByPlaceNotByLetter();
  void deviceSwitchStopsHeldNotesOnTheOldDevice();
  void controlKeysKeepTheirMeaning();
  void mouseAndKeyboardEachStopTheirOwnNote();

 private:
  void key(QEvent::Type type, int note, bool autoRepeat = false) {
    const auto scanCode = kalvora::ScanCodeOfNote(note);
    QVERIFY(scanCode);
    fx_->sendKey(type, Qt::Key_unknown, *scanCode, autoRepeat);
  }
  void down(int note) { key(QEvent::KeyPress, note); }
  void up(int note) { key(QEvent::KeyRelease, note); }

  std::unique_ptr<WindowFixture> fx_;
};

void WindowComputerKeysTest::init() {
  fx_ = std::make_unique<WindowFixture>();
  fx_->showActive();
  fx_->session().clear();
}

void WindowComputerKeysTest::cleanup() { fx_.reset(); }

void WindowComputerKeysTest::keyPlaysAsItsOnScreenKeyDoes() {
  fx_->click(fx_->form().Shape(29));  // C3
  const auto onScreen = fx_->shortMessages();
  fx_->session().clear();
  down(kZ);
  up(kZ);
  QCOMPARE(fx_->shortMessages(), onScreen);
  // The top row: from C4 up to E5.
  fx_->session().clear();
  down(kQ);
  QCOMPARE(NoteNumber, kQ);
  down(kP);
  up(kP);
  up(kQ);
  QCOMPARE(fx_->noteEvents(), QStringList({"on 60", "on 76", "off 76", "off 60"}));
}

void WindowComputerKeysTest::chordOfThreeKeysStopsEachNote() {
  for (int note : {kZ, kC, kB}) down(note);
  for (int note : {kC, kZ, kB}) up(note);
  QCOMPARE(fx_->noteEvents(),
           QStringList({"on 48", "on 52", "on 55", "off 52", "off 48", "off 55"}));
  QCOMPARE(fx_->shortMessages().size(), 3u * 8 + 3);  // each note with its whole set-up
}

void WindowComputerKeysTest::overlappingLegatoStopsEachKeysOwnNote() {
  down(kQ);
  down(kW);
  up(kQ);
  down(kE);
  up(kW);
  up(kE);
  QCOMPARE(fx_->noteEvents(),
           QStringList({"on 60", "on 62", "off 60", "on 64", "off 62", "off 64"}));
  // A program button then plays the last key's note, as after an on-screen key.
  fx_->session().clear();
  fx_->click(fx_->form().Button(7));
  QCOMPARE(fx_->noteEvents(), QStringList({"on 64", "off 64"}));
}

void WindowComputerKeysTest::autoRepeatPlaysNothing() {
  down(kW);
  for (int i = 0; i < 5; ++i) {
    key(QEvent::KeyRelease, kW, true);
    key(QEvent::KeyPress, kW, true);
  }
  down(kW);  // a press of a key already down, without the repeat flag
  up(kW);
  up(kW);  // and a release of a key no longer down
  QCOMPARE(fx_->noteEvents(), QStringList({"on 62", "off 62"}));
}

void WindowComputerKeysTest::focusLossStopsEveryHeldNote() {
  down(kZ);
  down(kE);
  QWidget other;
  other.show();
  other.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&other));
  QCOMPARE(fx_->noteEvents(), QStringList({"on 48", "on 64", "off 48", "off 64"}));
  // The releases that come once the window is active again find nothing held.
  fx_->showActive();
  up(kZ);
  up(kE);
  QCOMPARE(fx_->noteEvents().size(), 4);
  // Hidden with a key held: the same.
  fx_->session().clear();
  down(kB);
  fx_->form().hide();
  QCOMPARE(fx_->noteEvents(), QStringList({"on 55", "off 55"}));
}

void WindowComputerKeysTest::keysAreKnownByPlaceNotByLetter() {
  // AZERTY prints A where US prints Q; the key plays C4 either way. Without a scan code, a
  // letter plays nothing.
  fx_->sendKey(QEvent::KeyPress, Qt::Key_A, *kalvora::ScanCodeOfNote(kQ));
  fx_->sendKey(QEvent::KeyRelease, Qt::Key_A, *kalvora::ScanCodeOfNote(kQ));
  fx_->sendKey(QEvent::KeyPress, Qt::Key_Q, 0);
  fx_->sendKey(QEvent::KeyRelease, Qt::Key_Q, 0);
  QCOMPARE(fx_->noteEvents(), QStringList({"on 60", "off 60"}));
}

void WindowComputerKeysTest::deviceSwitchStopsHeldNotesOnTheOldDevice() {
  using Kind = kalvora::RecordedCall::Kind;
  down(kZ);
  fx_->press(fx_->pixelOf(fx_->form().Button(257)));
  const auto calls = fx_->session().calls();
  QVERIFY(calls.size() >= 2);
  QCOMPARE(calls.back().kind, Kind::kSleep);
  QCOMPARE(calls[calls.size() - 2].kind, Kind::kClose);
  QCOMPARE(fx_->noteEvents(), QStringList({"on 48", "off 48"}));
  fx_->release(fx_->pixelOf(fx_->form().Button(257)));
  up(kZ);
  QCOMPARE(fx_->noteEvents().size(), 2);
}

void WindowComputerKeysTest::controlKeysKeepTheirMeaning() {
  TForm1& f = fx_->form();
  auto press = [this](Qt::Key k, quint32 scanCode) {
    fx_->sendKey(QEvent::KeyPress, k, scanCode);
    fx_->sendKey(QEvent::KeyRelease, k, scanCode);
  };
  // Space and Enter on a focused button are silent.
  f.Button(3)->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Space, kSpaceKey);
  press(Qt::Key_Return, kReturnKey);
  QVERIFY(fx_->session().calls().empty());
  // Tab moves the focus on.
  press(Qt::Key_Tab, kTabKey);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.Button(4)));

  // The arrows, Home, End and Page keys move a focused scroll bar; piano keys do not.
  f.PageControl1->setCurrentWidget(f.TabSheet3);
  QScrollBar* velocity = f.ScrollBar(1);
  velocity->setFocus(Qt::TabFocusReason);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(velocity));
  press(Qt::Key_Right, kRightKey);
  QCOMPARE(velocity->value(), 101);
  press(Qt::Key_Left, kLeftKey);
  press(Qt::Key_Left, kLeftKey);
  QCOMPARE(velocity->value(), 99);
  press(Qt::Key_End, kEndKey);
  QCOMPARE(velocity->value(), 127);
  press(Qt::Key_Home, kHomeKey);
  QCOMPARE(velocity->value(), 0);
  press(Qt::Key_PageUp, kPageUpKey);
  QCOMPARE(velocity->value(), 1);
  QVERIFY(fx_->noteEvents().isEmpty());
  down(kC);
  up(kC);
  QCOMPARE(velocity->value(), 1);
  QCOMPARE(fx_->shortMessages().at(7), (std::vector<std::uint8_t>{0x90, kC, 1}));
  QCOMPARE(fx_->noteEvents(), QStringList({"on 52", "off 52"}));
}

// A key held with the mouse while a computer key plays: each release stops its own note.
void WindowComputerKeysTest::mouseAndKeyboardEachStopTheirOwnNote() {
  const QPoint c4 = fx_->pixelOf(fx_->form().Shape(22));
  fx_->press(c4);
  down(kZ);
  fx_->release(c4);
  up(kZ);
  QCOMPARE(fx_->noteEvents(), QStringList({"on 60", "on 48", "off 60", "off 48"}));
}

QTEST_MAIN(WindowComputerKeysTest)
#include "window_computer_keys_test.moc"
