// Runs part of a test in a child process as the user "nobody": root ignores permissions, so a
// test of them has to run unprivileged whoever starts it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace kalvora::test {

struct ChildOutcome {
  bool ran = false;    // the child gave up its rights, ran the body and ended normally
  std::string output;  // what the body returned, or why it did not run
};

// When not root, the body runs as the caller. fileSizeLimit > 0 caps every file the body writes
// at that many bytes (a write past it fails), to make a write fail half way for real. The child is
// killed if it takes longer than 20 seconds.
ChildOutcome RunAsNobody(const std::function<std::string()>& body, off_t fileSizeLimit = 0);

}  // namespace kalvora::test
