// Whether the windowing platform tells a program where its window is. A Wayland client never
// learns its place on the screen (the compositor keeps it), and Qt then reports 0,0.
#pragma once

namespace kalvora {

bool PlatformReportsWindowPlace();

}  // namespace kalvora
