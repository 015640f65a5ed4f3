// The built-in synth's own stream on a PipeWire server, where the graph runs in cycles of the
// quantum its quickest node asks for: this stream asks for a small one, which a stream through
// PipeWire's PulseAudio server does not get (that layer turns a small request into a far larger
// quantum). The server asks for sound once a cycle and the synth renders it in the stream's own
// real-time thread.
#pragma once

#include <spa/utils/hook.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/engine/outputs/audio_source.h"
#include "midi/backends/fluidsynth/engine/outputs/fluidsynth_audio.h"
#include "midi/backends/fluidsynth/engine/outputs/pipewire_connection.h"

struct pw_stream;

namespace kalvora {

class PipeWireOutput final : public AudioStream {
 public:
  // A stream playing source on the default sink, asking the graph for a quantum of
  // quantumFrames at the synth's rate; null when no PipeWire server runs, when the one that runs
  // has no sink for sound (a desktop whose sound goes through PulseAudio may run PipeWire for
  // video alone), or when the server does not take the stream within limit.
  static std::unique_ptr<PipeWireOutput> open(AudioSource& source, std::chrono::milliseconds limit,
                                              std::uint32_t quantumFrames);
  ~PipeWireOutput() override;
  PipeWireOutput(const PipeWireOutput&) = delete;
  PipeWireOutput& operator=(const PipeWireOutput&) = delete;
  bool playing() const override { return !failed_; }

 private:
  PipeWireOutput(AudioSource& source, std::shared_ptr<PipeWireConnection> connection);
  bool connect(std::chrono::steady_clock::time_point deadline, std::uint32_t quantumFrames);
  void process();

  AudioSource& source_;
  const std::shared_ptr<PipeWireConnection> connection_;
  pw_stream* stream_ = nullptr;
  spa_hook listener_{};              // the stream's events come through it
  std::vector<float> left_, right_;  // one render's worth, made before the stream starts
  std::atomic<bool> failed_{false};  // the server or the stream gave up
};

}  // namespace kalvora
