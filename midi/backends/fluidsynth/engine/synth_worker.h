// The built-in synth's own thread. What the window sends is queued and applied there, in order,
// so a tone's first press never waits for its samples to load; the thread also runs the audio
// output only while something sounds, so an idle synth costs neither us nor the sound server.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/engine/kept_tones.h"
#include "midi/backends/fluidsynth/engine/outputs/fluidsynth_audio.h"
#include "midi/message_urgency.h"

namespace kalvora {

class SynthWorker {
 public:
  // With nothing sounding for this long the output plays silence without rendering the synth (the
  // reverb's tail has died by then)...
  static constexpr std::chrono::milliseconds kRestAfter{2000};
  // ...and after this long it closes; the next note opens it again. Presses up to 10 s apart find
  // the stream open: one opened beside another program's (a player's 200 ms) waits some 35 ms
  // for the sink to leave its large blocks, where an open one answers at once.
  static constexpr std::chrono::milliseconds kIdleAfter{12000};
  // FluidSynth's drivers say nothing when their server goes (a desktop's PulseAudio restarted):
  // one that has asked for no sound this long has lost it, or its server is stuck, and the next
  // note opens the output anew. A server that is only slow asks well within it: the longest a
  // working one waits is a sink that had no stream, which plays out blocks of up to 2 s first.
  static constexpr std::chrono::milliseconds kDriverSilentLimit{4000};
  // Starts the thread, which opens the first of outputs that opens.
  SynthWorker(std::unique_ptr<SynthCore> core, std::vector<SynthAudioOutput> outputs);
  // Ends the thread after what is queued; the audio output and the synth go with it.
  ~SynthWorker();
  SynthWorker(const SynthWorker&) = delete;
  SynthWorker& operator=(const SynthWorker&) = delete;

  enum class AudioStart { kOpened, kFailed, kPending };
  // How the first opening of the audio output went, waiting at most limit for it.
  AudioStart waitForAudio(std::chrono::milliseconds limit);

  // Queue a message; they are applied in the order queued. Never waits on the thread. Dropped
  // (false) when the thread is so far behind that the queue has no room for it (a stuck sound
  // server, a flood): see message_urgency.h for what is refused first.
  bool sendShort(std::span<const std::uint8_t> bytes);
  void sendLong(std::span<const std::uint8_t> bytes);
  void silence();

  // Whether the audio output is open now (tests and benchmarks).
  bool audioOpen() const;

 private:
  enum class Kind : std::uint8_t { kShort, kLong, kSilence };
  // Up to three bytes are kept inline, so that a press allocates nothing.
  struct Message {
    Kind kind = Kind::kSilence;
    std::uint8_t inlineSize = 0;
    std::array<std::uint8_t, 3> inlineBytes{};
    std::vector<std::uint8_t> longerBytes;
    std::span<const std::uint8_t> bytes() const {
      if (!longerBytes.empty()) return longerBytes;
      return {inlineBytes.data(), inlineSize};
    }
  };

  bool post(Kind kind, std::span<const std::uint8_t> bytes, Urgency urgency);
  void run();
  void openAudio();
  void apply(const Message& message);
  // After every so many messages, waits for the output to render what they queued in the synth.
  void paceForRender();
  void closeAudioWhenIdle();
  // Lets go of the output: at once, without waiting for it, when it is a driver that has stopped.
  void releaseAudio();
  // Whether FluidSynth's driver has asked for no sound for kDriverSilentLimit; looked at on every
  // turn of the thread, so that it counts from the last render seen.
  bool driverStopped();

  std::unique_ptr<SynthCore> core_;
  const std::vector<SynthAudioOutput> outputs_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Message> queue_;  // swapped with the thread's batch, so both keep their room
  AudioStart firstStart_ = AudioStart::kPending;
  bool audioOpen_ = false;
  bool stopping_ = false;

  // The thread's own.
  StartedAudio audio_;
  std::chrono::steady_clock::time_point lastSound_;
  bool sounding_ = false;  // voices counted at the last check
  int sinceRender_ = 0;    // messages applied since the last wait for a render
  std::uint64_t rendersSeen_ = 0;
  std::chrono::steady_clock::time_point renderSeenAt_;
  KeptTones kept_;  // after core_, whose synth it pins tones in

  std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace kalvora
