// Where the program and bank buttons stand: each page holds two blocks of four columns by
// sixteen rows, numbered down each column, the upper block first.
#pragma once

#include "ui/control_rect.h"

namespace kalvora {

inline constexpr int kToneButtonCount = 256;
inline constexpr int kButtonsPerPage = 128;
inline constexpr int kSwitchButton = 257;

// n is 1..256; Button1..128 lie on the program page, Button129..256 on the bank page.
ControlRect ToneButtonRect(int n);
// The button's place in its page's tab order.
int ToneButtonTabOrder(int n);

}  // namespace kalvora
