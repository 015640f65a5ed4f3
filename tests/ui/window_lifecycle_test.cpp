// Start-up and close on the real window: the device calls and waits in order, the failure
// messages, the settings file read and written, and the mends around it.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <string>

#include "app/message_box.h"
#include "app/open_failure_text.h"
#include "app/program_title.h"
#include "play/device_state.h"
#include "play/voice_state.h"
#include "support/temp_folder.h"
#include "ui/keyboard_layout.h"
#include "window_fixture.h"

using kalvora::OpenFailureText;
using kalvora::OpenStatus;
using kalvora::RecordedCall;
using kalvora::test::WindowFixture;
using Kind = RecordedCall::Kind;

Q_DECLARE_METATYPE(kalvora::OpenStatus)

namespace {
constexpr char kFirstRunFile[] =
    "[window]\r\nHeight=664\r\nWidth=831\r\nTop=159\r\nLeft=193\r\n\r\n[dev]\r\ndev_num=0\r\nmap="
    "4\r\n\r\n";
constexpr char kNoDevices[] = "ＭＩＤＩ音源がないのでこのソフトは利用できません";

std::vector<Kind> KindsOf(const std::vector<RecordedCall>& calls) {
  std::vector<Kind> kinds;
  for (const auto& c : calls) kinds.push_back(c.kind);
  return kinds;
}

// The window as a user could tell it apart: every control in creation order (kind, place, text,
// font, focus, visibility), the focus chain, and the window's own title, icon and frame.
QStringList Describe(const TForm1& window) {
  QStringList lines;
  for (const QWidget* w : window.findChildren<QWidget*>()) {
    const QRect g = w->geometry();
    lines << QString("%1 %2,%3 %4x%5 [%6] %7 focus=%8 shown=%9")
                 .arg(w->metaObject()->className())
                 .arg(g.x())
                 .arg(g.y())
                 .arg(g.width())
                 .arg(g.height())
                 .arg(w->property("text").toString(), w->font().toString())
                 .arg(static_cast<int>(w->focusPolicy()))
                 .arg(w->isVisibleTo(&window));
  }
  for (const QWidget* w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain()) {
    lines << QString("focus chain: %1 at %2,%3")
                 .arg(w->metaObject()->className())
                 .arg(w->x())
                 .arg(w->y());
  }
  QStringList iconSizes;
  for (const QSize& size : window.windowIcon().availableSizes()) {
    iconSizes << QString("%1x%2").arg(size.width()).arg(size.height());
  }
  lines << window.windowTitle() << iconSizes.join(' ');
  const QRect frame = window.outerGeometry();
  lines << QString("frame %1,%2 %3x%4")
               .arg(frame.x())
               .arg(frame.y())
               .arg(frame.width())
               .arg(frame.height());
  return lines;
}

int OpenedPort(WindowFixture& fx) {
  const auto opens = fx.session().log().of(Kind::kOpen);
  return opens.empty() ? -1 : static_cast<int>(opens.front().port);
}
}  // namespace

class WindowLifecycleTest : public QObject {
  Q_OBJECT
 private slots:
  void firstRunOpensResetsWaitsAndWritesTheTenLines();
  void windowBuiltWhileTheModuleSettlesIsTheSameWindow();
  void storedValuesAreRestoredWhateverTheirCase();
  void eachOpenResultHasItsText_data();
  void eachOpenResultHasItsText();
  void eachOpenFailureShowsItsText_data();
  void eachOpenFailureShowsItsText();
  void noDevicesGivesTwoMessagesThenAWorkingWindow();
  void storedDeviceNumbersAreClampedOrPassedOn();
  void storedMapOutsideTheTableFallsBackToSc8850();
  void unknownSectionsSurviveAndCommentsDoNot();
  void executableFolderWithoutRoomUsesTheUserFolder();
  void unreadableSettingsAreReportedAndNeverOverwritten();
  void failedWriteIsReportedAndKeepsTheOldFile();
  void windowOffEveryScreenComesBackOnThePrimary();
  void storedSizeLargerThanTheScreenIsCutToIt();
  void closingWithAKeyHeldLeavesNothingSounding();
  void messageBoxIsModalCentredAndTitled();
  void messageBoxShowsItsWholeTitleInTheWindowsFontWithoutMinimiseOrMaximise();
  void programTitleComesFromTheExecutableName();
};

