// Where button captions go: the window implements it, tests pass a fake.
#pragma once

#include <string_view>

#include "catalogue/tone_names.h"

namespace kalvora {

// Buttons 1..128 carry the programs of the current bank, buttons 129..256 the banks of the current
// program.
inline constexpr int kToneButtonCount = kProgramCount + kBankCount;
inline constexpr int kFirstBankButton = kProgramCount + 1;

class CaptionView {
 public:
  virtual ~CaptionView() = default;
  // button is 1..256; caption is shown exactly as given (no shortcut markers).
  virtual void setButtonCaption(int button, std::string_view caption) = 0;
};

}  // namespace kalvora
