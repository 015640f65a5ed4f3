#include "ui/computer_keyboard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "ui/computer_key_notes.h"
#include "ui/detectable_auto_repeat.h"
#include "ui/window_leaving.h"

namespace kalvora {

ComputerKeyboard::ComputerKeyboard(QWidget* window, PressHandler keyDown, ReleaseHandler keyUp)
    : QObject(window), window_(window), keyDown_(std::move(keyDown)), keyUp_(std::move(keyUp)) {
  // Keys reach the window's platform window first and only then the focused control; watching
  // there sees them whichever control has the focus.
  QCoreApplication::instance()->installEventFilter(this);
  AskForDetectableAutoRepeat();
}

bool ComputerKeyboard::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWindowType() &&
      watched == window_->windowHandle()) {
    return handleKey(*static_cast<QKeyEvent*>(event));
  }
  if (watched == window_ && !held_.empty() && IsWindowLeaving(*event, *window_)) releaseAll();
  return false;
}

// True when the key is a piano key, which no control then sees.
bool ComputerKeyboard::handleKey(const QKeyEvent& key) {
  const auto note = NoteOfScanCode(key.nativeScanCode());
  if (!note) return false;
  if (key.isAutoRepeat()) return true;
  if (key.type() == QEvent::KeyPress) {
    if (!held_.holds(key.nativeScanCode())) held_.press(key.nativeScanCode(), keyDown_(*note));
  } else if (const auto started = held_.release(key.nativeScanCode())) {
    keyUp_(*started);
  }
  return true;
}

void ComputerKeyboard::releaseAll() {
  for (const HeldNote note : held_.releaseAll()) keyUp_(note);
}

}  // namespace kalvora
