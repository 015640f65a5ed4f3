// Asking something of a sound server that may have stopped answering (a JACK server stopped
// with SIGSTOP blocks every request): the call runs on a thread of its own, and the caller
// waits for it only so long. A call that does not return in time is abandoned: whatever it
// gives back when the server answers again is dropped on its own thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "midi/bounded_teardown.h"

namespace kalvora {

// The result of call(), or nothing when it did not return within limit.
template <typename Result, typename Call>
std::optional<Result> CallWithin(Call call, std::chrono::milliseconds limit = kServerWaitLimit) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Result> result;
    bool abandoned = false;
  };
  auto shared = std::make_shared<Shared>();
  try {
    std::thread([shared, call]() mutable {
      Result result = call();
      const std::lock_guard lock(shared->mutex);
      if (shared->abandoned) return;  // the late result is destroyed here, off the caller's thread
      shared->result.emplace(std::move(result));
      shared->changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return call();  // no thread to spare: asked here, however long it takes
  }
  std::unique_lock lock(shared->mutex);
  if (shared->changed.wait_for(lock, limit, [&] { return shared->result.has_value(); })) {
    return std::move(shared->result);
  }
  shared->abandoned = true;
  return std::nullopt;
}

}  // namespace kalvora
