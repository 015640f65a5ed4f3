#include "midi/backends/fluidsynth/engine/outputs/pipewire_output.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kalvora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);
// Larger requests the server makes are rendered in pieces of this size.
constexpr std::size_t kRenderFrames = 4096;

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

}  // namespace

struct PipeWireOutput::Link final : PipeWireConnection::ParkedStream {
  explicit Link(pw_thread_loop* threadLoop, std::uint32_t quantumFrames)
      : loop(threadLoop), quantum(quantumFrames), left(kRenderFrames), right(kRenderFrames) {}
  ~Link() override {
    if (stream == nullptr) return;
    // Destroying the stream takes it off the server's cycle before it returns.
    const PipeWireLoopLock lock(loop);
    spa_hook_remove(&listener);
    pw_stream_destroy(stream);
  }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Renders into the server's buffer; silence while no source is there.
  void process();
  void renderFrom(AudioSource* from) {
    const std::lock_guard lock(rendering);
    source = from;
  }

  pw_thread_loop* const loop;
  const std::uint32_t quantum;
  pw_stream* stream = nullptr;
  spa_hook listener{};              // the stream's events come through it, parked or not
  std::atomic<bool> failed{false};  // the server or the stream gave up
  std::mutex rendering;             // held through a render, so a source is let go only between two
  AudioSource* source = nullptr;
  std::vector<float> left, right;  // one render's worth, made before the stream starts
};

PipeWireOutput::PipeWireOutput(AudioSource& source, std::shared_ptr<PipeWireConnection> connection)
    : source_(source), connection_(std::move(connection)) {}

std::unique_ptr<PipeWireOutput> PipeWireOutput::open(AudioSource& source,
                                                     std::chrono::milliseconds limit,
                                                     std::uint32_t quantumFrames) {
  const auto deadline = Clock::now() + limit;
  auto connection = PipeWireConnection::forSound(deadline);
  if (connection == nullptr) return nullptr;
  std::unique_ptr<PipeWireOutput> output(new PipeWireOutput(source, std::move(connection)));
  if (output->resume(quantumFrames) || output->connect(deadline, quantumFrames)) return output;
  output->link_.reset();  // half made: it goes rather than being put by
  return nullptr;
}

bool PipeWireOutput::playing() const { return !link_->failed; }

bool PipeWireOutput::resume(std::uint32_t quantumFrames) {
  std::unique_ptr<Link> parked(static_cast<Link*>(connection_->unpark().release()));
  if (parked == nullptr || parked->quantum != quantumFrames) return false;
  {
    const PipeWireLoopLock lock(connection_->loop());
    const pw_stream_state state = pw_stream_get_state(parked->stream, nullptr);
    if (parked->failed || (state != PW_STREAM_STATE_PAUSED && state != PW_STREAM_STATE_STREAMING))
      return false;
    parked->renderFrom(&source_);
    if (pw_stream_set_active(parked->stream, true) < 0) return false;
  }
  link_ = std::move(parked);
  return true;
}

bool PipeWireOutput::connect(Clock::time_point deadline, std::uint32_t quantumFrames) {
  link_ = std::make_unique<Link>(connection_->loop(), quantumFrames);
  Link& link = *link_;
  link.renderFrom(&source_);
  const PipeWireLoopLock lock(link.loop);
  static const pw_stream_events kEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char*) {
      auto* link = static_cast<Link*>(self);
      if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
        link->failed = true;
      }
      pw_thread_loop_signal(link->loop, false);
    };
    events.process = [](void* self) { static_cast<Link*>(self)->process(); };
    return events;
  }();
  const std::string latency =
      std::to_string(quantumFrames) + "/" + std::to_string(static_cast<int>(kSynthSampleRate));
  pw_properties* properties = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music",
      PW_KEY_APP_NAME, "Kalvora", PW_KEY_NODE_LATENCY, latency.c_str(), nullptr);
  link.stream = pw_stream_new(connection_->core(), "Software GS Synth", properties);
  if (link.stream == nullptr) return false;
  pw_stream_add_listener(link.stream, &link.listener, &kEvents, &link);

  std::uint8_t buffer[256];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
  const spa_pod* params[] = {AudioFormat(&builder)};
  const auto flags = static_cast<pw_stream_flags>(
      PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
  if (pw_stream_connect(link.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0) {
    return false;
  }
  // Once the server has made its node the stream plays as soon as it is linked; what is sent to
  // the synth meanwhile is rendered in the first cycle.
  const bool settled = connection_->waitFor(deadline, [&link] {
    const pw_stream_state state = pw_stream_get_state(link.stream, nullptr);
    return link.failed || state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING;
  });
  return settled && !link.failed;
}

PipeWireOutput::~PipeWireOutput() {
  if (link_ == nullptr) return;
  link_->renderFrom(nullptr);
  bool paused = false;
  if (!link_->failed) {
    const PipeWireLoopLock lock(link_->loop);
    paused = pw_stream_set_active(link_->stream, false) >= 0;
  }
  // One that could not be paused goes (a failed one is of no more use).
  if (paused) connection_->park(std::move(link_));
}

void PipeWireOutput::Link::process() {
  pw_buffer* buffer = pw_stream_dequeue_buffer(stream);
  if (buffer == nullptr) return;
  spa_data& data = buffer->buffer->datas[0];
  auto* out = static_cast<float*>(data.data);
  if (out == nullptr) {
    pw_stream_queue_buffer(stream, buffer);  // unmapped: given back unplayed
    return;
  }
  std::size_t frames = data.maxsize / kFrameBytes;
  if (buffer->requested > 0) frames = std::min<std::size_t>(frames, buffer->requested);
  {
    const std::lock_guard lock(rendering);
    for (std::size_t done = 0; done < frames;) {
      const std::size_t piece = std::min(frames - done, kRenderFrames);
      if (source != nullptr) {
        source->render({left.data(), piece}, {right.data(), piece});
      } else {
        std::fill_n(left.begin(), piece, 0.0F);
        std::fill_n(right.begin(), piece, 0.0F);
      }
      for (std::size_t i = 0; i < piece; ++i) {
        out[2 * (done + i)] = left[i];
        out[2 * (done + i) + 1] = right[i];
      }
      done += piece;
    }
  }
  data.chunk->offset = 0;
  data.chunk->stride = static_cast<std::int32_t>(kFrameBytes);
  data.chunk->size = static_cast<std::uint32_t>(frames * kFrameBytes);
  pw_stream_queue_buffer(stream, buffer);
}

}  // namespace kalvora
