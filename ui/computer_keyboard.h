// The computer keyboard as piano keys: the two letter rows of the main window's keyboard play
// notes while the window has the keyboard focus. Each key stops its own note at its release;
// auto-repeat plays nothing; when the window loses the focus every note it holds stops, and when
// the focus comes back after a moment away, the notes of keys released meanwhile stop. Keys
// outside the two rows keep their meaning for the focused control (Tab, Space, arrows, ...).
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

#include "play/note_player.h"
#include "ui/held_notes.h"

class QKeyEvent;
class QWidget;

namespace kalvora {

class FocusReturnWatch;

class ComputerKeyboard : public QObject {
  Q_OBJECT
 public:
  using NoteStarter = std::function<HeldNote(int note)>;
  using NoteStopper = std::function<void(HeldNote note)>;
  // window is the main window; keyDown plays a note and says what it started, keyUp stops it.
  ComputerKeyboard(QWidget* window, NoteStarter keyDown, NoteStopper keyUp);
  ~ComputerKeyboard() override;

  // Whether a key's press plays (default) or goes on to the focused control, as into the search
  // field; the releases of keys already held stop their notes either way.
  void setPlaying(bool playing) { playing_ = playing; }
  // Stops every note held, as the keys' releases would.
  void releaseAll();
  // Stops the notes of the keys that isDown says are up: their releases went elsewhere.
  void releaseKeysUp(const std::function<bool(std::uint32_t scanCode)>& isDown);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool handleKey(const QKeyEvent& key);

  QWidget* window_;
  NoteStarter keyDown_;
  NoteStopper keyUp_;
  HeldNotes<std::uint32_t> held_;  // by scan code
  bool playing_ = true;
  std::unique_ptr<FocusReturnWatch> focusReturn_;
};

}  // namespace kalvora
