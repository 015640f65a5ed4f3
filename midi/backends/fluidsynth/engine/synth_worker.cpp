#include "midi/backends/fluidsynth/engine/synth_worker.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <utility>

#include "midi/message_urgency.h"
#include "midi/midi_bytes.h"
#include "midi/short_message.h"

namespace kalvora {

namespace {

using Clock = std::chrono::steady_clock;

// While the output is open and nothing sounds, the thread looks this often whether it may close.
constexpr auto kIdleCheck = std::chrono::milliseconds(250);
// While voices sound it looks far more often: FluidSynth hands the voices that have ended back at
// the next call made to it, and keeps no more than its polyphony (256) of them in between; one
// more is lost and counted as sounding for good, which would hold the output open for ever.
constexpr auto kSoundingCheck = std::chrono::milliseconds(10);
// What a message does to the voices waits for the next render in a queue of fixed size, and what
// does not fit is dropped (a note's start, its release). A control change queues one event per
// voice of its channel, a note-on about fifty per voice: this many messages between two renders
// stay well inside the queue with every voice sounding.
constexpr int kMessagesPerRender = 64;
constexpr auto kRenderPoll = std::chrono::microseconds(500);
// An output that renders past the core is paced by time alone: about one period of the file
// output's.
constexpr auto kUncountedRender = std::chrono::milliseconds(2);
// FluidSynth applies its queue at the start of each block of this many frames.
constexpr std::size_t kBlockFrames = 64;
// Renders an output has made since its open, once it has started and asks in its own rhythm.
constexpr std::uint64_t kStartedAfter = 2;
// Below the output's thread (FluidSynth's drivers and the synth's own stream take 60).
constexpr int kWorkerPriority = 50;
// Far more than a window sends while a sound server catches up; under a flood from a MIDI
// keyboard, pressure, bend and controllers are refused first and the last quarter is kept for
// the messages that end notes.
constexpr std::size_t kQueueLimit = 4096;
constexpr int kAllChannels = -1;  // as FluidSynth's sounds-off takes it
// A thousandth of full scale (-60 dBFS): a tail that rings out below it is lost under any room's
// noise at a level where the notes themselves are comfortable. A drum kit's releases ring on
// down there long after anyone hears them.
constexpr float kHearingFloor = 0.001F;

bool IsSoundingNoteOn(std::span<const std::uint8_t> bytes) {
  return bytes.size() == 3 && StartsNote(bytes[0], bytes[2]);
}

// Channels no press plays (the window and the MIDI input play channel 1 and the rhythm channel),
// where tones and kits are chosen ahead of their press.
constexpr std::uint8_t kPreparedToneChannel = 15;
constexpr std::uint8_t kPreparedKitChannel = 14;

// The messages of a set-up that choose its tone (bank select and program change), moved to the
// channel kept for choosing ahead: a kit's to one that plays kits.
std::vector<std::uint8_t> ToneChoiceOf(std::span<const std::uint32_t> setUp) {
  std::vector<std::uint8_t> bytes;
  for (const std::uint32_t message : setUp) {
    const auto [status, data1, data2] = UnpackShortMessage(message);
    const std::uint8_t kind = status & kStatusKindMask;
    const bool bank =
        kind == kControlChange && (data1 == kControlBankMsb || data1 == kControlBankLsb);
    if (!bank && kind != kProgramChange) continue;
    const bool kit = (status & kChannelMask) == kRhythmChannel;
    bytes.push_back(kind | (kit ? kPreparedKitChannel : kPreparedToneChannel));
    bytes.push_back(data1);
    if (bank) bytes.push_back(data2);
  }
  return bytes;
}

}  // namespace

SynthWorker::SynthWorker(std::unique_ptr<SynthCore> core, std::vector<SynthAudioOutput> outputs)
    : core_(std::move(core)),
      outputs_(std::move(outputs)),
      scratch_(2 * kBlockFrames),
      voices_(core_->synth()),
      kept_(core_->synth()),
      restingKit_(core_->synth(), kept_, kPreparedKitChannel),
      thread_([this] { run(); }) {}

SynthWorker::~SynthWorker() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

SynthWorker::AudioStart SynthWorker::waitForAudio(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, limit, [this] { return firstStart_ != AudioStart::kPending; });
  return firstStart_;
}

bool SynthWorker::sendShort(std::span<const std::uint8_t> bytes) {
  return post(Kind::kShort, bytes, UrgencyOf(bytes));
}

void SynthWorker::sendLong(std::span<const std::uint8_t> bytes) {
  post(Kind::kLong, bytes, Urgency::kOrdinary);
}

