// The computer keys held down and the note each one started, with its channel, so that every key
// stops its own note, once, whatever was pressed in between.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "midi/note_player.h"

namespace kalvora {

class HeldKeys {
 public:
  bool holds(std::uint32_t scanCode) const;
  // Marks the key held with the note it started.
  void press(std::uint32_t scanCode, HeldNote note);
  // The note the key started, forgotten; none when the key was not held.
  std::optional<HeldNote> release(std::uint32_t scanCode);
  // Every note still held, in the order pressed; all forgotten.
  std::vector<HeldNote> releaseAll();
  bool empty() const { return held_.empty(); }

 private:
  std::vector<std::pair<std::uint32_t, HeldNote>> held_;
};

}  // namespace kalvora
