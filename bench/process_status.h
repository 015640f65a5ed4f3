// Lines of /proc/self/status, for the memory benchmarks.
#pragma once

#include <fstream>
#include <string>

namespace kalvora::bench {

// The line that starts with key ("VmHWM:", "VmRSS:"), or key alone when there is none.
inline std::string StatusLine(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return line;
  }
  return key;
}

// The kB figure of that line; 0 when there is none.
inline long StatusKilobytes(const char* key) {
  const std::string line = StatusLine(key);
  const std::size_t digits = line.find_first_of("0123456789");
  return digits == std::string::npos ? 0 : std::stol(line.substr(digits));
}

}  // namespace kalvora::bench
