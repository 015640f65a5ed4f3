#include "support/pulse_test_server.h"

#include <fcntl.h>
#include <pulse/simple.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
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

// PipeWire's own null sink, there as soon as the daemon is; the session manager makes it the
// default, as the only sink.
constexpr const char* kPipeWireNullSink = R"(context.objects = [
  { factory = adapter
    args = {
      factory.name = support.null-audio-sink
      node.name = "null"
      media.class = "Audio/Sink"
      audio.rate = 48000
      audio.position = [ FL FR ]
    }
  }
]
)";

// What a command prints; nothing when it fails.
std::optional<std::string> Output(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string text;
  for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) text += static_cast<char>(c);
  if (::pclose(pipe) != 0) return std::nullopt;
  return text;
}

}  // namespace

PulseTestServer::PulseTestServer(Kind kind)
    : kind_(kind),
      address_("unix:" +
               (kind == Kind::kPulseAudio ? folder_ / "native" : folder_ / "runtime" / "native")
                   .string()) {}

PulseTestServer::~PulseTestServer() {
  // The PulseAudio server and the session manager before the daemon they are clients of.
  for (auto pid = pids_.rbegin(); pid != pids_.rend(); ++pid) EndChild(*pid, SIGTERM, kStopLimit);
}

bool PulseTestServer::start() {
  if (!pids_.empty()) return false;
  failure_.clear();
  ::setenv("PULSE_SERVER", address_.c_str(), 1);
  // PipeWire's own clients look here, and find nothing but this server's (none for PulseAudio).
  ::setenv("PIPEWIRE_RUNTIME_DIR", folder_.path().c_str(), 1);
  ::unsetenv("PIPEWIRE_REMOTE");
  return kind_ == Kind::kPulseAudio ? startPulseAudio() : startPipeWire();
}

bool PulseTestServer::startPulseAudio() {
  const std::string socketPath = (folder_ / "native").string();
  // No default script, no session bus, no autospawn: only what the test needs, as a user daemon.
  // Shared memory stays on, as on a desktop: without it every client's sound passes through the
  // server's main thread, which is not real-time, and one busy core beside it leaves gaps in a
  // held note that no client can prevent (3 notes in 800 against none with it).
  return run({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
              "--log-target=stderr",
              // The sink first: once the socket answers, streams have somewhere to go.
              "-L", "module-null-sink sink_name=null rate=48000", "-L",
              "module-native-protocol-unix socket=" + socketPath + " auth-anonymous=1"}) &&
         awaitSocket(socketPath, "pulseaudio");
}

bool PulseTestServer::startPipeWire() {
  const std::filesystem::path configs = folder_ / "config" / "pipewire" / "pipewire.conf.d";
  std::filesystem::create_directories(configs);
  const bool forSound = kind_ == Kind::kPipeWire;
  if (forSound) std::ofstream(configs / "null-sink.conf") << kPipeWireNullSink;
  // The session manager will not run without a session bus.
  const std::string bus = (folder_ / "bus").string();
  if (!run({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + bus}) ||
      !awaitSocket(bus, "dbus-daemon") || !run({"pipewire"}) ||
      !awaitSocket((folder_ / "pipewire-0").string(), "pipewire") || !run({"wireplumber"})) {
    return false;
  }
  if (!forSound) return true;
  if (!run({"pipewire-pulse"}) ||
      !awaitSocket((folder_ / "runtime" / "native").string(), "pipewire-pulse")) {
    return false;
  }
  // Streams go to the default sink, which the session manager sets once it has looked round.
  const auto deadline = Clock::now() + kStartLimit;
  while (Output("pactl get-default-sink 2>/dev/null").value_or("") != "null\n") {
    if (Clock::now() >= deadline) {
      failure_ = "the session manager made no default sink within " +
                 std::to_string(kStartLimit.count()) + " s";
      return false;
    }
    std::this_thread::sleep_for(kPoll);
  }
  return true;
}

