// Reads the system's font configuration on a thread of its own while Qt starts: Qt would
// otherwise read it (about 5 ms of parsing) on the window's thread when the first control asks
// for a font.
#pragma once

#include <thread>

namespace kalvora {

class FontConfigWarmUp {
 public:
  FontConfigWarmUp();
  // Waits for the reading to end; call before the first control is made, so Qt finds it done.
  void finish();
  ~FontConfigWarmUp() { finish(); }
  FontConfigWarmUp(const FontConfigWarmUp&) = delete;
  FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

 private:
  std::thread reader_;
};

}  // namespace kalvora
