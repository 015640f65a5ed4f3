// Where button captions go: the window implements it, tests pass a fake.
#pragma once

#include <string_view>

namespace kalvora {

class CaptionView {
 public:
  virtual ~CaptionView() = default;
  // button is 1..256; caption is shown exactly as given (no shortcut markers).
  virtual void SetButtonCaption(int button, std::string_view caption) = 0;
};

}  // namespace kalvora
