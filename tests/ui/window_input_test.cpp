// Presses and releases reach the controls as a user makes them: any mouse button, hit-tested by
// Qt at window pixels, released wherever the pointer has gone, and never from the keyboard.
#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>

#include "play/device_state.h"
#include "play/voice_state.h"
#include "ui/key_shape.h"
#include "ui/press_button.h"
#include "window_fixture.h"

using kalvora::test::WindowFixture;
using Bytes = std::vector<std::uint8_t>;

namespace {
// How many note-ons and note-offs were sent, and the notes of the note-ons.
struct Notes {
  int ons = 0;
  int offs = 0;
  std::vector<int> played;
};
Notes NotesOf(const WindowFixture& fx) {
  Notes notes;
  for (const auto& m : fx.shortMessages()) {
    if (m[0] == 0x90) {
      ++notes.ons;
      notes.played.push_back(m[1]);
    }
    if (m[0] == 0x80) ++notes.offs;
  }
  return notes;
}
}  // namespace

class WindowInputTest : public QObject {
  Q_OBJECT
 private slots:
  void everyMouseButtonPressesAndReleases_data();
  void everyMouseButtonPressesAndReleases();
  void doubleClickIsTwoPresses();
  void keyboardActivationDoesNothing();
  void blackKeyTakesThePressWhereItCoversAWhiteKey();
  void releaseOutsideThePressedControlStillStopsTheNote();
  void switchButtonAnswersAnyMouseButton();
  void switchButtonPressedWithTwoButtonsLeavesOneDeviceOpen();
};

void WindowInputTest::everyMouseButtonPressesAndReleases_data() {
  QTest::addColumn<Qt::MouseButton>("button");
  QTest::newRow("left") << Qt::LeftButton;
  QTest::newRow("right") << Qt::RightButton;
  QTest::newRow("middle") << Qt::MiddleButton;
}

void WindowInputTest::everyMouseButtonPressesAndReleases() {
  QFETCH(Qt::MouseButton, button);
  WindowFixture fx;
  fx.show();
  fx.session().clear();
  fx.click(fx.form().Button(5), button);
  QCOMPARE(ProgramNumber, 5);
  fx.click(fx.form().Shape(22), button);
  QCOMPARE(NoteNumber, 60);
  const Notes notes = NotesOf(fx);
  QCOMPARE(notes.ons, 2);
  QCOMPARE(notes.offs, 2);
}

void WindowInputTest::doubleClickIsTwoPresses() {
  WindowFixture fx;
  fx.show();
  fx.session().clear();
  QTest::mouseDClick(fx.form().windowHandle(), Qt::LeftButton, Qt::NoModifier,
                     fx.pixelOf(fx.form().Button(9)));
  const Notes notes = NotesOf(fx);
  QCOMPARE(notes.ons, 2);
  QCOMPARE(notes.offs, 2);
  QCOMPARE(fx.shortMessages().size(), 18u);  // twice the whole set-up and note, twice the note-off
}

void WindowInputTest::keyboardActivationDoesNothing() {
  WindowFixture fx;
  fx.show();
  fx.form().activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&fx.form()));
  for (int n : {3, 257}) {
    auto* button = fx.form().Button(n);
    button->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(button));
    fx.session().clear();
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(button, key);
    QVERIFY(fx.session().calls().empty());
    QVERIFY(!button->isDown());
  }
  QCOMPARE(ProgramNumber, 1);
}

void WindowInputTest::blackKeyTakesThePressWhereItCoversAWhiteKey() {
  WindowFixture fx;
  fx.show();
  TForm1& f = fx.form();
  struct Case {
    QPoint clientPixel;  // in the client area, where the keys stand
    int note;
  };
  const Case cases[] = {
      {{690, 46}, 87},                     // D#6 over E6 and D6
      {{728, 53}, 87},                     // its last pixel column and row
      {{729, 46}, 88},                     // just right of it: the white key above
      {{750, 48}, 86},                     // the row two white keys share belongs to the lower one
      {{700, 298}, 60},                    // the key beside "C4"
      {{700, 293}, 61},                    // C#4 covers its top six rows
      {{700, 294}, 60}, {{740, 289}, 60},  // right of the black key the white key is whole
      {{700, 32}, 88},                     // top key
      {{700, 592}, 29},                    // bottom key's last row
  };
  for (const auto& c : cases) {
    const QPoint pixel = f.clientArea()->mapTo(&f, c.clientPixel);
    fx.session().clear();
    fx.press(pixel);
    fx.release(pixel);
    QCOMPARE(NoteNumber, c.note);
    QCOMPARE(fx.shortMessages().back(), (Bytes{0x80, static_cast<std::uint8_t>(c.note), 0x7F}));
  }
}

void WindowInputTest::releaseOutsideThePressedControlStillStopsTheNote() {
  WindowFixture fx;
  fx.show();
  TForm1& f = fx.form();
  const QPoint far = fx.pixelOf(f.Label(2));
  for (QWidget* control :
       {static_cast<QWidget*>(f.Button(40)), static_cast<QWidget*>(f.Shape(30))}) {
    fx.session().clear();
    fx.press(fx.pixelOf(control));
    QTest::mouseMove(f.windowHandle(), far);
    fx.release(far);
    const Notes notes = NotesOf(fx);
    QCOMPARE(notes.ons, 1);
    QCOMPARE(notes.offs, 1);
  }
  // A release that reaches no control sends nothing.
  fx.session().clear();
  fx.press(far);
  fx.release(far);
  QVERIFY(fx.session().calls().empty());
}

void WindowInputTest::switchButtonAnswersAnyMouseButton() {
  WindowFixture fx({"A", "B", "C"});
  fx.show();
  TForm1& f = fx.form();
  QCOMPARE(DeviceIndex, 0);
  int expected = 0;
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    fx.click(f.Button(257), button);
    expected = (expected + 1) % 3;
    QCOMPARE(DeviceIndex, expected);
    QCOMPARE(f.Label(8)->text(), QString(QChar('A' + expected)));
  }
  // A double click moves on by two.
  QTest::mouseDClick(f.windowHandle(), Qt::LeftButton, Qt::NoModifier, fx.pixelOf(f.Button(257)));
  QCOMPARE(DeviceIndex, (expected + 2) % 3);
}

QTEST_MAIN(WindowInputTest)
void WindowInputTest::switchButtonPressedWithTwoButtonsLeavesOneDeviceOpen() {
  WindowFixture fx({"A", "B", "C"});
  fx.show();
  TForm1& f = fx.form();
  const QPoint at = fx.pixelOf(f.Button(257));
  fx.press(at, Qt::LeftButton);
  fx.press(at, Qt::RightButton);
  fx.release(at, Qt::LeftButton);
  fx.release(at, Qt::RightButton);
  QCOMPARE(DeviceIndex, 2);
  QCOMPARE(fx.session().log().openPorts, (std::multiset<std::size_t>{2}));
  QCOMPARE(f.Label(8)->text(), QString("C"));
}

#include "window_input_test.moc"
