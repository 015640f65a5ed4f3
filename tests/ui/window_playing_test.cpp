// Playing from the window as a user does: program and bank buttons, keys, effect levels and maps,
// each checked by what reaches the device and what the window then shows.
#include <sys/resource.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <csignal>

#include "app/form_messages.h"
#include "app/save_path.h"
#include "play/rhythm_part.h"
#include "play/voice_state.h"
#include "support/press_messages.h"
#include "support/temp_folder.h"
#include "ui/drum_page.h"
#include "ui/search_page.h"
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
  void savedMidiFileReadsBackAsTheResetThePressAndOneBar();
  void aSaveThatCannotBeWrittenSaysSoAndLeavesNoFile();
  void aFileIsReplacedOnlyWhenTheDialogSaysSo();
  void restingThePointerOnAButtonPreparesWhatItsPressChooses();

 private:
  std::unique_ptr<WindowFixture> fx_;
};

void WindowPlayingTest::init() {
  fx_ = std::make_unique<WindowFixture>();
  fx_->show();
  fx_->session().clear();
}

void WindowPlayingTest::cleanup() {
  kalvora::SetSavePathFunction({});
  fx_.reset();
}

namespace {
// Ctrl+S, with the save dialog answered by answer (the path, or empty for a cancel); returns the
// path the dialog was offered.
QString SaveWithCtrlS(WindowFixture& fx, const QString& answer) {
  QString offered;
  kalvora::SetSavePathFunction([&](const QString& suggested) {
    offered = suggested;
    return answer;
  });
  fx.showActive();
  QTest::keyClick(fx.form().windowHandle(), Qt::Key_S, Qt::ControlModifier);
  return offered;
}

// The file as python3-mido reads it, one line per event.
QStringList ReadWithMido(const QString& path) {
  QProcess reader;
  reader.start("/usr/bin/python3", {KALVORA_READ_MIDI_FILE, path});
  if (!reader.waitForFinished(10000) || reader.exitCode() != 0) {
    return {"reader failed: " + QString::fromUtf8(reader.readAllStandardError())};
  }
  return QString::fromUtf8(reader.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QString Hex(const Bytes& message) {
  QStringList bytes;
  for (const std::uint8_t b : message) bytes << QString("%1").arg(b, 2, 16, QChar('0')).toUpper();
  return bytes.join(' ');
}
}  // namespace

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
  QCOMPARE(fx_->shortMessages(), PressAndRelease(127, 0, 42, 127, 0, 4, 1, 60, 0));
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

// The file Ctrl+S saves holds what a press of the same tone sends, read back by a reader of its
// own: the GS Reset at tick 0, the press's set-up 100 ms (96 ticks at tempo 120) later with its
// note-on, and the note-off one bar on.
void WindowPlayingTest::savedMidiFileReadsBackAsTheResetThePressAndOneBar() {
  TForm1& f = fx_->form();
  f.ShapeMouseDown(1);  // note 88
  f.ShapeMouseUp(1);
  f.ButtonMouseDown(137);  // bank 8
  f.ButtonMouseUp(137);
  fx_->session().clear();
  f.ButtonMouseDown(5);
  f.ButtonMouseUp(5);
  const auto press = fx_->shortMessages();
  QCOMPARE(f.Button(5)->text(), QString("5: St.Soft EP"));

  kalvora::test::TempFolder folder;
  const QString path = QString::fromStdString((folder / "song.mid").string());
  const QString offered = SaveWithCtrlS(*fx_, path);
  QCOMPARE(QFileInfo(offered).fileName(), QString("SC-8850 005-008 St.Soft EP.mid"));
  QStringList expected{"format 0, 480 ticks per quarter note, 1 track", "0 name St.Soft EP",
                       "0 tempo 500000", "0 time 4/4", "0 F0 41 10 42 12 40 00 7F 00 41 F7"};
  for (std::size_t i = 0; i + 1 < press.size(); ++i) expected << "96 " + Hex(press[i]);
  expected << "2016 " + Hex(press.back()) << "2016 end_of_track";
  QCOMPARE(ReadWithMido(path), expected);
  QCOMPARE(folder.entries(), std::vector<std::string>{"song.mid"});

  // Marks a file system may give a meaning to are left out of the name offered.
  for (const auto& [program, bank, name] :
       {std::tuple{34, 16, "SC-8850 034-016 F.Bass_Harm.mid"},
        std::tuple{43, 0, "SC-8850 043-000 Cello_.mid"},
        std::tuple{102, 25, "SC-8850 102-025 Noise_SawHit.mid"}}) {
    ProgramNumber = program;
    BankNumber = bank;
    QCOMPARE(QFileInfo(SaveWithCtrlS(*fx_, QString())).fileName(), QString(name));
  }
}

// A folder that refuses the file, and a file the disk will not take in full (a size limit stands
// in for a full disk): a message box says so, and no part of the file is left.
void WindowPlayingTest::aSaveThatCannotBeWrittenSaysSoAndLeavesNoFile() {
  kalvora::test::TempFolder folder;
  const auto notAFolder = folder.write("not a folder", "mine");
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  for (const bool diskFull : {false, true}) {
    const auto path = diskFull ? folder / "song.mid" : notAFolder / "song.mid";
    rlimit small = before;
    small.rlim_cur = diskFull ? 16 : before.rlim_cur;
    setrlimit(RLIMIT_FSIZE, &small);
    fx_->session().clear();
    SaveWithCtrlS(*fx_, QString::fromStdString(path.string()));
    setrlimit(RLIMIT_FSIZE, &before);
    const auto messages = fx_->session().messages();
    QCOMPARE(messages.size(), std::size_t{1});
    QVERIFY(messages[0].starts_with(kalvora::form::kMidiFileUnwritable + path.string() + "\n"));
    QCOMPARE(folder.entries(), std::vector<std::string>{"not a folder"});
  }
  std::signal(SIGXFSZ, previous);
}

// The dialog asks before replacing a file: a cancel leaves it, a confirmation replaces it whole.
void WindowPlayingTest::aFileIsReplacedOnlyWhenTheDialogSaysSo() {
  kalvora::test::TempFolder folder;
  const auto path = folder.write("song.mid", "the user's own");
  SaveWithCtrlS(*fx_, QString());
  QCOMPARE(kalvora::test::ReadBytes(path), std::string("the user's own"));
  SaveWithCtrlS(*fx_, QString::fromStdString(path.string()));
  QVERIFY(kalvora::test::ReadBytes(path).starts_with("MThd"));
  QCOMPARE(ReadWithMido(QString::fromStdString(path.string())).size(), 15);
  QCOMPARE(folder.entries(), std::vector<std::string>{"song.mid"});
  QVERIFY(fx_->session().messages().empty());
}

// Resting the pointer on a program, bank or drum-set button hands the device the set-up its press
// would send, for a synth to load the tone ahead; a pointer that moves on is outrun by the next
// button; nothing is sent.
void WindowPlayingTest::restingThePointerOnAButtonPreparesWhatItsPressChooses() {
  TForm1& f = fx_->form();
  const auto lastPrepared = [this] {
    const auto prepared = fx_->session().log().of(kalvora::RecordedCall::Kind::kPrepare);
    return prepared.empty() ? Bytes{} : prepared.back().bytes;
  };
  const auto setUpOf = [](const kalvora::test::Voice& voice) {
    const auto press = kalvora::test::PressBytes(voice);
    Bytes bytes;
    for (auto message = press.begin(); message + 1 != press.end(); ++message)
      bytes.insert(bytes.end(), message->begin(), message->end());
    return bytes;
  };
  const auto rest = [&](const QWidget* button) {
    QTest::mouseMove(f.windowHandle(), fx_->pixelOf(button));
  };
  rest(f.Button(4));
  rest(f.Button(5));
  QTRY_COMPARE(lastPrepared(), setUpOf({.program = 5}));

  f.PageControl1->setCurrentWidget(f.TabSheet2);
  QTRY_VERIFY(f.Button(137)->isVisible());
  rest(f.Button(137));
  QTRY_COMPARE(lastPrepared(), setUpOf({.bank = 8}));

  // Showing the drum page prepares the set its keys play; resting on a set's button, that set.
  const auto drumSetUp = [](int set) {
    const auto program = static_cast<std::uint8_t>(set - 1);
    return Bytes{0xB9, 0x0A, 64, 0xB9, 0x5B, 40, 0xB9, 0x5D,   0,
                 0xB9, 0x00, 0,  0xB9, 0x20, 4,  0xC9, program};
  };
  f.PageControl1->setCurrentWidget(f.TabSheet4);
  QCOMPARE(lastPrepared(), drumSetUp(kalvora::PlayedDrumSet().program));
  QTRY_VERIFY(f.TabSheet4->button(2)->isVisible());
  rest(f.TabSheet4->button(2));
  QTRY_COMPARE(lastPrepared(), drumSetUp(f.TabSheet4->programOfButton(2)));

  // A search line, by the pointer and by the keys.
  f.PageControl1->setCurrentWidget(f.TabSheet5);
  f.TabSheet5->field()->setText("honky tonk");
  QListView* list = f.TabSheet5->list();
  QTRY_VERIFY(list->isVisible() && f.TabSheet5->entry(1) != nullptr);
  const auto lineSetUp = [&](int row) {
    const kalvora::FoundName& e = *f.TabSheet5->entry(row);
    return setUpOf({.program = e.program, .bank = e.bank, .map = e.map});
  };
  QTRY_VERIFY(list->viewport()->width() > 200);  // laid out
  list->setCurrentIndex(list->model()->index(1, 0));
  QTRY_COMPARE(lastPrepared(), lineSetUp(1));
  const QRect line0 = list->visualRect(list->model()->index(0, 0));
  QTest::mouseMove(f.windowHandle(), fx_->pixelOf(list->viewport(), line0.center()));
  QTRY_COMPARE(lastPrepared(), lineSetUp(0));
  QVERIFY(fx_->shortMessages().empty());
}

QTEST_MAIN(WindowPlayingTest)
#include "support/press_messages.h"
#include "window_playing_test.moc"
