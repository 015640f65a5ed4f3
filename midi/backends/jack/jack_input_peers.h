// The ports wired to the program's JACK input, by name, as the user wired them: what a server
// that comes back has to have wired again. Told from JACK's notification thread, read from the
// thread that wires, so every call takes a lock.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kalvora {

class JackInputPeers {
 public:
  void wired(const std::string& port) {
    const std::lock_guard lock(mutex_);
    ports_.insert(port);
  }
  void unwired(const std::string& port) {
    const std::lock_guard lock(mutex_);
    ports_.erase(port);
  }
  bool has(const std::string& port) const {
    const std::lock_guard lock(mutex_);
    return ports_.contains(port);
  }
  std::vector<std::string> all() const {
    const std::lock_guard lock(mutex_);
    return {ports_.begin(), ports_.end()};
  }

 private:
  mutable std::mutex mutex_;
  std::set<std::string> ports_;
};

}  // namespace kalvora
