// The real main window on a recording device, with its settings file in a temporary folder, and
// ways to press and release at window pixels so that Qt's own hit-testing picks the control.
#pragma once

#include <QPoint>
#include <QtTest/QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "support/recording_session.h"
#include "support/temp_folder.h"
#include "ui/key_shape.h"
#include "ui/press_button.h"

namespace kalvora::test {

class WindowFixture {
 public:
  // Writes settingsText (if any) as the settings file, then creates the window and runs FormCreate.
  explicit WindowFixture(std::vector<std::string> devices = {"Module A"},
                         std::vector<OpenStatus> opens = {}, const QByteArray& settingsText = {},
                         bool runFormCreate = true,
                         TForm1::ControlsBuilt built = TForm1::ControlsBuilt::kAtConstruction);
  ~WindowFixture();

  TForm1& form() { return *form_; }
  RecordingSession& session() { return *session_; }
  QString settingsPath() const;
  QString executablePath() const;
  QByteArray settingsFileBytes() const;
  void show();
  // Shown and the active window, with the keyboard focus.
  void showActive();

  // The window pixel at the centre of w (or at offset inside it).
  QPoint pixelOf(const QWidget* w) const;
  QPoint pixelOf(const QWidget* w, QPoint offset) const;
  void press(QPoint pixel, Qt::MouseButton button = Qt::LeftButton);
  void release(QPoint pixel, Qt::MouseButton button = Qt::LeftButton);
  void click(const QWidget* w, Qt::MouseButton button = Qt::LeftButton);

  // A key event as the X11 platform delivers it to the window: with the key's native scan code
  // (the XKB keycode, evdev code + 8), which offscreen synthesized events otherwise lack.
  void sendKey(QEvent::Type type, Qt::Key key, quint32 scanCode, bool autoRepeat = false);

  // Bytes of every short message recorded, each message as its own vector.
  std::vector<std::vector<std::uint8_t>> shortMessages() const;
  // The note-ons and note-offs among them, in order, as "on 60" and "off 60".
  QStringList noteEvents() const;

 private:
  TempFolder folder_;
  std::unique_ptr<RecordingSession> session_;
  std::unique_ptr<TForm1> form_;
};

// What the control shows when the pointer rests on it.
QString ToolTipOf(QWidget* control);

}  // namespace kalvora::test
