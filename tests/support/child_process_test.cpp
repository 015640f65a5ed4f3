// A child server lives as long as the test process, whichever of its threads started it, and no
// longer: it ends when the process ends, even when no destructor runs.
#include "support/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/eventually.h"

namespace kalvora::test {
namespace {

constexpr auto kLimit = std::chrono::seconds(3);

void RunSleep() { ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr)); }

// Gone, or a zombie no one reaps (the test may run where nothing reaps orphans).
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidField, name, state;
  return !(stat >> pidField >> name >> state) || state == "Z";
}

bool EndsWithin(pid_t pid, std::chrono::seconds limit) {
  return Eventually([pid] { return Ended(pid); }, limit);
}

// A thread that starts a server and ends once it has seen it come up.
pid_t StartFromAThreadThatEnds() {
  pid_t child = -1;
  std::thread([&] {
    child = ForkChildOfProcess(RunSleep);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the server's start
  }).join();
  return child;
}

TEST(ChildProcess, OutlivesTheThreadThatStartedIt) {
  const pid_t child = StartFromAThreadThatEnds();
  ASSERT_GT(child, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the child ended with its thread";
  EndChild(child, SIGTERM, kLimit);
}

// The test process here is a fork of this one that starts the child from a thread of its own
// and then exits without ending it, as a crashed or killed test would.
TEST(ChildProcess, EndsWithTheProcessThatStartedIt) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const pid_t testProcess = ::fork();
  ASSERT_GE(testProcess, 0);
  if (testProcess == 0) {
    const pid_t child = StartFromAThreadThatEnds();
    static_cast<void>(::write(pipeEnds[1], &child, sizeof child));
    ::_exit(0);
  }
  ::close(pipeEnds[1]);
  pid_t child = -1;
  ASSERT_EQ(::read(pipeEnds[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
  ::close(pipeEnds[0]);
  ::waitpid(testProcess, nullptr, 0);
  ASSERT_GT(child, 0);
  const bool ended = EndsWithin(child, kLimit);
  if (!ended) ::kill(child, SIGKILL);
  EXPECT_TRUE(ended) << "the child outlived the process that started it";
}

}  // namespace
}  // namespace kalvora::test
