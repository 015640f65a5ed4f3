// The window's creation and close: count and open the stored device, restore the settings and
// the start values; at close, close the device and write the settings back.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>
#include <algorithm>
#include <string>

#include "app/form1.h"
#include "app/form_messages.h"
#include "app/open_failure_text.h"
#include "app/settings/settings_location.h"
#include "app/window_place.h"
#include "catalogue/tone_names.h"
#include "midi/input/input_inbox.h"
#include "play/device_state.h"
#include "play/host_services.h"
#include "play/input_router.h"
#include "play/note_player.h"
#include "play/rhythm_part.h"
#include "play/show_tone_names.h"
#include "play/voice_controls.h"
#include "play/voice_state.h"

namespace {

using kalvora::form::kNoDevices;
using kalvora::form::kSettingsMoved;
using kalvora::form::kSettingsUnreadable;
using kalvora::form::kSettingsUnwritable;

// One entry of the settings file, under the names it is written with; reading matches them
// ignoring case, so a hand-edited "[Dev]" or "height=" still counts.
struct Entry {
  const char* section;
  const char* key;
  std::int32_t fallback;
};
constexpr Entry kHeight{"window", "Height", TForm1::kStartHeight};
constexpr Entry kWidth{"window", "Width", TForm1::kStartWidth};
constexpr Entry kTop{"window", "Top", TForm1::kStartTop};
constexpr Entry kLeft{"window", "Left", TForm1::kStartLeft};
constexpr Entry kDevice{"dev", "dev_num", 0};
constexpr Entry kMap{"dev", "map", kalvora::kMapSc8850};

// Numbers from a hand-edited file are kept within what a window can be, so no arithmetic on them
// overflows; anything a screen can show passes unchanged.
constexpr std::int32_t kFarthest = 1 << 24;
QRect WindowFrame(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
  return QRect(std::clamp(left, -kFarthest, kFarthest), std::clamp(top, -kFarthest, kFarthest),
               std::clamp(width, 1, QWIDGETSIZE_MAX), std::clamp(height, 1, QWIDGETSIZE_MAX));
}

// A window stored while on a monitor that is gone comes back on the primary screen. A size larger
// than its screen's free area is cut to that area: the window's buffers alone would take gigabytes.
QRect OnSomeScreen(QRect frame) {
  const QScreen* home = QGuiApplication::screenAt(frame.topLeft());
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (home == nullptr && screen->geometry().intersects(frame)) home = screen;
  }
  if (home == nullptr) {
    home = QGuiApplication::primaryScreen();
    if (home == nullptr) return frame;
    frame.moveTopLeft(home->availableGeometry().topLeft());
  }
  frame.setSize(frame.size().boundedTo(home->availableGeometry().size()));
  return frame;
}

}  // namespace

void TForm1::FormCreate() {
  DeviceCount = static_cast<std::int32_t>(midiOutGetNumDevs());
  if (DeviceCount == 0) kalvora::ShowMessage(kNoDevices);

  FillToneNames();

  const std::string executable = executablePath_.empty()
                                     ? QCoreApplication::applicationFilePath().toStdString()
                                     : executablePath_;
  const std::string fallback =
      settingsFolderFallback_.empty()
          ? QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString()
          : settingsFolderFallback_;
  const kalvora::SettingsLocation location = kalvora::ChooseSettingsLocation(executable, fallback);
  Settings = std::make_unique<kalvora::SettingsFile>(location.path, location.inUserFolder);
  if (!Settings->maySave()) {
    kalvora::ShowMessage(kSettingsUnreadable + Settings->path().string());
  }

  const auto read = [this](const Entry& e) {
    return Settings->readInteger(e.section, e.key, e.fallback);
  };
  const int height = read(kHeight);
  const int width = read(kWidth);
  const int top = read(kTop);
  const int left = read(kLeft);
  storedPlace_ = QPoint(left, top);
  setOuterGeometry(OnSomeScreen(WindowFrame(left, top, width, height)));

  DeviceIndex = read(kDevice);
  MapIndex = read(kMap);
  // A map outside the table would index past it and go out as a bad data byte.
  if (MapIndex < kalvora::kMapGm || MapIndex >= kalvora::kToneMapCount) MapIndex = kMap.fallback;
  if (DeviceIndex >= DeviceCount) DeviceIndex = 0;

  const MMRESULT opened = kalvora::OpenMidiOut();
  if (opened != MMSYSERR_NOERROR) kalvora::ShowMessage(kalvora::OpenFailureText(opened));
  kalvora::SendGsReset();
  // Nothing reaches the module while it settles; the window gets ready to be shown in that time
  // rather than after it.
  kalvora::SleepMs(kalvora::kGsResetSettleMs, [this] { prepareForShowing(); });
  kalvora::ShowDeviceName();

  NoteNumber = kalvora::kStartNote;
  BankNumber = kalvora::kStartBank;
  ProgramNumber = kalvora::kStartProgram;
  Velocity = kalvora::kStartVelocity;
  ChorusLevel = kalvora::kStartChorus;
  ReverbLevel = kalvora::kStartReverb;
  ModulationLevel = kalvora::kStartModulation;
  PanPosition = kalvora::kStartPan;
  kalvora::ChooseDrumSet(kalvora::kStartDrumSet);
  PageControl1Change();

  // Ticking runs the radio button's own handler, which stores the same map again.
  for (int n = 1; n <= kRadioButtons; ++n) {
    if (MapIndex == kalvora::MapOfRadioButton(n)) RadioButton(n)->setChecked(true);
  }
  ShowToneNames();
}

void TForm1::FormClose() {
  if (closed_) return;
  closed_ = true;
  // Input that came before the close is played out, and the notes it holds are released where
  // they were played.
  kalvora::DeliverMidiInput(kalvora::RouteMidiInput);
  kalvora::ReleaseInputNotes();
  // A key still held down while the window closes (from the keyboard, or by a signal) would
  // otherwise go on sounding on the module.
  midiOutReset(MidiOut);
  midiOutClose(MidiOut);
  if (!Settings) return;
  const QRect frame = outerGeometry();
  // Where the platform cannot tell where the window is, it stays where the file said.
  const QPoint place = kalvora::PlatformReportsWindowPlace() ? frame.topLeft() : storedPlace_;
  const auto write = [this](const Entry& e, std::int32_t value) {
    Settings->writeInteger(e.section, e.key, value);
  };
  write(kHeight, frame.height());
  write(kWidth, frame.width());
  write(kTop, place.y());
  write(kLeft, place.x());
  write(kDevice, DeviceIndex);
  write(kMap, MapIndex);
  if (Settings->maySave()) {
    const std::string besidePath = Settings->path().string();
    const kalvora::FileResult saved = Settings->save(settingsWriter_);
    if (!saved) {
      kalvora::ShowMessage(kSettingsUnwritable + besidePath + "\n" + saved.error);
    } else if (Settings->movedToUserFolder()) {
      kalvora::ShowMessage(kSettingsUnwritable + besidePath + kSettingsMoved +
                           Settings->path().string());
    }
  }
  Settings.reset();
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}
