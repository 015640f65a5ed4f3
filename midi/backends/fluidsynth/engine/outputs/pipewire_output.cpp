#include "midi/backends/fluidsynth/engine/outputs/pipewire_output.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <string>
#include <utility>

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

PipeWireOutput::PipeWireOutput(AudioSource& source, std::shared_ptr<PipeWireConnection> connection)
    : source_(source),
      connection_(std::move(connection)),
      left_(kRenderFrames),
      right_(kRenderFrames) {}

std::unique_ptr<PipeWireOutput> PipeWireOutput::open(AudioSource& source,
                                                     std::chrono::milliseconds limit,
                                                     std::uint32_t quantumFrames) {
  const auto deadline = Clock::now() + limit;
  auto connection = PipeWireConnection::forSound(deadline);
  if (connection == nullptr) return nullptr;
  std::unique_ptr<PipeWireOutput> output(new PipeWireOutput(source, std::move(connection)));
  if (!output->connect(deadline, quantumFrames)) return nullptr;
  return output;
}

bool PipeWireOutput::connect(Clock::time_point deadline, std::uint32_t quantumFrames) {
  const PipeWireLoopLock lock(connection_->loop());
  static const pw_stream_events kEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char*) {
      auto* output = static_cast<PipeWireOutput*>(self);
      if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
        output->failed_ = true;
      }
      pw_thread_loop_signal(output->connection_->loop(), false);
    };
    events.process = [](void* self) { static_cast<PipeWireOutput*>(self)->process(); };
    return events;
  }();
  const std::string latency =
      std::to_string(quantumFrames) + "/" + std::to_string(static_cast<int>(kSynthSampleRate));
  pw_properties* properties = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music",
      PW_KEY_APP_NAME, "Kalvora", PW_KEY_NODE_LATENCY, latency.c_str(), nullptr);
  stream_ = pw_stream_new(connection_->core(), "Software GS Synth", properties);
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
  const bool settled = connection_->waitFor(deadline, [this] {
    const pw_stream_state state = pw_stream_get_state(stream_, nullptr);
    return failed_ || state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING;
  });
  return settled && !failed_;
}

PipeWireOutput::~PipeWireOutput() {
  if (stream_ == nullptr) return;
  // The connection stays for the next stream; destroying the stream takes it off the server's
  // cycle before it returns, so the source is rendered no more.
  const PipeWireLoopLock lock(connection_->loop());
  spa_hook_remove(&listener_);
  pw_stream_destroy(stream_);
}

void PipeWireOutput::process() {
  pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
  if (buffer == nullptr) return;
  spa_data& data = buffer->buffer->datas[0];
  auto* out = static_cast<float*>(data.data);
  if (out == nullptr) {
    pw_stream_queue_buffer(stream_, buffer);  // unmapped: given back unplayed
    return;
  }
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
