#include "midi/backends/fluidsynth/engine/pipewire_output.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace kalvora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);
// Larger requests the server makes are rendered in pieces of this size.
constexpr std::size_t kRenderFrames = 4096;

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

class LoopLock {
 public:
  explicit LoopLock(pw_thread_loop* loop) : loop_(loop) { pw_thread_loop_lock(loop_); }
  ~LoopLock() { pw_thread_loop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pw_thread_loop* loop_;
};

// Waits, with the loop locked, until ready() holds or the deadline passes.
template <typename Ready>
bool WaitFor(pw_thread_loop* loop, Clock::time_point deadline, Ready ready) {
  while (!ready()) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    timespec until{};
    pw_thread_loop_get_time(loop, &until, left.count());
    pw_thread_loop_timed_wait_full(loop, &until);
  }
  return true;
}

// Float samples, interleaved, at the synth's rate: what the synth makes, so that nothing on our
// side converts.
const spa_pod* AudioFormat(spa_pod_builder* builder) {
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_F32;
  info.rate = static_cast<std::uint32_t>(kSynthSampleRate);
  info.channels = kChannels;
  info.position[0] = SPA_AUDIO_CHANNEL_FL;
  info.position[1] = SPA_AUDIO_CHANNEL_FR;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"  // the library's builder uses C compound literals
  return spa_format_audio_raw_build(builder, SPA_PARAM_EnumFormat, &info);
#pragma GCC diagnostic pop
}

void InitOnce() {
  static std::once_flag done;
  std::call_once(done, [] { pw_init(nullptr, nullptr); });
}

}  // namespace

PipeWireOutput::PipeWireOutput(AudioSource& source)
    : source_(source), left_(kRenderFrames), right_(kRenderFrames) {}

std::unique_ptr<PipeWireOutput> PipeWireOutput::open(AudioSource& source,
                                                     std::chrono::milliseconds limit,
                                                     std::uint32_t quantumFrames) {
  if (ServerAnswer.load() == Asked::kNoSound || !SocketThere()) return nullptr;
  InitOnce();
  std::unique_ptr<PipeWireOutput> output(new PipeWireOutput(source));
  if (!output->connect(limit, quantumFrames)) return nullptr;
  return output;
}

bool PipeWireOutput::connect(std::chrono::milliseconds limit, std::uint32_t quantumFrames) {
  const auto deadline = Clock::now() + limit;
  loop_ = pw_thread_loop_new("kalvora-synth", nullptr);
  if (loop_ == nullptr) return false;
  const LoopLock lock(loop_);
  if (pw_thread_loop_start(loop_) < 0) return false;
  context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
  if (context_ == nullptr) return false;
  server_ = pw_context_connect(context_, nullptr, 0);
  if (server_ == nullptr || !serverPlaysSound(deadline)) return false;

  static const pw_stream_events kEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char*) {
      auto* output = static_cast<PipeWireOutput*>(self);
      if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
        output->failed_ = true;
      }
      pw_thread_loop_signal(output->loop_, false);
    };
    events.process = [](void* self) { static_cast<PipeWireOutput*>(self)->process(); };
    return events;
  }();
  const std::string latency =
      std::to_string(quantumFrames) + "/" + std::to_string(static_cast<int>(kSynthSampleRate));
  pw_properties* properties = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music",
      PW_KEY_APP_NAME, "Kalvora", PW_KEY_NODE_LATENCY, latency.c_str(), nullptr);
  stream_ = pw_stream_new(server_, "Software GS Synth", properties);
  if (stream_ == nullptr) return false;
  pw_stream_add_listener(stream_, &listener_, &kEvents, this);

  std::uint8_t buffer[256];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
  const spa_pod* params[] = {AudioFormat(&builder)};
  const auto flags = static_cast<pw_stream_flags>(
      PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
  if (pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0) {
    return false;
  }
  // Once the server has made its node the stream plays as soon as it is linked; what is sent to
  // the synth meanwhile is rendered in the first cycle.
  const bool settled = WaitFor(loop_, deadline, [this] {
    const pw_stream_state state = pw_stream_get_state(stream_, nullptr);
    return failed_ || state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING;
  });
  return settled && !failed_;
}

bool PipeWireOutput::serverPlaysSound(Clock::time_point deadline) {
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
    events.error = [](void* data, std::uint32_t id, int, int, const char*) {
      auto* listing = static_cast<Listing*>(data);
      if (id != PW_ID_CORE) return;
      listing->done = true;  // a server gone or refusing: no sink heard of
      pw_thread_loop_signal(listing->loop, false);
    };
    return events;
  }();
  pw_registry* registry = pw_core_get_registry(server_, PW_VERSION_REGISTRY, 0);
  if (registry == nullptr) return false;
  spa_hook registryListener{}, coreListener{};
  pw_registry_add_listener(registry, &registryListener, &kRegistryEvents, &listing);
  pw_core_add_listener(server_, &coreListener, &kCoreEvents, &listing);
  // Every global is announced before the answer to this.
  listing.sequence = pw_core_sync(server_, PW_ID_CORE, 0);
  const bool answered = WaitFor(loop_, deadline, [&] { return listing.done; });
  spa_hook_remove(&coreListener);
  spa_hook_remove(&registryListener);
  pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
  if (!answered) return false;  // slow or stopped: ask again next time
  ServerAnswer = listing.sink ? Asked::kPlaysSound : Asked::kNoSound;
  return listing.sink;
}

PipeWireOutput::~PipeWireOutput() {
  if (loop_ == nullptr) return;
  pw_thread_loop_stop(loop_);
  if (stream_ != nullptr) pw_stream_destroy(stream_);
  if (server_ != nullptr) pw_core_disconnect(server_);
  if (context_ != nullptr) pw_context_destroy(context_);
  pw_thread_loop_destroy(loop_);
}

void PipeWireOutput::process() {
  pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
  if (buffer == nullptr) return;
  spa_data& data = buffer->buffer->datas[0];
  auto* out = static_cast<float*>(data.data);
  if (out == nullptr) return;
  std::size_t frames = data.maxsize / kFrameBytes;
  if (buffer->requested > 0) frames = std::min<std::size_t>(frames, buffer->requested);
  for (std::size_t done = 0; done < frames;) {
    const std::size_t piece = std::min(frames - done, kRenderFrames);
    source_.render({left_.data(), piece}, {right_.data(), piece});
    for (std::size_t i = 0; i < piece; ++i) {
      out[2 * (done + i)] = left_[i];
      out[2 * (done + i) + 1] = right_[i];
    }
    done += piece;
  }
  data.chunk->offset = 0;
  data.chunk->stride = static_cast<std::int32_t>(kFrameBytes);
  data.chunk->size = static_cast<std::uint32_t>(frames * kFrameBytes);
  pw_stream_queue_buffer(stream_, buffer);
}

}  // namespace kalvora
