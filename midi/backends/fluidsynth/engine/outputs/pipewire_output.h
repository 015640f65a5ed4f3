// The built-in synth's own stream on a PipeWire server, where the graph runs in cycles of the
// quantum its quickest node asks for: this stream asks for a small one, which a stream through
// PipeWire's PulseAudio server does not get (that layer turns a small request into a far larger
// quantum). The server asks for sound once a cycle and the synth renders it in the stream's own
// real-time thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/engine/outputs/audio_source.h"
#include "midi/backends/fluidsynth/engine/outputs/fluidsynth_audio.h"
#include "midi/backends/fluidsynth/engine/outputs/pipewire_connection.h"

namespace kalvora {

class PipeWireOutput final : public AudioStream {
 public:
  // A stream playing source on the default sink, asking the graph for a quantum of
  // quantumFrames at the synth's rate; null when no PipeWire server runs, when the one that runs
  // has no sink for sound (a desktop whose sound goes through PulseAudio may run PipeWire for
  // video alone), or when the server does not take the stream within limit. The stream the last
  // output put by is taken up again when it asked for the same quantum.
  static std::unique_ptr<PipeWireOutput> open(AudioSource& source, std::chrono::milliseconds limit,
                                              std::uint32_t quantumFrames);
  // Takes the stream off the server's cycle and puts it by on the connection; source is rendered
  // no more once this returns.
  ~PipeWireOutput() override;
  PipeWireOutput(const PipeWireOutput&) = delete;
  PipeWireOutput& operator=(const PipeWireOutput&) = delete;
  bool playing() const override;

 private:
  struct Link;  // the stream and what its real-time thread renders
  PipeWireOutput(AudioSource& source, std::shared_ptr<PipeWireConnection> connection);
  bool resume(std::uint32_t quantumFrames);
  bool connect(std::chrono::steady_clock::time_point deadline, std::uint32_t quantumFrames);

  AudioSource& source_;
  const std::shared_ptr<PipeWireConnection> connection_;
  std::unique_ptr<Link> link_;
};

}  // namespace kalvora