void WindowLifecycleTest::firstRunOpensResetsWaitsAndWritesTheTenLines() {
  WindowFixture fx({"Module A", "Module B"});
  TForm1& f = fx.form();
  const auto& calls = fx.session().calls();
  QCOMPARE(KindsOf(calls),
           (std::vector<Kind>{Kind::kList, Kind::kOpen, Kind::kLong, Kind::kSleep}));
  QCOMPARE(calls[1].port, 0u);
  QCOMPARE(calls[2].bytes, std::vector<std::uint8_t>(GsResetMessage.begin(), GsResetMessage.end()));
  QCOMPARE(calls[3].port, 100u);
  QCOMPARE(f.Label(8)->text(), QString("Module A"));
  QVERIFY(f.RadioButton(1)->isChecked());
  QCOMPARE(MapIndex, 4);
  QCOMPARE(f.Button(1)->text(), QString("1: Piano 1"));
  QCOMPARE(f.Button(130)->text(), QString("1: UprightPiano"));
  QVERIFY(f.Label(10)->text().isEmpty());  // no note at start
  QCOMPARE(f.outerGeometry(), QRect(193, 159, 831, 664));
  QCOMPARE(NoteNumber, 60);
  QCOMPARE(Velocity, 100);
  QCOMPARE(ReverbLevel, 40);
  QCOMPARE(PanPosition, 64);
  f.close();
  QCOMPARE(fx.session().calls().back().kind, Kind::kClose);
  QCOMPARE(fx.settingsFileBytes(), QByteArray(kFirstRunFile));
}

void WindowLifecycleTest::windowBuiltWhileTheModuleSettlesIsTheSameWindow() {
  QStringList builtFirst;
  {
    WindowFixture fx;
    builtFirst = Describe(fx.form());
  }
  WindowFixture fx({"Module A"}, {}, {}, false, TForm1::ControlsBuilt::kWhileModuleSettles);
  TForm1& f = fx.form();
  QCOMPARE(f.Button(1), nullptr);
  QCOMPARE(f.Shape(1), nullptr);
  // Seen from inside the wait that follows the reset: every control made and the window ready on
  // the display, still hidden.
  bool readyInTheWait = false;
  const auto recording = kalvora::SetSleepFunction([&](int ms) {
    const auto& calls = fx.session().calls();
    readyInTheWait = ms == 100 && !calls.empty() && calls.back().kind == Kind::kLong &&
                     f.Button(256) && f.Shape(60) && f.Label(23) && f.ScrollBar(5) &&
                     f.RadioButton(5) && f.testAttribute(Qt::WA_WState_Created) && !f.isVisible();
  });
  f.FormCreate();
  kalvora::SetSleepFunction(recording);
  QVERIFY(readyInTheWait);
  QCOMPARE(Describe(f), builtFirst);
  // And it plays.
  fx.show();
  fx.click(f.Shape(28));
  const auto note = static_cast<std::uint8_t>(kalvora::KeyOf(28).note);
  QCOMPARE(fx.shortMessages().at(7), (std::vector<std::uint8_t>{0x90, note, 100}));
}

void WindowLifecycleTest::storedValuesAreRestoredWhateverTheirCase() {
  const QByteArray file =
      "[WINDOW]\r\nheight=0x200\nWIDTH=$2BC\rtop=+20\r\nLeft=-5\r\n[DEV]\r\nDEV_NUM=1\r\nMap=2\r\n";
  WindowFixture fx({"A", "B"}, {}, file);
  TForm1& f = fx.form();
  QCOMPARE(f.outerGeometry(), QRect(-5, 20, 700, 512));
  QCOMPARE(OpenedPort(fx), 1);
  QCOMPARE(MapIndex, 2);
  QVERIFY(f.RadioButton(3)->isChecked());
  QCOMPARE(f.Button(1)->text(), QString("1: Piano 1"));
  QCOMPARE(f.Button(137)->text(), QString("8: Piano 1w"));  // SC-88 map names
  DeviceIndex = 0;
  MapIndex = 0;
  f.close();
  // Sections keep their names, keys take the names written now.
  QCOMPARE(fx.settingsFileBytes(),
           QByteArray("[WINDOW]\r\nHeight=512\r\nWidth=700\r\nTop=20\r\nLeft=-5\r\n\r\n"
                      "[DEV]\r\ndev_num=0\r\nmap=0\r\n\r\n"));
}

