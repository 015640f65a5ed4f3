// The built-in synth's way to the loudspeakers: a FluidSynth audio driver that pulls the
// synth's sound from a thread of its own.
#pragma once

#include <fluidsynth.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/synth_audio_outputs.h"

namespace kalvora {

struct AudioDriverDeleter {
  void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};
using AudioDriverHandle = std::unique_ptr<fluid_audio_driver_t, AudioDriverDeleter>;

// A stream of the synth's own, which plays until it goes.
class AudioStream {
 public:
  virtual ~AudioStream() = default;
  // False once the server has dropped the stream (it ended, or died): the next note opens anew.
  virtual bool playing() const = 0;
};

// What FluidSynth's driver renders: the core, until the driver is abandoned, and silence after.
class DriverFeed {
 public:
  explicit DriverFeed(SynthCore& core) : core_(core) {}
  void render(std::span<float> left, std::span<float> right);
  // From here on the driver renders silence; waits for a render under way.
  void abandon();
  // Whether the driver has logged an error of its own (its server has gone, its device failed):
  // its thread has ended, and it renders no more.
  bool failed() const { return failed_.load(std::memory_order_acquire); }

 private:
  SynthCore& core_;
  std::mutex rendering_;
  bool abandoned_ = false;
  std::atomic<bool> failed_{false};
};

struct StartedAudio {
  std::unique_ptr<DriverFeed> feed;     // what driver renders, which outlives it
  AudioDriverHandle driver;             // FluidSynth's driver, or
  std::unique_ptr<AudioStream> stream;  // the synth's own stream; neither when nothing opened
  bool open() const { return driver != nullptr || stream != nullptr; }
  // Closes it, the driver (joining its thread) before the feed that its thread renders from and
  // tells its errors to: an assignment of {} would free the feed first.
  void close() {
    driver.reset();
    stream.reset();
    feed.reset();
    rendersThroughCore = false;
  }
  // False once the server has dropped the stream, or the driver has failed. A driver whose server
  // is only stuck says nothing: its renders stop.
  bool playing() const {
    if (stream != nullptr) return stream->playing();
    return feed == nullptr || !feed->failed();
  }
  // Whether it renders through core.render(), so that core.renderCount() follows it; the file
  // output (tests) renders the synth directly.
  bool rendersThroughCore = false;
};

// Starts the first of outputs that opens, playing core. Failed attempts print nothing. The driver
// must go before core does.
StartedAudio StartAudioOutput(SynthCore& core, const std::vector<SynthAudioOutput>& outputs);

// Lets go of FluidSynth's driver without waiting for its thread, which a server that has gone
// lets end at once and one that is stuck may hold for ever; from now on it renders silence, and
// the core may go before it.
void AbandonAudioOutput(StartedAudio audio);

}  // namespace kalvora