void SynthWorker::silence() { post(Kind::kSilence, {}, Urgency::kEndsNotes); }

void SynthWorker::prepare(std::span<const std::uint32_t> setUp) {
  std::vector<std::uint8_t> choice = ToneChoiceOf(setUp);
  if (choice.empty()) return;
  {
    const std::lock_guard lock(mutex_);
    // A tone the pointer has left before its turn came is not worth loading.
    const auto queued = std::find_if(queue_.begin(), queue_.end(),
                                     [](const Message& m) { return m.kind == Kind::kPrepare; });
    if (queued != queue_.end()) {
      queued->longerBytes = std::move(choice);
      return;
    }
    if (stopping_ || !HasRoomFor(Urgency::kThinnable, 1, queue_.size(), kQueueLimit)) return;
    Message& message = queue_.emplace_back();
    message.kind = Kind::kPrepare;
    message.longerBytes = std::move(choice);
  }
  changed_.notify_one();
}

bool SynthWorker::audioOpen() const {
  const std::lock_guard lock(mutex_);
  return audioOpen_;
}

bool SynthWorker::post(Kind kind, std::span<const std::uint8_t> bytes, Urgency urgency) {
  {
    const std::lock_guard lock(mutex_);
    if (stopping_ || !HasRoomFor(urgency, 1, queue_.size(), kQueueLimit)) return false;
    Message& message = queue_.emplace_back();
    message.kind = kind;
    if (bytes.size() <= message.inlineBytes.size()) {
      std::copy(bytes.begin(), bytes.end(), message.inlineBytes.begin());
      message.inlineSize = static_cast<std::uint8_t>(bytes.size());
    } else {
      message.longerBytes.assign(bytes.begin(), bytes.end());
    }
  }
  changed_.notify_one();
  return true;
}

void SynthWorker::run() {
  // The output's thread waits for the synth's lock while this thread applies a message; preempted
  // there by a busy machine, it would leave the sink without sound. A user without the right to
  // real-time scheduling keeps the ordinary priority.
  const sched_param param{.sched_priority = kWorkerPriority};
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  openAudio();
  {
    const std::lock_guard lock(mutex_);
    firstStart_ = audio_.open() ? AudioStart::kOpened : AudioStart::kFailed;
  }
  changed_.notify_all();

  std::vector<Message> batch;
  std::unique_lock lock(mutex_);
  while (true) {
    if (queue_.empty() && !stopping_) {
      // Closed, nothing can change until a message comes; open, the idle check is due.
      if (audio_.open()) {
        changed_.wait_for(lock, sounding_ ? kSoundingCheck : kIdleCheck);
      } else {
        changed_.wait(lock);
      }
    }
    batch.clear();
    batch.swap(queue_);
    const bool stopping = stopping_;
    lock.unlock();
    if (std::any_of(batch.begin(), batch.end(),
                    [](const Message& m) { return m.kind != Kind::kPrepare; })) {
      core_->rest(false);
    }
    for (const Message& message : batch) {
      if (message.kind == Kind::kShort && IsSoundingNoteOn(message.bytes())) {
        if (!audio_.open() || outputLost()) openAudio();
        // Counted from here, whether or not the synth has started the voice yet.
        lastSound_ = Clock::now();
        // The drum kits are read while the user plays, to come in at the first quiet.
        if (!played_) core_->startDrumKits();
        played_ = true;
      }
      apply(message);
      paceForRender();
    }
    kept_.tidy(audio_.open() && audio_.rendersThroughCore
                   ? std::optional<std::uint64_t>(core_->renderCount())
                   : std::nullopt);
    if (stopping) break;
    closeAudioWhenIdle();
    lock.lock();
  }
  releaseAudio();  // before the synth it plays
}

void SynthWorker::openAudio() {
  releaseAudio();
  audio_ = StartAudioOutput(*core_, outputs_);
  lastSound_ = Clock::now();
  rendersAtOpen_ = rendersSeen_ = core_->renderCount();
  renderSeenAt_ = lastSound_;
  const std::lock_guard lock(mutex_);
  audioOpen_ = audio_.open();
}

void SynthWorker::apply(const Message& message) {
  switch (message.kind) {
    case Kind::kShort: {
      const std::span<const std::uint8_t> bytes = message.bytes();
      const int channel = bytes.empty() ? 0 : bytes[0] & kChannelMask;
      if (channel == kRhythmChannel) restingKit_.beforeRhythm(bytes);
      core_->sendShort(bytes);
      if (!bytes.empty() && (bytes[0] & kStatusKindMask) == kProgramChange) {
        kept_.chosen(channel);
      } else if (IsSoundingNoteOn(bytes)) {
        kept_.started(channel);
        restingKit_.wanted(channel == kRhythmChannel);
      }
      break;
    }
    case Kind::kLong:
      core_->sendLong(message.bytes());
      break;
    case Kind::kSilence:
      core_->silence();
      break;
    case Kind::kPrepare:
      applyPrepare(message.bytes());
      break;
  }
}