void WindowLifecycleTest::eachOpenResultHasItsText_data() {
  QTest::addColumn<unsigned>("code");
  QTest::addColumn<QString>("text");
  const char* named[] = {"ERROR",
                         "BADDEVICEID",
                         "NOTENABLED",
                         "ALLOCATED",
                         "指定されたデバイス ハンドルが無効です。",
                         "NODRIVER",
                         "メモリの割り当てまたはロックができません。",
                         "NOTSUPPORTED",
                         "BADERRNUM",
                         "INVALFLAG",
                         "INVALPARAM",
                         "HANDLEBUSY",
                         "INVALIDALIAS"};
  for (unsigned code = 1; code <= 13; ++code) {
    QTest::addRow("%u", code) << code << QString::fromUtf8(named[code - 1]);
  }
  for (unsigned code : {14u, 17u, 19u, 21u, 64u, 1000u}) {
    QTest::addRow("%u", code) << code << QString("ＭＩＤＩデバイスが開けません");
  }
  QTest::addRow("20") << 20u << QString("LASTERROR");
}

void WindowLifecycleTest::eachOpenResultHasItsText() {
  QFETCH(unsigned, code);
  QFETCH(QString, text);
  QCOMPARE(QString::fromUtf8(OpenFailureText(code)), text);
}

// What each way a backend's open can fail shows at start-up, through the whole window.
void WindowLifecycleTest::eachOpenFailureShowsItsText_data() {
  QTest::addColumn<OpenStatus>("status");
  QTest::addColumn<QString>("text");
  QTest::addRow("bad device") << OpenStatus::kBadDevice << QString("BADDEVICEID");
  QTest::addRow("in use") << OpenStatus::kInUse << QString("ALLOCATED");
  QTest::addRow("no driver") << OpenStatus::kNoDriver << QString("NODRIVER");
  QTest::addRow("no memory") << OpenStatus::kNoMemory
                             << QString("メモリの割り当てまたはロックができません。");
  QTest::addRow("failed") << OpenStatus::kFailed << QString("ERROR");
}

void WindowLifecycleTest::eachOpenFailureShowsItsText() {
  QFETCH(OpenStatus, status);
  QFETCH(QString, text);
  WindowFixture fx({"Broken"}, {status});
  const auto messages = fx.session().messages();
  QCOMPARE(messages.size(), 1u);
  QCOMPARE(QString::fromStdString(messages[0]), text);
  // Start-up goes on: the reset goes nowhere, the wait and the name still happen.
  const auto& calls = fx.session().calls();
  QCOMPARE(KindsOf(calls),
           (std::vector<Kind>{Kind::kList, Kind::kOpen, Kind::kMessage, Kind::kSleep}));
  QCOMPARE(fx.form().Label(8)->text(), QString("Broken"));
}

void WindowLifecycleTest::noDevicesGivesTwoMessagesThenAWorkingWindow() {
  WindowFixture fx(std::vector<std::string>{});
  QCOMPARE(fx.session().messages(), (std::vector<std::string>{kNoDevices, "BADDEVICEID"}));
  QCOMPARE(DeviceCount, 0);
  fx.show();
  fx.click(fx.form().Button(128));
  QCOMPARE(fx.form().Label(10)->text(), QString("128"));
  QCOMPARE(fx.form().Button(129)->text(), QString("0: Gun Shot"));
  QVERIFY(fx.session().sentBytes().empty());
}

void WindowLifecycleTest::storedDeviceNumbersAreClampedOrPassedOn() {
  struct Case {
    const char* stored;
    int openedPort;  // -1: no open reached a device
    int deviceIndex;
  };
  const Case cases[] = {{"3", 0, 0}, {"7", 0, 0}, {"2", 2, 2}, {"-1", -1, -1}, {"junk", 0, 0}};
  for (const auto& c : cases) {
    WindowFixture fx({"A", "B", "C"}, {}, QByteArray("[dev]\r\ndev_num=") + c.stored + "\r\n");
    QCOMPARE(OpenedPort(fx), c.openedPort);
    QCOMPARE(DeviceIndex, c.deviceIndex);
    if (c.openedPort < 0) {
      QCOMPARE(fx.session().messages(), (std::vector<std::string>{"BADDEVICEID"}));
      QVERIFY(fx.form().Label(8)->text().isEmpty());
    }
  }
}

void WindowLifecycleTest::storedMapOutsideTheTableFallsBackToSc8850() {
  for (const char* stored : {"5", "-1", "2147483647", "0x7FFFFFFF"}) {
    WindowFixture fx({"A"}, {}, QByteArray("[dev]\r\nmap=") + stored + "\r\n");
    QCOMPARE(MapIndex, 4);
    QVERIFY(fx.form().RadioButton(1)->isChecked());
    QCOMPARE(fx.form().Button(1)->text(), QString("1: Piano 1"));
    fx.form().close();
    QVERIFY(fx.settingsFileBytes().contains("map=4\r\n"));
  }
}

