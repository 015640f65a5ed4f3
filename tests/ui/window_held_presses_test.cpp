// A press whose release the window will not see (hidden, minimised, deactivated, the pointer
// taken by another window, the release lost while a button was held from outside the window)
// still ends exactly once: one note-off for each note-on.
#include <QMenu>

#include "play/voice_state.h"
#include "ui/computer_key_notes.h"
#include "window_fixture.h"

using kalvora::test::WindowFixture;

namespace {
// Every note-on answered by exactly one note-off, never an off before its on.
bool Balanced(const QStringList& events, QString* why) {
  QMap<QString, int> sounding;
  for (const QString& e : events) {
    const QString note = e.section(' ', 1);
    const int now = sounding[note] += e.startsWith("on") ? 1 : -1;
    if (now < 0) return *why = "a second note-off for " + note, false;
  }
  for (auto it = sounding.begin(); it != sounding.end(); ++it) {
    if (it.value() != 0) return *why = "note " + it.key() + " left sounding", false;
  }
  return true;
}
}  // namespace

#define QVERIFY_BALANCED(events)                                                  \
  do {                                                                            \
    QString why;                                                                  \
    QVERIFY2(Balanced(events, &why), qPrintable(why + ": " + events.join(", "))); \
  } while (false)

class WindowHeldPressesTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void windowLeftWhileHeld_data();
  void windowLeftWhileHeld();
  void pointerTakenByAPopup();
  void twoButtonsOnOneKey();
  void buttonHeldFromOutsideThenAnotherPresses_data();
  void buttonHeldFromOutsideThenAnotherPresses();
  void buttonHeldFromOutsideThenTwoKeys();
  void heldButtonPressedAgainAfterAComputerKey_data();
  void heldButtonPressedAgainAfterAComputerKey();

 private:
  // A mouse event through the platform's way in, with the state of every button given.
  void mouse(QEvent::Type type, QWidget* control, Qt::MouseButton button, Qt::MouseButtons state,
             QPoint offset = {}) {
    QWindow* window = fx_->form().windowHandle();
    const QPoint at = fx_->pixelOf(control) + offset;
    qt_handleMouseEvent(window, at, window->mapToGlobal(at), state, button, type, Qt::NoModifier,
                        ++timestamp_);
    qApp->processEvents();
  }

  std::unique_ptr<WindowFixture> fx_;
  int timestamp_ = 1'000'000;
};

void WindowHeldPressesTest::init() {
  fx_ = std::make_unique<WindowFixture>();
  fx_->showActive();
  fx_->session().clear();
}

void WindowHeldPressesTest::cleanup() { fx_.reset(); }

void WindowHeldPressesTest::windowLeftWhileHeld_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("hidden") << "hide";
  QTest::newRow("minimised") << "minimise";
  QTest::newRow("deactivated") << "deactivate";
}

void WindowHeldPressesTest::windowLeftWhileHeld() {
  QFETCH(QString, how);
  TForm1& f = fx_->form();
  QWidget other;
  for (QWidget* control :
       {static_cast<QWidget*>(f.Shape(22)), static_cast<QWidget*>(f.Button(9))}) {
    fx_->session().clear();
    f.showNormal();
    fx_->showActive();
    fx_->press(fx_->pixelOf(control), Qt::RightButton);
    if (how == "hide") f.hide();
    if (how == "minimise") f.showMinimized();
    if (how == "deactivate") {
      other.show();
      other.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&other));
    }
    QCOMPARE(fx_->noteEvents(), QStringList({"on 60", "off 60"}));
    // The release, should it come after all, ends nothing more.
    fx_->release(fx_->pixelOf(control), Qt::RightButton);
    QCOMPARE(fx_->noteEvents().size(), 2);
  }
}

