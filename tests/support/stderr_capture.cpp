#include "support/stderr_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace kalvora::test {

namespace {
constexpr int kStderr = 2;
}  // namespace

StderrCapture::StderrCapture() {
  std::cerr.flush();
  std::fflush(stderr);
  std::FILE* file = std::tmpfile();
  if (file == nullptr) {
    ADD_FAILURE() << "stderr cannot be captured: no temporary file";
    return;
  }
  file_ = ::dup(::fileno(file));
  std::fclose(file);
  saved_ = ::dup(kStderr);
  ::dup2(file_, kStderr);
}

StderrCapture::~StderrCapture() { finish(); }

std::string StderrCapture::finish() {
  if (saved_ < 0) return {};
  std::cerr.flush();
  std::fflush(stderr);
  ::dup2(saved_, kStderr);
  ::close(saved_);
  saved_ = -1;
  std::string text;
  char chunk[512];
  ::lseek(file_, 0, SEEK_SET);
  for (ssize_t got; (got = ::read(file_, chunk, sizeof chunk)) > 0;) text.append(chunk, got);
  ::close(file_);
  file_ = -1;
  return text;
}

}  // namespace kalvora::test
