#include "midi/backends/fluidsynth/engine/outputs/pulse_output.h"

#include <pthread.h>
#include <pulse/rtclock.h>
#include <sched.h>

#include <algorithm>
#include <atomic>

namespace kalvora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);
// The first stream asks for this much in all (5.3 ms at 48 kHz), the server's sink latency
// included: what a quiet desktop keeps without a gap.
constexpr std::uint32_t kStartFrames = 256;
// The server asks for more each time this much has played, so the synth renders ahead of what
// the sink takes by no more than this (1.3 ms).
constexpr std::uint32_t kRequestFrames = 64;
// After an underrun the buffer grows by half, up to 40 ms: still a quick key, and what a machine
// loaded far past its cores needs.
constexpr std::uint32_t kMostFrames = 1920;
// Underflows told within this time of a growth belong to the gap that caused it.
constexpr auto kGrowthSettles = std::chrono::milliseconds(100);
// Larger requests the server makes are rendered in pieces of this size.
constexpr std::size_t kRenderFrames = 4096;
// The same priority FluidSynth's own drivers take; refused to a user without the right, which
// leaves the stream as it was.
constexpr int kRealtimePriority = 60;

// What the streams settled on, for the next one.
std::atomic<std::uint32_t> SettledFrames{kStartFrames};

class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

pa_buffer_attr Request(std::uint32_t frames) {
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = frames * kFrameBytes;
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = kRequestFrames * kFrameBytes;
  attr.fragsize = static_cast<std::uint32_t>(-1);
  return attr;
}

}  // namespace

std::uint32_t PulseOutput::requestedFrames() { return SettledFrames.load(); }

PulseOutput::PulseOutput(AudioSource& source)
    : source_(source), left_(kRenderFrames), right_(kRenderFrames) {}

std::unique_ptr<PulseOutput> PulseOutput::open(AudioSource& source,
                                               std::chrono::milliseconds limit) {
  std::unique_ptr<PulseOutput> output(new PulseOutput(source));
  if (!output->connect(limit)) return nullptr;
  return output;
}

bool PulseOutput::connect(std::chrono::milliseconds limit) {
  loop_ = pa_threaded_mainloop_new();
  if (loop_ == nullptr) return false;
  const LoopLock lock(loop_);
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Kalvora");
  if (context_ == nullptr) return false;
  pa_context_set_state_callback(context_, &PulseOutput::onContextState, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
  // The loop's thread signals each change of state, and once more at the deadline, so that a
  // server that says nothing is given up.
  const auto deadline = Clock::now() + limit;
  pa_time_event* wakeUp = pa_context_rttime_new(
      context_,
      pa_rtclock_now() + std::chrono::duration_cast<std::chrono::microseconds>(limit).count(),
      [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0);
      },
      this);
  const pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
  struct WakeUpGone {
    const pa_mainloop_api* api;
    pa_time_event* event;
    ~WakeUpGone() {
      if (event != nullptr) api->time_free(event);
    }
  } wakeUpGone{api, wakeUp};
  if (pa_threaded_mainloop_start(loop_) < 0) return false;
  auto waitFor = [&](auto ready) {
    while (!ready()) {
      if (Clock::now() >= deadline) return false;
      pa_threaded_mainloop_wait(loop_);
    }
    return true;
  };
  auto contextSettled = [&] {
    const pa_context_state_t state = pa_context_get_state(context_);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  };
  if (!waitFor(contextSettled) || pa_context_get_state(context_) != PA_CONTEXT_READY) return false;

  const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(kSynthSampleRate),
                              kChannels};
  stream_ = pa_stream_new(context_, "Software GS Synth", &format, nullptr);
  if (stream_ == nullptr) return false;
  pa_stream_set_state_callback(stream_, &PulseOutput::onStreamState, this);
  pa_stream_set_write_callback(stream_, &PulseOutput::onWrite, this);
  pa_stream_set_underflow_callback(stream_, &PulseOutput::onUnderflow, this);
  const pa_buffer_attr attr = Request(SettledFrames.load());
  // The buffer is the whole latency, the sink's included; the server lowers the sink's to fit.
  const auto flags = static_cast<pa_stream_flags_t>(
      PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
  if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) {
    return false;
  }
  auto streamSettled = [&] {
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
  };
  return waitFor(streamSettled) && pa_stream_get_state(stream_) == PA_STREAM_READY;
}

PulseOutput::~PulseOutput() {
  if (loop_ == nullptr) return;
  pa_threaded_mainloop_stop(loop_);
  if (stream_ != nullptr) {
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
  }
  if (context_ != nullptr) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  pa_threaded_mainloop_free(loop_);
}

bool PulseOutput::playing() const {
  const LoopLock lock(loop_);
  return PA_STREAM_IS_GOOD(pa_stream_get_state(stream_));
}

void PulseOutput::write(std::size_t bytes) {
  if (!prioritySet_) {
    prioritySet_ = true;
    const sched_param param{.sched_priority = kRealtimePriority};
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  }
  while (bytes >= kFrameBytes) {
    void* data = nullptr;
    std::size_t size = bytes;
    if (pa_stream_begin_write(stream_, &data, &size) < 0 || data == nullptr) return;
    const std::size_t frames = std::min({size / kFrameBytes, bytes / kFrameBytes, kRenderFrames});
    source_.render({left_.data(), frames}, {right_.data(), frames});
    auto* out = static_cast<float*>(data);
    for (std::size_t i = 0; i < frames; ++i) {
      out[2 * i] = left_[i];
      out[2 * i + 1] = right_[i];
    }
    if (pa_stream_write(stream_, data, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
      return;
    }
    bytes -= frames * kFrameBytes;
  }
}

void PulseOutput::grow() {
  // One gap may be told several times, and the server takes a new request only after a round
  // trip: a growth counts once the request before it is in force.
  const auto now = Clock::now();
  if (now - lastGrowth_ < kGrowthSettles) return;
  lastGrowth_ = now;
  const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
  const std::uint32_t base = std::max(
      SettledFrames.load(),
      granted != nullptr ? static_cast<std::uint32_t>(granted->tlength / kFrameBytes) : 0U);
  const std::uint32_t wanted = std::min(base + base / 2, kMostFrames);
  // Kept for the streams after this one: what ran dry once will again.
  std::uint32_t settled = SettledFrames.load();
  while (settled < wanted && !SettledFrames.compare_exchange_weak(settled, wanted)) {
  }
  const pa_buffer_attr attr = Request(wanted);
  if (pa_operation* op = pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr)) {
    pa_operation_unref(op);
  }
}

void PulseOutput::onContextState(pa_context* /*context*/, void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0);
}

void PulseOutput::onStreamState(pa_stream* /*stream*/, void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0);
}

void PulseOutput::onWrite(pa_stream* /*stream*/, std::size_t bytes, void* self) {
  static_cast<PulseOutput*>(self)->write(bytes);
}

void PulseOutput::onUnderflow(pa_stream* /*stream*/, void* self) {
  static_cast<PulseOutput*>(self)->grow();
}

}  // namespace kalvora
