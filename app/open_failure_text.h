#pragma once

#include <string_view>

#include "midi/midi_out.h"

namespace kalvora {
// What start-up tells the user when the device would not open, by the open's result code.
std::string_view OpenFailureText(MMRESULT result);
}  // namespace kalvora
