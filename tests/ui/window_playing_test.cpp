// Playing from the window as a user does: program and bank buttons, keys, effect levels and maps,
// each checked by what reaches the device and what the window then shows.
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include "play/voice_state.h"
#include "support/press_messages.h"
#include "window_fixture.h"

using kalvora::test::WindowFixture;
using Bytes = std::vector<std::uint8_t>;

namespace {
// The eight messages of one press, then its note-off.
std::vector<Bytes> PressAndRelease(int pan, int modulation, int reverb, int chorus, int bank,
                                   int map, int program, int note, int velocity) {
  const kalvora::test::Voice voice{.program = program,
                                   .bank = bank,
                                   .map = map,
                                   .note = note,
                                   .velocity = velocity,
                                   .chorus = chorus,
                                   .reverb = reverb,
                                   .modulation = modulation,
                                   .pan = pan};
  std::vector<Bytes> bytes = kalvora::test::PressBytes(voice);
  const auto release = kalvora::test::ReleaseMessage(voice);
  bytes.emplace_back(release.begin(), release.end());
  return bytes;
}
}  // namespace

class WindowPlayingTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void programButtonsAtTheEdges();
  void bankButtonsAtTheEdgesThenAProgram();
  void keysFromBottomToTop();
  void scrollBarsStoreTheirLevelForTheNextNote();
  void mapChangeIsHeardAtOnceButShownOnlyAtTheNextNote();
  void tickingTheTickedMapChangesNothing();
  void ampersandShowsOnItsButton();

 private:
  std::unique_ptr<WindowFixture> fx_;
};

void WindowPlayingTest::init() {
  fx_ = std::make_unique<WindowFixture>();
  fx_->show();
  fx_->session().clear();
}

void WindowPlayingTest::cleanup() { fx_.reset(); }

void WindowPlayingTest::programButtonsAtTheEdges() {
  TForm1& f = fx_->form();
  fx_->click(f.Button(1));
  fx_->click(f.Button(128));
  auto expected = PressAndRelease(64, 0, 40, 0, 0, 4, 1, 60, 100);
  const auto second = PressAndRelease(64, 0, 40, 0, 0, 4, 128, 60, 100);
  expected.insert(expected.end(), second.begin(), second.end());
  QCOMPARE(fx_->shortMessages(), expected);
  QCOMPARE(f.Label(10)->text(), QString("128"));
  QCOMPARE(f.Label(12)->text(), QString("0"));
  // The bank page now lists program 128's banks.
  QCOMPARE(f.Button(129)->text(), QString("0: Gun Shot"));
  QCOMPARE(f.Button(130)->text(), QString("1: Machine Gun"));
}

void WindowPlayingTest::bankButtonsAtTheEdgesThenAProgram() {
  TForm1& f = fx_->form();
  f.PageControl1->setCurrentWidget(f.TabSheet2);
  QTRY_VERIFY(f.Button(129)->isVisible());
  fx_->session().clear();
  fx_->click(f.Button(256));
  QCOMPARE(fx_->shortMessages()[4], (Bytes{0xB0, 0x00, 127}));
  QCOMPARE(f.Label(12)->text(), QString("127"));
  fx_->click(f.Button(137));  // bank 8
  QCOMPARE(BankNumber, 8);
  QCOMPARE(f.Button(1)->text(), QString("1: Upright Piano w"));
  f.PageControl1->setCurrentWidget(f.TabSheet1);
  QTRY_VERIFY(f.Button(5)->isVisible());
  fx_->session().clear();
  fx_->click(f.Button(5));  // the new program in the bank chosen before
  QCOMPARE(fx_->shortMessages(), PressAndRelease(64, 0, 40, 0, 8, 4, 5, 60, 100));
  QCOMPARE(f.Button(137)->text(), QString("8: St.Soft EP"));
  f.PageControl1->setCurrentWidget(f.TabSheet2);
  QTRY_VERIFY(f.Button(129)->isVisible());
  fx_->session().clear();
  fx_->click(f.Button(129));
  QCOMPARE(fx_->shortMessages()[4], (Bytes{0xB0, 0x00, 0}));
}

