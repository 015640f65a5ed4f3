#include "midi/backends/jack/jack_graph_pages.h"

#include <sys/mman.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

namespace kalvora {

namespace {
// Where jackd2 keeps its shared memory, as the mappings name it.
constexpr const char* kJackSegmentPrefix = "/dev/shm/jack-";
}  // namespace

void ReleaseJackGraphPages() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find(kJackSegmentPrefix) == std::string::npos) continue;
    std::istringstream fields(line);
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    char dash = 0;
    if (!(fields >> std::hex >> start >> dash >> end) || dash != '-' || end <= start) continue;
    // Shared memory keeps its contents; only this process's mapping of the pages goes. Locked
    // pages refuse, and stay.
    madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
  }
}

}  // namespace kalvora
