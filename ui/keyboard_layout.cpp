#include "ui/keyboard_layout.h"

#include <array>

namespace kalvora {

namespace {
constexpr int kKeyLeft = 688;
constexpr int kWhiteWidth = 73;
constexpr int kWhiteHeight = 17;
constexpr int kBlackWidth = 41;
constexpr int kBlackHeight = 10;
constexpr int kFirstWhiteTop = 32;
constexpr int kWhitePitch = 16;
// A black key starts this far below the top of the white key one semitone above it.
constexpr int kBlackBelowWhiteAbove = 12;

// Key numbers from the top of the window down; the numbers come from the order in which the
// keys were first laid out, which also fixes their stacking.
constexpr std::array<int, 35> kWhiteShapesTopDown{1,  2,  3,  6,  7,  8,  9,  10, 11, 15, 16, 17,
                                                  18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29,
                                                  30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 59};
constexpr std::array<int, 25> kBlackShapesTopDown{4,  5,  12, 13, 14, 40, 41, 42, 43,
                                                  44, 45, 46, 47, 48, 49, 50, 51, 52,
                                                  53, 54, 55, 56, 57, 58, 60};

std::array<KeyLayout, kKeyCount> BuildKeys() {
  std::array<KeyLayout, kKeyCount> keys{};
  int white = 0;
  int black = 0;
  int whiteAboveTop = 0;
  for (int note = kHighestNote; note >= kLowestNote; --note) {
    if (IsBlackNote(note)) {
      const int shape = kBlackShapesTopDown[black++];
      keys[shape - 1] = {
          note, true, {kKeyLeft, whiteAboveTop + kBlackBelowWhiteAbove, kBlackWidth, kBlackHeight}};
    } else {
      const int shape = kWhiteShapesTopDown[white];
      const int top = kFirstWhiteTop + kWhitePitch * white++;
      keys[shape - 1] = {note, false, {kKeyLeft, top, kWhiteWidth, kWhiteHeight}};
      whiteAboveTop = top;
    }
  }
  return keys;
}
}  // namespace

bool IsBlackNote(int note) {
  switch (note % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
      return true;
    default:
      return false;
  }
}

const KeyLayout& KeyOf(int shape) {
  static const std::array<KeyLayout, kKeyCount> keys = BuildKeys();
  return keys[static_cast<std::size_t>(shape - 1)];
}

}  // namespace kalvora
