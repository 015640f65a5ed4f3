#pragma once

namespace kalvora {
// A control's place in its parent's client area, in pixels.
struct ControlRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const ControlRect&) const = default;
};
}  // namespace kalvora
