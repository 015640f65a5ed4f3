#include "support/child_process.h"

#include <signal.h>
#include <sys/wait.h>

#include <thread>

namespace kalvora::test {

void EndChild(pid_t pid, int signal, std::chrono::milliseconds limit) {
  constexpr auto kPoll = std::chrono::milliseconds(20);
  ::kill(pid, SIGCONT);
  ::kill(pid, signal);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return;
    }
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace kalvora::test