bool PulseTestServer::run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string logPath = (folder_ / "log").string();
  const std::string bus = "unix:path=" + (folder_ / "bus").string();
  const pid_t pid = ForkChildOfProcess([&] {
    // Its own home, runtime and configuration folders, so it touches nothing of a real session.
    ::setenv("HOME", folder_.path().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", folder_.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    ::setenv("PULSE_RUNTIME_PATH", (folder_ / "runtime").c_str(), 1);
    ::unsetenv("PIPEWIRE_RUNTIME_DIR");
    if (kind_ != Kind::kPulseAudio) {
      ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
    } else {
      ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (log >= 0) {
      ::dup2(log, 1);
      ::dup2(log, 2);
    }
    ::execvp(argv[0], argv.data());
  });
  if (pid < 0) {
    failure_ = "fork failed";
    return false;
  }
  pids_.push_back(pid);
  return true;
}

bool PulseTestServer::awaitSocket(const std::string& socketPath, const std::string& what) {
  const auto deadline = Clock::now() + kStartLimit;
  while (Clock::now() < deadline) {
    for (const pid_t pid : pids_) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) != pid) continue;
      std::erase(pids_, pid);
      failure_ = WIFEXITED(status) && WEXITSTATUS(status) == 127
                     ? what + " could not be run (is it installed?)"
                     : "a server process ended at start (" + what + "'s turn), status " +
                           std::to_string(status);
      return false;
    }
    if (Accepts(socketPath)) return true;
    std::this_thread::sleep_for(kPoll);
  }
  failure_ = what + " took no clients within " + std::to_string(kStartLimit.count()) + " s";
  return false;
}

void PulseTestServer::freeze() {
  for (const pid_t pid : pids_) ::kill(pid, SIGSTOP);
}

void PulseTestServer::thaw() {
  for (const pid_t pid : pids_) ::kill(pid, SIGCONT);
}

void PulseTestServer::kill() {
  for (const pid_t pid : pids_) ::kill(pid, SIGKILL);
  for (const pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
  pids_.clear();
}

std::string PulseTestServer::log() const {
  std::ifstream in(folder_ / "log");
  std::stringstream text;
  if (!failure_.empty()) text << failure_ << "; its log:\n";
  text << in.rdbuf();
  return text.str();
}

std::string PulseTestServer::describePlaybackStreams() const {
  return Output("PULSE_SERVER=" + address_ + " pactl list sink-inputs").value_or("");
}

float PulseTestServer::monitorPeak(std::chrono::milliseconds span) const {
  constexpr std::uint32_t kRate = 48000;
  const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kRate, 2};
  int error = 0;
  pa_simple* stream = pa_simple_new(address_.c_str(), "kalvora-test", PA_STREAM_RECORD, kMonitor,
                                    "monitor", &format, nullptr, nullptr, &error);
  if (stream == nullptr) return -1;
  std::vector<float> samples(2 * static_cast<std::size_t>(kRate * span.count() / 1000));
  const bool read =
      pa_simple_read(stream, samples.data(), samples.size() * sizeof(float), &error) == 0;
  pa_simple_free(stream);
  if (!read) return -1;
  float peak = 0;
  for (const float sample : samples) peak = std::max(peak, std::fabs(sample));
  return peak;
}

int PulseTestServer::playbackStreams() const {
  const auto listed = Output("PULSE_SERVER=" + address_ + " pactl list short sink-inputs");
  return listed ? static_cast<int>(std::count(listed->begin(), listed->end(), '\n')) : -1;
}

int PulseTestServer::uncorkedPlaybackStreams() const {
  const auto listed = Output("PULSE_SERVER=" + address_ + " pactl list sink-inputs");
  if (!listed) return -1;
  int count = 0;
  for (std::size_t at = 0; (at = listed->find("Corked: no", at)) != std::string::npos; ++at)
    ++count;
  return count;
}

}  // namespace kalvora::test
