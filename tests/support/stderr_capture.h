// Catches everything written to fd 2 while it lives, from any thread or library.
#pragma once

#include <string>

namespace kalvora::test {

class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Ends the capture and returns what was written.
  std::string finish();

 private:
  int saved_ = -1;
  int file_ = -1;
};

}  // namespace kalvora::test
