#include "midi/backends/fluidsynth/engine/outputs/pipewire_connection.h"

#include <pipewire/pipewire.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

namespace kalvora {

namespace {

// What the servers this process has asked told: a PipeWire server without a sink for sound will
// not grow one, and asking again would cost every first note after quiet a round trip.
enum class Asked : int { kNotYet, kPlaysSound, kNoSound };
std::atomic<Asked> ServerAnswer{Asked::kNotYet};

// Whether a PipeWire server's socket is where its clients look: without one, nothing of
// PipeWire's is loaded at all.
bool SocketThere() {
  if (std::getenv("PIPEWIRE_REMOTE") != nullptr) return true;  // the library finds it
  const char* folder = std::getenv("PIPEWIRE_RUNTIME_DIR");
  if (folder == nullptr) folder = std::getenv("XDG_RUNTIME_DIR");
  if (folder == nullptr) return false;
  struct stat status {};
  return ::stat((std::string(folder) + "/pipewire-0").c_str(), &status) == 0 &&
         S_ISSOCK(status.st_mode);
}

void InitOnce() {
  static std::once_flag done;
  std::call_once(done, [] { pw_init(nullptr, nullptr); });
}

}  // namespace

PipeWireLoopLock::PipeWireLoopLock(pw_thread_loop* loop) : loop_(loop) {
  pw_thread_loop_lock(loop_);
}

PipeWireLoopLock::~PipeWireLoopLock() { pw_thread_loop_unlock(loop_); }

std::shared_ptr<PipeWireConnection> PipeWireConnection::forSound(Clock::time_point deadline) {
  if (ServerAnswer.load() == Asked::kNoSound || !SocketThere()) return nullptr;
  static std::mutex keeping;
  static std::shared_ptr<PipeWireConnection> kept;
  const std::lock_guard lock(keeping);
  if (kept && !kept->lost()) return kept;
  kept.reset();
  InitOnce();
  std::shared_ptr<PipeWireConnection> made(new PipeWireConnection());
  if (!made->connect()) return nullptr;
  {
    const PipeWireLoopLock loopLock(made->loop_);
    if (!made->serverPlaysSound(deadline)) return nullptr;
  }
  kept = made;
  return made;
}

bool PipeWireConnection::connect() {
  loop_ = pw_thread_loop_new("kalvora-synth", nullptr);
  if (loop_ == nullptr) return false;
  const PipeWireLoopLock lock(loop_);
  if (pw_thread_loop_start(loop_) < 0) return false;
  context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
  if (context_ == nullptr) return false;
  core_ = pw_context_connect(context_, nullptr, 0);
  if (core_ == nullptr) return false;
  static const pw_core_events kEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = [](void* self, std::uint32_t id, int, int, const char*) {
      auto* connection = static_cast<PipeWireConnection*>(self);
      if (id != PW_ID_CORE) return;  // one object refused; the connection still holds
      connection->lost_ = true;
      pw_thread_loop_signal(connection->loop_, false);
    };
    return events;
  }();
  pw_core_add_listener(core_, &coreListener_, &kEvents, this);
  return true;
}

bool PipeWireConnection::waitUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
  if (left.count() <= 0) return false;
  timespec until{};
  pw_thread_loop_get_time(loop_, &until, left.count());
  pw_thread_loop_timed_wait_full(loop_, &until);
  return true;
}

bool PipeWireConnection::serverPlaysSound(Clock::time_point deadline) {
  if (ServerAnswer.load() == Asked::kPlaysSound) return true;
  struct Listing {
    pw_thread_loop* loop;
    bool sink = false;
    bool done = false;
    int sequence = 0;
  } listing{loop_};
  static const pw_registry_events kRegistryEvents = [] {
    pw_registry_events events{};
    events.version = PW_VERSION_REGISTRY_EVENTS;
    events.global = [](void* data, std::uint32_t, std::uint32_t, const char* type, std::uint32_t,
                       const spa_dict* props) {
      const char* kind = props != nullptr ? spa_dict_lookup(props, PW_KEY_MEDIA_CLASS) : nullptr;
      if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0 && kind != nullptr &&
          std::strcmp(kind, "Audio/Sink") == 0) {
        static_cast<Listing*>(data)->sink = true;
      }
    };
    return events;
  }();
  static const pw_core_events kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.done = [](void* data, std::uint32_t id, int sequence) {
      auto* listing = static_cast<Listing*>(data);
      if (id != PW_ID_CORE || sequence != listing->sequence) return;
      listing->done = true;
      pw_thread_loop_signal(listing->loop, false);
    };
    return events;
  }();
  pw_registry* registry = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
  if (registry == nullptr) return false;
  spa_hook registryListener{}, coreListener{};
  pw_registry_add_listener(registry, &registryListener, &kRegistryEvents, &listing);
  pw_core_add_listener(core_, &coreListener, &kCoreEvents, &listing);
  // Every global is announced before the answer to this; a server gone or refusing ends the wait
  // through the connection's own error.
  listing.sequence = pw_core_sync(core_, PW_ID_CORE, 0);
  const bool answered = waitFor(deadline, [&] { return listing.done || lost_; });
  spa_hook_remove(&coreListener);
  spa_hook_remove(&registryListener);
  pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
  if (!answered || lost_) return false;  // slow or stopped: ask again next time
  ServerAnswer = listing.sink ? Asked::kPlaysSound : Asked::kNoSound;
  return listing.sink;
}

void PipeWireConnection::park(std::unique_ptr<ParkedStream> stream) {
  const std::lock_guard lock(parking_);
  parked_ = std::move(stream);
}

std::unique_ptr<PipeWireConnection::ParkedStream> PipeWireConnection::unpark() {
  const std::lock_guard lock(parking_);
  return std::move(parked_);
}

PipeWireConnection::~PipeWireConnection() {
  if (loop_ == nullptr) return;
  pw_thread_loop_stop(loop_);
  parked_.reset();  // before the core it was made on
  if (core_ != nullptr) {
    spa_hook_remove(&coreListener_);
    pw_core_disconnect(core_);
  }
  if (context_ != nullptr) pw_context_destroy(context_);
  pw_thread_loop_destroy(loop_);
}

}  // namespace kalvora
