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
#include "midi/backends/fluidsynth/engine/resting_kit.h"
#include "midi/backends/fluidsynth/engine/synth_voices.h"
#include "midi/message_urgency.h"

namespace kalvora {

class SynthWorker {
 public:
  // With nothing sounding for this long the output plays silence without rendering the synth (the
  // reverb's tail has died by then)...
  static constexpr std::chrono::milliseconds kRestAfter{2000};
  // ...and soon after it closes, so that the quiet between presses costs neither us nor the
  // server (an open stream has the server mix in small blocks, which no resting saves); the next
  // note opens it again, which costs a first note some milliseconds more.
  static constexpr std::chrono::milliseconds kIdleAfter{4000};
  // An output whose server has gone says so (its stream ends, its driver logs an error); one
  // whose server is stuck only stops asking for sound. Once it has asked twice, a request this
  // late (dozens of its periods, past the stalls of a busy machine) ends it, and the next note
  // opens the output anew...
  static constexpr std::chrono::milliseconds kRenderLate{250};
  // ...but before that a working server may wait far longer: a sink that had no stream plays
  // out blocks of up to 2 s before it asks again.
  static constexpr std::chrono::milliseconds kStartingRenderLate{4000};
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
  // Loads ahead the tone a press's set-up chooses (MidiConnection::prepare): the synth chooses it
  // on a channel no press plays, where it stays loaded until the next one. Only the latest
  // waits in the queue.
  void prepare(std::span<const std::uint32_t> setUp);

  // Whether the audio output is open now (tests and benchmarks).
  bool audioOpen() const;

 private:
  enum class Kind : std::uint8_t { kShort, kLong, kSilence, kPrepare };
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
  void applyPrepare(std::span<const std::uint8_t> choice);
  // After every so many messages, waits for the output to render what they queued in the synth;
  // with no output, renders them here.
  void paceForRender();
  void closeAudioWhenIdle();
  // Lets go of the output: at once, without waiting for it, when it has lost its server, whose
  // sound its voices go with.
  void releaseAudio();
  // Whether the output has lost its server or renders no more (kRenderLate); looked at on every
  // turn of the thread, so that lateness counts from the last render seen.
  bool outputLost();
  // Applies what the synth has queued for its voices without an output to render it.
  void renderHere();

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
  bool sounding_ = false;  // a voice held or heard at the last check
  bool played_ = false;    // a note has been played
  int sinceRender_ = 0;    // messages applied since the last wait for a render
  std::uint64_t rendersAtOpen_ = 0;
  std::uint64_t rendersSeen_ = 0;
  std::chrono::steady_clock::time_point renderSeenAt_;
  std::vector<float> scratch_;  // what renderHere() makes and throws away
  SynthVoices voices_;          // after core_, whose synth it asks
  KeptTones kept_;              // after core_, whose synth it pins tones in
  RestingKit restingKit_;       // after kept_, whose kits it lets go

  std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace kalvora
