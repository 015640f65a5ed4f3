// The outcome of a file operation, for a caller that reports failures instead of catching them.
#pragma once

#include <string>

namespace kalvora {

struct FileResult {
  bool ok = false;
  std::string error;    // what went wrong, in words; empty on success
  bool denied = false;  // the file cannot be written at all: permissions, a read-only disk

  explicit operator bool() const { return ok; }
};

}  // namespace kalvora
