#include "support/jack_test_server.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace kalvora::test {

namespace {

using Clock = std::chrono::steady_clock;
// Generous: two busy cores can make a server start take seconds.
constexpr auto kStartLimit = std::chrono::seconds(30);
constexpr auto kStopLimit = std::chrono::seconds(10);
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr const char* kSharedMemoryDir = "/dev/shm";
constexpr const char* kClientTimeoutMs = "2000";

void IgnoreJackMessage(const char*) {}

std::string UniqueName(const char* what) {
  static std::atomic<int> counter{0};
  return "kalvora-test-" + std::string(what) + "-" + std::to_string(getpid()) + "-" +
         std::to_string(counter++);
}

std::string FindJackd() {
  if (const char* chosen = std::getenv("KALVORA_JACKD")) return chosen;
  std::vector<std::string> dirs;
  if (const char* path = std::getenv("PATH")) {
    std::stringstream parts(path);
    for (std::string dir; std::getline(parts, dir, ':');) dirs.push_back(dir);
  }
  dirs.insert(dirs.end(), {"/usr/bin", "/usr/local/bin"});
  for (const std::string& dir : dirs) {
    const std::string candidate = dir + "/jackd";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

bool AcceptsClients(const std::string& name) {
  jack_status_t status{};
  jack_client_t* probe = jack_client_open(
      ClientName("probe").c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
      &status, name.c_str());
  if (probe == nullptr) return false;
  jack_client_close(probe);
  return true;
}

// A killed server leaves its socket and semaphore files behind; they carry its name.
void RemoveLeftovers(const std::string& name) {
  std::error_code error;
  const std::string marker = "_" + name + "_";
  for (const auto& entry : std::filesystem::directory_iterator(kSharedMemoryDir, error)) {
    if (entry.path().filename().string().find(marker) != std::string::npos) {
      std::filesystem::remove_all(entry.path(), error);
    }
  }
}

}  // namespace

JackTestServer::JackTestServer()
    : name_(UniqueName("server")), logPath_((logFolder_ / "jackd.log").string()) {
  jack_set_error_function(&IgnoreJackMessage);
  jack_set_info_function(&IgnoreJackMessage);
  setenv("JACK_NO_START_SERVER", "1", 1);
}

JackTestServer::~JackTestServer() { stop(); }

::testing::AssertionResult JackTestServer::start() {
  if (pid_ > 0) return ::testing::AssertionFailure() << "server already running";
  const std::string jackd = FindJackd();
  if (jackd.empty()) {
    return ::testing::AssertionFailure() << "jackd not found (install jackd2)";
  }
  setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);

  // Synchronous, with a long client timeout: on busy cores an asynchronous server skips
  // late clients for a cycle and what they were passed is lost, which would make any test
  // of delivery flaky for reasons that lie in the server, not in the code under test.
  std::vector<std::string> args = {
      jackd, "--no-realtime", "--sync", "--timeout", kClientTimeoutMs, "-n", name_, "-d", "dummy",
      "-r",  "48000",         "-p",     "256"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // The server dies with the test.
  pid_ = ForkChildOfProcess([&] {
    // Only async-signal-safe calls between fork and exec.
    const int log = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_RDONLY);
    if (log >= 0) {
      ::dup2(log, 1);
      ::dup2(log, 2);
    }
    if (null >= 0) ::dup2(null, 0);
    ::execv(argv[0], argv.data());
  });
  if (pid_ < 0) return ::testing::AssertionFailure() << "fork failed";

  const auto deadline = Clock::now() + kStartLimit;
  while (Clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return ::testing::AssertionFailure() << "jackd exited at start:\n" << log();
    }
    if (AcceptsClients(name_)) {
      killed_ = false;
      return ::testing::AssertionSuccess();
    }
    std::this_thread::sleep_for(kPoll);
  }
  stop();
  return ::testing::AssertionFailure()
         << "jackd took no clients within " << kStartLimit.count() << " s:\n"
         << log();
}

void JackTestServer::kill() {
  if (pid_ <= 0) return;
  reap(SIGKILL);
  killed_ = true;
}

void JackTestServer::stop() {
  if (pid_ <= 0 && killed_) {
    // Only to take back the killed server's slot; a failure here has nothing left to spoil.
    static_cast<void>(start());
  }
  reap(SIGTERM);
}

void JackTestServer::freeze() {
  if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

void JackTestServer::thaw() {
  if (pid_ > 0) ::kill(pid_, SIGCONT);
}

void JackTestServer::reap(int signal) {
  if (pid_ <= 0) return;
  EndChild(pid_, signal, kStopLimit);
  pid_ = -1;
  RemoveLeftovers(name_);
}

std::string JackTestServer::log() const {
  std::ifstream in(logPath_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ClientName(const char* role) {
  std::string name = role;
  name += '-';
  name += std::to_string(getpid());
  return name;
}

std::string UseServerThatDoesNotRun() {
  const std::string name = UniqueName("absent");
  setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
  return name;
}

}  // namespace kalvora::test
