// The computer keys held down and the note each one started, so that every key stops its own
// note, once, whatever was pressed in between.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace kalvora {

class HeldKeys {
 public:
  // Marks the key held; false when it already was, and nothing is to play.
  bool press(std::uint32_t scanCode, int note);
  // The note the key started, forgotten; none when the key was not held.
  std::optional<int> release(std::uint32_t scanCode);
  // Every note still held, in the order pressed; all forgotten.
  std::vector<int> releaseAll();
  bool empty() const { return held_.empty(); }

 private:
  std::vector<std::pair<std::uint32_t, int>> held_;
};

}  // namespace kalvora