void WindowPlayingTest::keysFromBottomToTop() {
  TForm1& f = fx_->form();
  struct Case {
    int shape;
    int note;
  };
  for (const Case c :
       {Case{1, 88}, Case{59, 29}, Case{22, 60}, Case{60, 30}, Case{4, 87}, Case{36, 36}}) {
    fx_->session().clear();
    fx_->click(f.Shape(c.shape));
    QCOMPARE(fx_->shortMessages(), PressAndRelease(64, 0, 40, 0, 0, 4, 1, c.note, 100));
  }
  // Program buttons play the last key's note.
  fx_->session().clear();
  fx_->click(f.Button(2));
  QCOMPARE(fx_->shortMessages()[7], (Bytes{0x90, 36, 100}));
  QCOMPARE(f.Label(10)->text(), QString("2"));
}

void WindowPlayingTest::scrollBarsStoreTheirLevelForTheNextNote() {
  TForm1& f = fx_->form();
  f.PageControl1->setCurrentWidget(f.TabSheet3);
  struct Case {
    int bar;
    QAbstractSlider::SliderAction action;
    int value;
  };
  const Case cases[] = {
      {1, QAbstractSlider::SliderToMinimum, 0},      {2, QAbstractSlider::SliderToMaximum, 127},
      {3, QAbstractSlider::SliderSingleStepAdd, 41}, {4, QAbstractSlider::SliderPageStepSub, 0},
      {5, QAbstractSlider::SliderToMinimum, 0},      {5, QAbstractSlider::SliderToMaximum, 127}};
  for (const auto& c : cases) {
    f.ScrollBar(c.bar)->triggerAction(c.action);
    QCOMPARE(f.Label(13 + 2 * c.bar)->text(), QString::number(c.value));
  }
  QVERIFY(fx_->session().calls().empty());  // moving a bar sends nothing
  // The keyboard moves a focused bar too.
  f.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&f));
  f.ScrollBar(3)->setFocus();
  QTest::keyClick(f.ScrollBar(3), Qt::Key_Right);
  QCOMPARE(f.Label(19)->text(), QString("42"));
  fx_->click(f.Shape(22));
  // The velocity bar at 0 plays the quietest note.
  QCOMPARE(fx_->shortMessages(), PressAndRelease(127, 0, 42, 127, 0, 4, 1, 60, 1));
}

void WindowPlayingTest::mapChangeIsHeardAtOnceButShownOnlyAtTheNextNote() {
  TForm1& f = fx_->form();
  f.PageControl1->setCurrentWidget(f.TabSheet3);
  QTRY_VERIFY(f.RadioButton(5)->isVisible());
  fx_->click(f.RadioButton(5));  // GM
  QVERIFY(f.RadioButton(5)->isChecked());
  QVERIFY(!f.RadioButton(1)->isChecked());
  QCOMPARE(MapIndex, 0);
  QVERIFY(fx_->session().calls().empty());
  QCOMPARE(f.Button(130)->text(), QString("1: UprightPiano"));  // still the SC-8850 names
  fx_->click(f.Shape(22));
  QCOMPARE(fx_->shortMessages()[5], (Bytes{0xB0, 0x20, 0}));
  QCOMPARE(f.Button(130)->text(), QString("1: "));  // now the GM names
  QCOMPARE(f.Button(31)->text(), QString("31: "));
  fx_->click(f.RadioButton(4));  // SC-55
  fx_->session().clear();
  fx_->click(f.Shape(22));
  QCOMPARE(fx_->shortMessages()[5], (Bytes{0xB0, 0x20, 1}));
  QCOMPARE(f.Button(31)->text(), QString("31: Dist. Gt."));
}

void WindowPlayingTest::tickingTheTickedMapChangesNothing() {
  TForm1& f = fx_->form();
  f.PageControl1->setCurrentWidget(f.TabSheet3);
  QTRY_VERIFY(f.RadioButton(1)->isVisible());
  fx_->click(f.RadioButton(1));
  QVERIFY(f.RadioButton(1)->isChecked());
  QCOMPARE(MapIndex, 4);
  QVERIFY(fx_->session().calls().empty());
}

void WindowPlayingTest::ampersandShowsOnItsButton() {
  TForm1& f = fx_->form();
  fx_->click(f.Button(88));
  const QString caption = f.Button(129)->text();
  // What the button draws: "&&" is a literal "&", and the button has no shortcut.
  QCOMPARE(QString(caption).replace("&&", "&"), QString("0: Bass& Lead"));
  QVERIFY(QKeySequence::mnemonic(caption).isEmpty());
  QVERIFY(f.Button(129)->shortcut().isEmpty());
  QCOMPARE(f.Button(88)->text(), QString("88: Bass&& Lead"));
}

QTEST_MAIN(WindowPlayingTest)
#include "support/press_messages.h"
#include "window_playing_test.moc"
