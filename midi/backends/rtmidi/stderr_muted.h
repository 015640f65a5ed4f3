// Points the process's standard error at /dev/null for one scope.
#pragma once

namespace kalvora {

// For libraries that print before they can be told not to (a MIDI library's constructor, the
// sound library it calls). Everything written to fd 2 in the scope, from any thread, is lost.
class StderrMuted {
 public:
  StderrMuted() noexcept;
  ~StderrMuted();
  StderrMuted(const StderrMuted&) = delete;
  StderrMuted& operator=(const StderrMuted&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace kalvora
