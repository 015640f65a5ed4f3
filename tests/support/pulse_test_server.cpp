#include "support/pulse_test_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace kalvora::test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(5);
constexpr auto kPoll = std::chrono::milliseconds(20);

// The socket takes connections once the server has loaded its modules.
bool Accepts(const std::string& socketPath) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  const bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

}  // namespace

PulseTestServer::PulseTestServer() : address_("unix:" + (folder_ / "native").string()) {}

PulseTestServer::~PulseTestServer() {
  if (pid_ > 0) EndChild(pid_, SIGTERM, kStopLimit);
}

bool PulseTestServer::start() {
  if (pid_ > 0) return false;
  failure_.clear();
  const std::string socketPath = (folder_ / "native").string();
  // No default script, no session bus, no autospawn: only what the test needs, as a user daemon.
  std::vector<std::string> args = {
      "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
      "--disable-shm=yes", "--log-target=stderr",
      // The sink first: once the socket answers, streams have somewhere to go.
      "-L", "module-null-sink sink_name=null rate=48000", "-L",
      "module-native-protocol-unix socket=" + socketPath + " auth-anonymous=1"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string logPath = (folder_ / "log").string();
  pid_ = ForkChildOfProcess([&] {
    // Its own home and runtime folder, so it touches nothing of a real session.
    ::setenv("HOME", folder_.path().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", folder_.path().c_str(), 1);
    ::setenv("PULSE_RUNTIME_PATH", (folder_ / "runtime").c_str(), 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (log >= 0) {
      ::dup2(log, 1);
      ::dup2(log, 2);
    }
    ::execvp(argv[0], argv.data());
  });
  if (pid_ < 0) {
    failure_ = "fork failed";
    return false;
  }
  ::setenv("PULSE_SERVER", address_.c_str(), 1);
  const auto deadline = Clock::now() + kStartLimit;
  while (Clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      failure_ = WIFEXITED(status) && WEXITSTATUS(status) == 127
                     ? "pulseaudio could not be run (is it installed?)"
                     : "pulseaudio ended at start, status " + std::to_string(status);
      return false;
    }
    if (Accepts(socketPath)) return true;
    std::this_thread::sleep_for(kPoll);
  }
  failure_ = "pulseaudio took no clients within " + std::to_string(kStartLimit.count()) + " s";
  return false;
}

void PulseTestServer::freeze() {
  if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

void PulseTestServer::thaw() {
  if (pid_ > 0) ::kill(pid_, SIGCONT);
}

std::string PulseTestServer::log() const {
  std::ifstream in(folder_ / "log");
  std::stringstream text;
  if (!failure_.empty()) text << failure_ << "; its log:\n";
  text << in.rdbuf();
  return text.str();
}

int PulseTestServer::playbackStreams() const {
  const std::string command = "PULSE_SERVER=" + address_ + " pactl list short sink-inputs";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  int lines = 0;
  for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) lines += c == '\n';
  return ::pclose(pipe) == 0 ? lines : -1;
}

}  // namespace kalvora::test
