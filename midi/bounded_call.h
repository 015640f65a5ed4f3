// Asking something of a sound server that may have stopped answering (a JACK server stopped
// with SIGSTOP blocks every request; an audio stream the server no longer reads blocks its
// close): the work runs on a thread of its own, and the caller waits for it only so long. Work
// that does not finish in time is abandoned: it finishes on its thread whenever the server
// answers again (or the process ends first), and everything it owns is destroyed there, never
// on the caller's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

namespace kalvora {

// How long a close, a switch or the program's exit waits on a server.
inline constexpr std::chrono::milliseconds kServerWaitLimit{100};

// Runs work, moved into a thread of its own, and waits at most limit for it (0: not at all);
// true when it finished in time. When no thread can be started the work runs here, however long
// it takes.
template <typename Work>
bool RunWithin(Work&& work, std::chrono::milliseconds limit = kServerWaitLimit) {
  using Owned = std::decay_t<Work>;
  struct Done {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
  };
  auto state = std::make_shared<Done>();
  auto owned = std::make_unique<Owned>(std::forward<Work>(work));
  // Raw in the thread's capture, so that a failed thread start leaves the work with the caller
  // instead of destroying it unrun inside the constructor's unwinding.
  Owned* raw = owned.get();
  try {
    std::thread([raw, state] {
      std::unique_ptr<Owned> mine(raw);
      (*mine)();
      mine.reset();  // what the work holds goes here too, before the caller hears of it
      const std::lock_guard lock(state->mutex);
      state->done = true;
      state->changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    (*owned)();
    return true;
  }
  static_cast<void>(owned.release());
  std::unique_lock lock(state->mutex);
  return state->changed.wait_for(lock, limit, [&] { return state->done; });
}

// The result of call(), or nothing when it did not return within limit; a late result is
// destroyed on the call's own thread.
template <typename Result, typename Call>
std::optional<Result> CallWithin(Call call, std::chrono::milliseconds limit = kServerWaitLimit) {
  struct Slot {
    std::mutex mutex;
    std::optional<Result> result;
    bool abandoned = false;
  };
  auto slot = std::make_shared<Slot>();
  RunWithin(
      [slot, call = std::move(call)]() mutable {
        Result result = call();
        const std::lock_guard lock(slot->mutex);
        if (!slot->abandoned) slot->result.emplace(std::move(result));
      },
      limit);
  // Taken when it came, even just after the wait gave up; otherwise left to the call's thread.
  const std::lock_guard lock(slot->mutex);
  if (slot->result) return std::move(slot->result);
  slot->abandoned = true;
  return std::nullopt;
}

// Destroys object, waiting at most limit; true when it was gone in time. Nothing may use the
// object afterwards either way.
template <typename Owner>
bool DestroyWithin(Owner object, std::chrono::milliseconds limit = kServerWaitLimit) {
  if (!object) return true;
  return RunWithin([object = std::move(object)]() mutable { object = nullptr; }, limit);
}

}  // namespace kalvora
