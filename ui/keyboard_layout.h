// The on-screen keyboard: sixty keys, F1 (note 29) at the bottom to E6 (note 88) at the top,
// white keys 16 pixels apart and black keys lying across the boundary of two white keys.
#pragma once

#include "ui/control_rect.h"

namespace kalvora {

inline constexpr int kKeyCount = 60;
inline constexpr int kLowestNote = 29;
inline constexpr int kHighestNote = 88;

struct KeyLayout {
  int note = 0;
  bool black = false;
  ControlRect rect;
};

// shape is 1..60, the key's number (Shape1 is the top key).
const KeyLayout& KeyOf(int shape);
bool IsBlackNote(int note);

}  // namespace kalvora
