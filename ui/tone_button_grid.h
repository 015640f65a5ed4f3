// Where the program and bank buttons stand: each page holds two blocks of four columns by
// sixteen rows, numbered down each column, the upper block first.
#pragma once

#include "catalogue/caption_view.h"
#include "ui/control_rect.h"

namespace kalvora {

// The program page holds the program buttons, the bank page the bank buttons.
inline constexpr int kButtonsPerPage = kFirstBankButton - 1;
// Button257, the device switch, comes after the tone buttons.
inline constexpr int kSwitchButton = kToneButtonCount + 1;

// n is 1..256; Button1..128 lie on the program page, Button129..256 on the bank page.
ControlRect ToneButtonRect(int n);
// The button's place on its page, 0..127, counted down each column, the upper block first.
int ToneButtonIndexInPage(int n);

}  // namespace kalvora
