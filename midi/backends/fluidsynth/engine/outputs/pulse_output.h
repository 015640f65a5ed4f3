// The built-in synth's own stream on the desktop's PulseAudio server (or PipeWire's PulseAudio
// layer): the server asks for sound and the synth renders it in the server's own thread. Unlike a
// blocking writer, this stream hears of the server's underruns: it starts small and grows its
// buffer when the server runs dry, and the next stream starts where the last one settled.
#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <memory>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/engine/outputs/audio_source.h"
#include "midi/backends/fluidsynth/engine/outputs/fluidsynth_audio.h"

namespace kalvora {

class PulseOutput final : public AudioStream {
 public:
  // A stream playing source on the default sink; null when the server does not take it within
  // limit (none running, or one that does not answer).
  static std::unique_ptr<PulseOutput> open(AudioSource& source, std::chrono::milliseconds limit);
  ~PulseOutput() override;
  PulseOutput(const PulseOutput&) = delete;
  PulseOutput& operator=(const PulseOutput&) = delete;
  bool playing() const override;

  // The buffer a new stream asks for, in frames: where the streams before it settled.
  static std::uint32_t requestedFrames();

 private:
  explicit PulseOutput(AudioSource& source);
  bool connect(std::chrono::milliseconds limit);
  void write(std::size_t bytes);
  void grow();

  static void onContextState(pa_context* context, void* self);
  static void onStreamState(pa_stream* stream, void* self);
  static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
  static void onUnderflow(pa_stream* stream, void* self);

  AudioSource& source_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::vector<float> left_, right_;  // one render's worth, made before the stream starts
  bool prioritySet_ = false;
  std::chrono::steady_clock::time_point lastGrowth_;
};

}  // namespace kalvora