void WindowLifecycleTest::unknownSectionsSurviveAndCommentsDoNot() {
  const QByteArray file =
      "stray line\r\n[mine]\r\n; a comment\r\nkeep=me\r\nloose line\r\n[dev]\r\nmap=1\r\n";
  WindowFixture fx({"A"}, {}, file);
  QCOMPARE(MapIndex, 1);
  fx.form().close();
  QCOMPARE(fx.settingsFileBytes(),
           QByteArray("[mine]\r\nkeep=me\r\nloose line\r\n\r\n[dev]\r\nmap=1\r\ndev_num=0\r\n\r\n"
                      "[window]\r\nHeight=664\r\nWidth=831\r\nTop=159\r\nLeft=193\r\n\r\n"));
}

void WindowLifecycleTest::executableFolderWithoutRoomUsesTheUserFolder() {
  kalvora::test::TempFolder dir;
  // The executable's "folder" is a file, so nothing can be created beside the executable.
  QVERIFY(std::filesystem::is_regular_file(dir.write("not-a-folder", "")));
  kalvora::test::RecordingSession session({"A"});
  TForm1 form;
  form.setExecutablePath((dir / "not-a-folder/kalvora").string());
  form.setSettingsFallbackFolder((dir / "config").string());
  form.FormCreate();
  MapIndex = 2;
  form.close();
  QVERIFY(kalvora::test::ReadBytes(dir / "config/kalvora.ini").find("map=2\r\n") !=
          std::string::npos);
  QVERIFY(session.messages().empty());
}

void WindowLifecycleTest::unreadableSettingsAreReportedAndNeverOverwritten() {
  WindowFixture probe({"A"}, {}, {}, false);
  // A folder where the file should be cannot be read as one.
  QVERIFY(QDir().mkpath(probe.settingsPath()));
  WindowFixture& fx = probe;
  fx.form().FormCreate();
  const auto messages = fx.session().messages();
  QCOMPARE(messages.size(), 1u);
  QVERIFY(QString::fromStdString(messages[0]).contains(fx.settingsPath()));
  QCOMPARE(MapIndex, 4);  // defaults
  fx.form().close();
  QCOMPARE(fx.session().messages().size(), 1u);
  QVERIFY(QFileInfo(fx.settingsPath()).isDir());
}

void WindowLifecycleTest::failedWriteIsReportedAndKeepsTheOldFile() {
  const QByteArray old = "[dev]\r\nmap=1\r\n";
  WindowFixture fx({"A"}, {}, old);
  fx.form().setSettingsWriter([](const std::filesystem::path& path, std::string_view bytes) {
    // Half the text reaches the disk, then the disk is full.
    QFile partial(QString::fromStdString(path.string()));
    if (partial.open(QIODevice::WriteOnly))
      partial.write(bytes.data(), static_cast<qint64>(bytes.size() / 2));
    return std::make_error_code(std::errc::no_space_on_device);
  });
  MapIndex = 3;
  fx.form().close();
  const auto messages = fx.session().messages();
  QCOMPARE(messages.size(), 1u);
  QVERIFY(QString::fromStdString(messages[0]).contains(fx.settingsPath()));
  QCOMPARE(fx.settingsFileBytes(), old);
  // No temporary file is left behind either.
  QCOMPARE(QDir(QFileInfo(fx.settingsPath()).path()).entryList(QDir::Files).size(), 1);
}

void WindowLifecycleTest::windowOffEveryScreenComesBackOnThePrimary() {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  WindowFixture gone({"A"}, {},
                     "[window]\r\nLeft=30000\r\nTop=20000\r\nWidth=700\r\nHeight=500\r\n");
  QCOMPARE(gone.form().outerGeometry(), QRect(screen.topLeft(), QSize(700, 500)));
  // Absurd numbers from a hand-edited file neither crash nor lose the window.
  WindowFixture absurd(
      {"A"}, {},
      "[window]\r\nLeft=2147483647\r\nTop=-2147483648\r\nWidth=-5\r\nHeight=2147483647\r\n");
  QVERIFY(absurd.form().outerGeometry().intersects(screen));
  absurd.form().close();
  QVERIFY(absurd.settingsFileBytes().contains("\r\nWidth="));
  QVERIFY(!absurd.settingsFileBytes().contains("Width=-"));
  // A window partly on the screen stays where it was put.
  WindowFixture partly({"A"}, {}, "[window]\r\nLeft=-100\r\nTop=10\r\nWidth=700\r\nHeight=500\r\n");
  QCOMPARE(partly.form().outerGeometry(), QRect(-100, 10, 700, 500));
}

