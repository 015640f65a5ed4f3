// The JACK server's port table is tens of MB with the default port limit, and a walk over it, such
// as listing the ports, makes all of it resident in the process that walks. At the program's
// start a child forked for the purpose lists the other clients' MIDI inputs, so the program
// itself never holds the table while its window comes up.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvora {

class ForkedJackListing {
 public:
  // Forks the lister, which reaches the default server without starting one. Null when the
  // process already runs other threads (a fork would copy locks they may hold) or the fork fails.
  static std::unique_ptr<ForkedJackListing> start();
  // Ends the lister if it still runs. A lister is best left to finish (take): one killed while
  // libjack sets up its metadata store in shared memory leaves that store broken for every later
  // client on the machine.
  ~ForkedJackListing();
  ForkedJackListing(const ForkedJackListing&) = delete;
  ForkedJackListing& operator=(const ForkedJackListing&) = delete;

  // The full names of every MIDI input port the lister found (the program's own among them, if
  // it had any by then), waiting at most limit; none when no server answered within it.
  std::optional<std::vector<std::string>> take(std::chrono::milliseconds limit);

  // Whether the lister is the machine's first JACK client, setting up libjack's metadata store in
  // shared memory. Two clients that set it up at once break it (one fails to map what the other
  // is still making, and says so on stderr), so no other client may open before this one is taken.
  bool setsUpMetadataStore() const { return setsUpStore_; }

 private:
  ForkedJackListing(pid_t child, int reading, bool setsUpStore)
      : child_(child), reading_(reading), setsUpStore_(setsUpStore) {}
  void end();

  pid_t child_;
  int reading_;
  bool setsUpStore_;
};

}  // namespace kalvora