void SynthWorker::applyPrepare(std::span<const std::uint8_t> choice) {
  const bool kit = (choice[0] & kChannelMask) == kPreparedKitChannel;
  restingKit_.wanted(kit);
  if (kit) {
    core_->prepareDrumKits();
    // A reset gives every channel but the rhythm channel tones again.
    fluid_synth_set_channel_type(core_->synth(), kPreparedKitChannel, CHANNEL_TYPE_DRUM);
  }
  for (std::size_t at = 0; at < choice.size();) {
    const std::size_t length = 1 + static_cast<std::size_t>(DataBytesAfter(choice[at]));
    core_->sendShort(choice.subspan(at, length));
    at += length;
  }
}

void SynthWorker::paceForRender() {
  if (++sinceRender_ < kMessagesPerRender) return;
  sinceRender_ = 0;
  if (!audio_.open()) {
    renderHere();
    return;
  }
  std::unique_lock lock(mutex_);
  if (!audio_.rendersThroughCore) {
    changed_.wait_for(lock, kUncountedRender, [this] { return stopping_; });
    return;
  }
  // However long a working server takes (a sink that has just started may render in blocks of a
  // second), but no longer: a server that has gone or is stuck takes the output with it, and the
  // window's messages wait in the queue meanwhile as they would for the synth.
  const std::uint64_t renders = core_->renderCount();
  while (core_->renderCount() == renders && !stopping_) {
    if (outputLost()) {
      lock.unlock();
      releaseAudio();
      return;
    }
    changed_.wait_for(lock, kRenderPoll);
  }
}

bool SynthWorker::outputLost() {
  if (!audio_.open()) return false;
  if (!audio_.playing()) return true;
  if (!audio_.rendersThroughCore) return false;
  const auto now = Clock::now();
  if (const std::uint64_t renders = core_->renderCount(); renders != rendersSeen_) {
    rendersSeen_ = renders;
    renderSeenAt_ = now;
    return false;
  }
  const bool started = rendersSeen_ - rendersAtOpen_ >= kStartedAfter;
  return now - renderSeenAt_ >= (started ? kRenderLate : kStartingRenderLate);
}

void SynthWorker::releaseAudio() {
  if (!audio_.open()) return;
  const bool lost = outputLost();
  // A driver is let go without waiting for its thread, which a stuck server may hold for ever;
  // a stream goes at once whatever its server does.
  if (lost && audio_.driver) AbandonAudioOutput(std::move(audio_));
  audio_.close();
  {
    const std::lock_guard lock(mutex_);
    audioOpen_ = false;
  }
  core_->rest(false);
  if (lost) {
    core_->silence();
    renderHere();
    sounding_ = false;
  }
}

void SynthWorker::renderHere() {
  core_->render({scratch_.data(), kBlockFrames}, {scratch_.data() + kBlockFrames, kBlockFrames});
}

void SynthWorker::closeAudioWhenIdle() {
  if (!audio_.open()) return;
  // An output whose server has gone closes at once; the next note opens the output anew.
  const bool lost = outputLost();
  if (!lost) {
    const auto now = Clock::now();
    const SynthVoices::State voices = voices_.state();
    // An output that renders past the core is not heard here: every voice counts.
    const bool heard = !audio_.rendersThroughCore || core_->takeLoudest() >= kHearingFloor;
    sounding_ = voices.held || (voices.any && heard);
    if (sounding_) {
      lastSound_ = now;
      return;
    }
    if (now - lastSound_ >= kRestAfter) {
      // What still rings has been below hearing since: it ends, and then the synth rests.
      if (voices.any) {
        fluid_synth_all_sounds_off(core_->synth(), kAllChannels);
      } else {
        core_->rest(true);
        // The first quiet after the user has played: the drum kits come in while nothing waits
        // for the synth, so that the drum page's first press finds them. (Before anything is
        // played they stay out: they would only add to the memory of a start.)
        if (played_) core_->prepareDrumKits();
      }
    }
    if (now - lastSound_ < kIdleAfter) return;
  }
  releaseAudio();
  if (lost) return;
  // What still rang went below hearing long ago; ended now, it holds no samples while closed.
  if (voices_.state().any) {
    fluid_synth_all_sounds_off(core_->synth(), kAllChannels);
    renderHere();
  }
  restingKit_.rest();
}

}  // namespace kalvora