void WindowLifecycleTest::storedSizeLargerThanTheScreenIsCutToIt() {
  const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
  QVERIFY(room.width() > 900 && room.height() > 700);  // the test screen takes the start size
  for (const char* huge : {"2147483647", "10000"}) {
    WindowFixture fx(
        {"A"}, {},
        QByteArray("[window]\r\nLeft=0\r\nTop=0\r\nWidth=") + huge + "\r\nHeight=" + huge + "\r\n");
    QCOMPARE(fx.form().outerGeometry(), QRect(QPoint(0, 0), room));
    fx.form().close();
    const QByteArray saved = fx.settingsFileBytes();
    QVERIFY2(saved.contains("Width=" + QByteArray::number(room.width()) + "\r\n"), saved);
    QVERIFY2(saved.contains("Height=" + QByteArray::number(room.height()) + "\r\n"), saved);
  }
  // A size that fits is used as stored.
  WindowFixture fits({"A"}, {}, "[window]\r\nLeft=10\r\nTop=20\r\nWidth=900\r\nHeight=700\r\n");
  QCOMPARE(fits.form().outerGeometry(), QRect(10, 20, 900, 700));
}

void WindowLifecycleTest::closingWithAKeyHeldLeavesNothingSounding() {
  WindowFixture fx;
  fx.show();
  fx.press(fx.pixelOf(fx.form().Shape(22)));
  fx.session().clear();
  fx.form().close();
  QCOMPARE(KindsOf(fx.session().calls()), (std::vector<Kind>{Kind::kReset, Kind::kClose}));
}

void WindowLifecycleTest::messageBoxIsModalCentredAndTitled() {
  // Looked for every 10 ms; when no box has come within seconds, whatever window is up is closed
  // so that the call returns and the test fails instead of waiting for ever.
  constexpr int kBoxWaitMs = 5000;
  QString title, text;
  int buttons = 0;
  bool modal = false;
  bool seen = false;
  QPoint centre;
  QElapsedTimer waited;
  waited.start();
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* b = qobject_cast<QMessageBox*>(w); b != nullptr && b->isVisible()) box = b;
    }
    if (box == nullptr) {
      if (waited.elapsed() < kBoxWaitMs) return;
      poll.stop();
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) w->close();
      }
      return;
    }
    poll.stop();
    seen = true;
    title = box->windowTitle();
    text = box->text();
    buttons = static_cast<int>(box->buttons().size());
    modal = box->isModal();
    centre = box->frameGeometry().center();
    box->button(QMessageBox::Ok)->click();
  });
  poll.start();
  kalvora::ShowModalMessage("Kalvora", "ＭＩＤＩデバイスが開けません");
  poll.stop();
  QVERIFY2(seen, "no message box appeared");
  QCOMPARE(title, QString("Kalvora"));
  QCOMPARE(text, QString("ＭＩＤＩデバイスが開けません"));
  QCOMPARE(buttons, 1);
  QVERIFY(modal);
  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  QVERIFY((centre - screenCentre).manhattanLength() <= 2);
}

void WindowLifecycleTest::messageBoxShowsItsWholeTitleInTheWindowsFontWithoutMinimiseOrMaximise() {
  const QString title = "Kalvorakalvorakalvora";
  Qt::WindowFlags flags;
  int width = 0;
  QString family;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    flags = box->windowFlags();
    width = box->width();
    if (const auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
      family = QFontInfo(label->font()).family();
    }
    box->button(QMessageBox::Ok)->click();
  });
  kalvora::ShowModalMessage(title, "BADDEVICEID");
  QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));  // the decorations are the program's choice
  QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  QFont titleFont = QGuiApplication::font();
  titleFont.setBold(true);
  QVERIFY2(width >= QFontMetrics(titleFont).horizontalAdvance(title) + 48,
           qPrintable(QString::number(width)));
  QCOMPARE(family, QFontInfo(TForm1().font()).family());
  QCOMPARE(family, QString("IPAPGothic"));
}

void WindowLifecycleTest::programTitleComesFromTheExecutableName() {
  QCOMPARE(kalvora::ProgramTitle("/usr/bin/kalvora"), QString("kalvora"));
  QCOMPARE(kalvora::ProgramTitle("/opt/x.y/KALVORA.EXE"), QString("Kalvora"));
  QCOMPARE(kalvora::ProgramTitle("C:/Tools/KalVora.v3.exe"), QString("Kalvora"));
  QCOMPARE(kalvora::ProgramTitle("/bin/.hidden"), QString(""));
}

QTEST_MAIN(WindowLifecycleTest)
#include "window_lifecycle_test.moc"
