// Letting go of something that may be stuck on a sound server (a JACK client whose server is
// stopped, an audio stream the server no longer reads): it is destroyed on a thread of its own,
// and the caller waits for that only so long. What does not let go in time is abandoned: its
// thread finishes whenever the server answers, or the process ends first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace kalvora {

// How long a close, a switch or the program's exit waits on a server.
inline constexpr std::chrono::milliseconds kServerWaitLimit{100};

// Destroys object, waiting at most limit; true when it was gone in time. Nothing may use the
// object afterwards either way.
template <typename T>
bool DestroyWithin(std::unique_ptr<T> object, std::chrono::milliseconds limit = kServerWaitLimit) {
  if (!object) return true;
  struct Done {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
  };
  auto state = std::make_shared<Done>();
  // The thread owns the object until it is destroyed: raw, so that a failed thread start
  // leaves it with the caller instead of destroying it inside the constructor's unwinding.
  T* raw = object.get();
  try {
    std::thread([raw, state] {
      delete raw;
      const std::lock_guard lock(state->mutex);
      state->done = true;
      state->changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return true;  // no thread to spare: destroyed here, however long it takes
  }
  static_cast<void>(object.release());
  std::unique_lock lock(state->mutex);
  return state->changed.wait_for(lock, limit, [&] { return state->done; });
}

}  // namespace kalvora
