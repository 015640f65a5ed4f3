#include "support/child_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace kalvora::test {

namespace {

// The forking thread and its queue. Never destroyed: the thread waits to the process's end.
struct Forker {
  std::mutex mutex;
  std::condition_variable posted;
  std::deque<std::packaged_task<pid_t()>> jobs;

  Forker() {
    std::thread([this] {
      while (true) {
        std::unique_lock lock(mutex);
        posted.wait(lock, [this] { return !jobs.empty(); });
        std::packaged_task<pid_t()> job = std::move(jobs.front());
        jobs.pop_front();
        lock.unlock();
        job();
      }
    }).detach();
  }
};

// One per process: a child of a fork has none of its parent's threads, so it makes its own.
Forker& TheForker() {
  static std::mutex made;
  static Forker* forker = nullptr;
  static pid_t owner = 0;
  const std::lock_guard lock(made);
  if (forker == nullptr || owner != ::getpid()) {
    forker = new Forker;
    owner = ::getpid();
  }
  return *forker;
}

}  // namespace

pid_t ForkChildOfProcess(const std::function<void()>& inChild) {
  const pid_t parent = ::getpid();
  std::packaged_task<pid_t()> job([&] {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(127);  // the process ended before the line above
      inChild();
      ::_exit(127);
    }
    return pid;
  });
  std::future<pid_t> pid = job.get_future();
  Forker& forker = TheForker();
  {
    const std::lock_guard lock(forker.mutex);
    forker.jobs.push_back(std::move(job));
  }
  forker.posted.notify_one();
  constexpr auto kForkLimit = std::chrono::seconds(10);
  return pid.wait_for(kForkLimit) == std::future_status::ready ? pid.get() : -1;
}

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
