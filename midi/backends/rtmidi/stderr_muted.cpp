#include "midi/backends/rtmidi/stderr_muted.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace kalvora {

namespace {
constexpr int kStderr = 2;

void FlushStderr() {
  std::cerr.flush();
  std::clog.flush();
  std::fflush(stderr);
}
}  // namespace

StderrMuted::StderrMuted() noexcept {
  FlushStderr();
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  saved_ = ::fcntl(kStderr, F_DUPFD_CLOEXEC, 0);
  if (saved_ >= 0 && ::dup2(null, kStderr) < 0) {
    ::close(saved_);
    saved_ = -1;
  }
  ::close(null);
}

StderrMuted::~StderrMuted() {
  if (saved_ < 0) return;
  FlushStderr();
  ::dup2(saved_, kStderr);
  ::close(saved_);
}

}  // namespace kalvora
