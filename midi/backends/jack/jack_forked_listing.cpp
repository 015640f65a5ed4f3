#include "midi/backends/jack/jack_forked_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

#include "midi/backends/jack/jack_quiet.h"

namespace kalvora {

namespace {

bool OnlyThread() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return false;
  int count = 0;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(tasks);
  return count == 1;
}

// libjack keeps its metadata store here, finished once its database file is there.
bool MetadataStoreExists() {
  const std::string store = "/dev/shm/jack_db-" + std::to_string(getuid()) + "/metadata.db";
  return access(store.c_str(), F_OK) == 0;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The child's whole life: each name followed by a NUL; its exit status says whether a server
// answered.
[[noreturn]] void ListInChild(int writing) {
  // Libraries under libjack print their own complaints (its metadata store's, for one), which the
  // program does not show for its own client either; this process has nothing else to say.
  if (const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC); nowhere >= 0) {
    dup2(nowhere, STDERR_FILENO);
    dup2(nowhere, STDOUT_FILENO);
  }
  jack_status_t status{};
  jack_client_t* client = jack_client_open("Kalvora-list", JackNoStartServer, &status);
  if (client == nullptr) _exit(1);
  bool written = true;
  if (const char** names =
          jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
    for (const char** name = names; *name != nullptr && written; ++name) {
      written =
          WriteAll(writing, std::string_view(*name, std::char_traits<char>::length(*name) + 1));
    }
    jack_free(static_cast<void*>(names));
  }
  jack_client_close(client);
  _exit(written ? 0 : 1);
}

}  // namespace

std::unique_ptr<ForkedJackListing> ForkedJackListing::start() {
  if (!OnlyThread()) return nullptr;
  std::array<int, 2> pipeEnds{};
  if (pipe2(pipeEnds.data(), O_CLOEXEC) != 0) return nullptr;
  QuietJack();
  // Looked at before the fork: once the lister runs, it may have begun the store.
  const bool setsUpStore = !MetadataStoreExists();
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    // A lister still waiting on a stopped server when the program ends goes with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    close(pipeEnds[0]);
    ListInChild(pipeEnds[1]);
  }
  close(pipeEnds[1]);
  if (child < 0) {
    close(pipeEnds[0]);
    return nullptr;
  }
  return std::unique_ptr<ForkedJackListing>(new ForkedJackListing(child, pipeEnds[0], setsUpStore));
}

ForkedJackListing::~ForkedJackListing() { end(); }

void ForkedJackListing::end() {
  if (reading_ >= 0) close(std::exchange(reading_, -1));
  if (child_ > 0) {
    // A lister still waiting on a stopped server is of no more use.
    kill(child_, SIGKILL);
    while (waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
  }
}

std::optional<std::vector<std::string>> ForkedJackListing::take(std::chrono::milliseconds limit) {
  if (reading_ < 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string bytes;
  std::array<char, 4096> buffer{};
  while (true) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{reading_, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) break;  // the limit has passed
    const ssize_t got = read(reading_, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      // The lister has finished: its status says whether the list is whole.
      close(std::exchange(reading_, -1));
      int status = 0;
      while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
      }
      child_ = -1;
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
      std::vector<std::string> names;
      for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find('\0', at);
        if (end == std::string::npos) break;
        names.emplace_back(bytes, at, end - at);
        at = end + 1;
      }
      return names;
    }
    bytes.append(buffer.data(), static_cast<std::size_t>(got));
  }
  end();
  return std::nullopt;
}

}  // namespace kalvora