void WindowHeldPressesTest::pointerTakenByAPopup() {
  TForm1& f = fx_->form();
  fx_->press(fx_->pixelOf(f.Shape(30)));
  QMenu popup;
  popup.addAction("x");
  popup.popup(f.mapToGlobal(QPoint(100, 100)));
  QVERIFY(QTest::qWaitForWindowExposed(&popup));
  QTest::mouseRelease(popup.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  QCOMPARE(fx_->noteEvents(), QStringList({"on 47", "off 47"}));
  popup.close();
  // A release lost anywhere: the next move without the button says so.
  fx_->session().clear();
  mouse(QEvent::MouseButtonPress, f.Shape(31), Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, f.Shape(31), Qt::NoButton, Qt::NoButton, QPoint(3, 0));
  QCOMPARE(fx_->noteEvents(), QStringList({"on 45", "off 45"}));
}

void WindowHeldPressesTest::twoButtonsOnOneKey() {
  TForm1& f = fx_->form();
  const QPoint key = fx_->pixelOf(f.Shape(22));
  fx_->press(key, Qt::LeftButton);
  fx_->press(key, Qt::RightButton);
  fx_->release(key, Qt::LeftButton);
  fx_->release(key, Qt::RightButton);
  QCOMPARE(fx_->noteEvents(), QStringList({"on 60", "on 60", "off 60", "off 60"}));
}

void WindowHeldPressesTest::buttonHeldFromOutsideThenAnotherPresses_data() {
  QTest::addColumn<Qt::MouseButton>("outside");
  QTest::addColumn<Qt::MouseButton>("inside");
  QTest::addColumn<bool>("insideReleasedFirst");
  const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
  for (Qt::MouseButton outside : buttons) {
    for (Qt::MouseButton inside : buttons) {
      if (inside == outside) continue;
      for (bool first : {true, false}) {
        QTest::addRow("%d then %d, %s released first", int(outside), int(inside),
                      first ? "inner" : "outer")
            << outside << inside << first;
      }
    }
  }
}

void WindowHeldPressesTest::buttonHeldFromOutsideThenAnotherPresses() {
  QFETCH(Qt::MouseButton, outside);
  QFETCH(Qt::MouseButton, inside);
  QFETCH(bool, insideReleasedFirst);
  TForm1& f = fx_->form();
  for (QWidget* control :
       {static_cast<QWidget*>(f.Shape(40)), static_cast<QWidget*>(f.Button(2))}) {
    fx_->session().clear();
    mouse(QEvent::MouseButtonPress, control, inside, outside | inside);
    if (insideReleasedFirst) {
      mouse(QEvent::MouseButtonRelease, control, inside, outside);
      mouse(QEvent::MouseButtonRelease, control, outside, Qt::NoButton);
    } else {
      mouse(QEvent::MouseButtonRelease, control, outside, inside);
      mouse(QEvent::MouseButtonRelease, control, inside, Qt::NoButton);
    }
    QCOMPARE(fx_->noteEvents().size(), 2);
    QVERIFY_BALANCED(fx_->noteEvents());
  }
}

void WindowHeldPressesTest::buttonHeldFromOutsideThenTwoKeys() {
  TForm1& f = fx_->form();
  const Qt::MouseButtons all = Qt::LeftButton | Qt::RightButton | Qt::MiddleButton;
  mouse(QEvent::MouseButtonPress, f.Shape(22), Qt::RightButton, Qt::LeftButton | Qt::RightButton);
  mouse(QEvent::MouseButtonPress, f.Shape(25), Qt::MiddleButton, all);
  mouse(QEvent::MouseButtonRelease, f.Shape(25), Qt::RightButton,
        Qt::LeftButton | Qt::MiddleButton);
  mouse(QEvent::MouseButtonRelease, f.Shape(25), Qt::LeftButton, Qt::MiddleButton);
  mouse(QEvent::MouseButtonRelease, f.Shape(25), Qt::MiddleButton, Qt::NoButton);
  const QStringList events = fx_->noteEvents();
  QVERIFY2(events.filter(QRegularExpression("^on")).size() >= 2, qPrintable(events.join(", ")));
  QVERIFY_BALANCED(events);
  QCOMPARE(NoteNumber, 60);  // the second press went to the key already held, as a grab does
}

void WindowHeldPressesTest::heldButtonPressedAgainAfterAComputerKey_data() {
  QTest::addColumn<bool>("onAKey");
  QTest::newRow("program button") << false;
  QTest::newRow("on-screen key") << true;
}

// Held with one mouse button, pressed again with another after a computer key has changed the
// note: each press's release stops the note that press started.
void WindowHeldPressesTest::heldButtonPressedAgainAfterAComputerKey() {
  QFETCH(bool, onAKey);
  TForm1& f = fx_->form();
  QWidget* control = onAKey ? static_cast<QWidget*>(f.Shape(22)) : f.Button(1);
  const quint32 z = *kalvora::ScanCodeOfNote(48);
  mouse(QEvent::MouseButtonPress, control, Qt::RightButton, Qt::RightButton);
  fx_->sendKey(QEvent::KeyPress, Qt::Key_Z, z);
  fx_->sendKey(QEvent::KeyRelease, Qt::Key_Z, z);
  mouse(QEvent::MouseButtonPress, control, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
  mouse(QEvent::MouseButtonRelease, control, Qt::LeftButton, Qt::RightButton);
  mouse(QEvent::MouseButtonRelease, control, Qt::RightButton, Qt::NoButton);
  const QString second = onAKey ? "60" : "48";  // a key plays its own note again
  QCOMPARE(fx_->noteEvents(),
           QStringList({"on 60", "on 48", "off 48", "on " + second, "off " + second, "off 60"}));
}

QTEST_MAIN(WindowHeldPressesTest)
#include "window_held_presses_test.moc"
