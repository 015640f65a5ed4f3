// The computer keyboard as piano keys: the two letter rows of the main window's keyboard play
// notes while the window has the keyboard focus. Each key stops its own note at its release;
// auto-repeat plays nothing; when the window loses the focus every note it holds stops. Keys
// outside the two rows keep their meaning for the focused control (Tab, Space, arrows, ...).
#pragma once

#include <QObject>
#include <functional>

#include "ui/held_keys.h"

class QKeyEvent;
class QWidget;

namespace kalvora {

class ComputerKeyboard : public QObject {
  Q_OBJECT
 public:
  // Plays a note and tells what it started; stops a note that was started.
  using PressHandler = std::function<HeldNote(int note)>;
  using ReleaseHandler = std::function<void(HeldNote)>;
  // window is the main window; keyDown plays a note, keyUp stops that note.
  ComputerKeyboard(QWidget* window, PressHandler keyDown, ReleaseHandler keyUp);

  // Stops every note held, as the keys' releases would.
  void releaseAll();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool handleKey(const QKeyEvent& key);

  QWidget* window_;
  PressHandler keyDown_;
  ReleaseHandler keyUp_;
  HeldKeys held_;
};

}  // namespace kalvora
