#include "ui/tone_button_grid.h"

namespace kalvora {

namespace {
constexpr int kButtonWidth = 161;
constexpr int kButtonHeight = 17;
constexpr int kColumnPitch = 160;
constexpr int kRowPitch = 16;
constexpr int kFirstTop = 16;
constexpr int kBlockPitch = 272;
constexpr int kButtonsPerBlock = 64;
constexpr int kRowsPerColumn = 16;
}  // namespace

int ToneButtonIndexInPage(int n) { return (n - 1) % kButtonsPerPage; }

ControlRect ToneButtonRect(int n) {
  const int k = ToneButtonIndexInPage(n);
  const int block = k / kButtonsPerBlock;
  const int j = k % kButtonsPerBlock;
  const int column = j / kRowsPerColumn;
  const int row = j % kRowsPerColumn;
  return {kColumnPitch * column, kFirstTop + kBlockPitch * block + kRowPitch * row, kButtonWidth,
          kButtonHeight};
}

}  // namespace kalvora
