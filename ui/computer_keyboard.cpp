#include "ui/computer_keyboard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "ui/computer_key_notes.h"
#include "ui/detectable_auto_repeat.h"
#include "ui/focus_return_watch.h"
#include "ui/window_leaving.h"

namespace kalvora {

ComputerKeyboard::ComputerKeyboard(QWidget* window, NoteStarter keyDown, NoteStopper keyUp)
    : QObject(window), window_(window), keyDown_(std::move(keyDown)), keyUp_(std::move(keyUp)) {
  // Keys reach the window's platform window first and only then the focused control; watching
  // there sees them whichever control has the focus.
  QCoreApplication::instance()->installEventFilter(this);
  AskForDetectableAutoRepeat();
  focusReturn_ = std::make_unique<FocusReturnWatch>(
      window, [this](const FocusReturnWatch::KeyIsDown& isDown) { releaseKeysUp(isDown); });
}

ComputerKeyboard::~ComputerKeyboard() = default;

bool ComputerKeyboard::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWindowType() &&
      watched == window_->windowHandle()) {
    return handleKey(*static_cast<QKeyEvent*>(event));
  }
  if (watched == window_ && !held_.empty() && IsWindowLeaving(*event, *window_)) releaseAll();
  return false;
}

// True when the key is a piano key, which no control then sees. A press of a key already held is
// its auto-repeat (X11 reports repeats as presses only).
bool ComputerKeyboard::handleKey(const QKeyEvent& key) {
  const std::uint32_t scanCode = key.nativeScanCode();
  const auto note = NoteOfScanCode(scanCode);
  if (!note) return false;
  if (!playing_ && !held_.holds(scanCode)) return false;
  if (key.isAutoRepeat()) return true;
  if (key.type() == QEvent::KeyPress) {
    if (!held_.holds(scanCode)) held_.hold(scanCode, keyDown_(*note));
  } else if (const auto started = held_.release(scanCode)) {
    keyUp_(*started);
  }
  return true;
}

void ComputerKeyboard::releaseAll() {
  for (const HeldNote& note : held_.releaseAll()) keyUp_(note);
}

void ComputerKeyboard::releaseKeysUp(const std::function<bool(std::uint32_t)>& isDown) {
  for (const std::uint32_t scanCode : held_.holders()) {
    if (isDown(scanCode)) continue;
    if (const auto started = held_.release(scanCode)) keyUp_(*started);
  }
}

}  // namespace kalvora
