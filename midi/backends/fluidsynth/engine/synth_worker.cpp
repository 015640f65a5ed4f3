#include "midi/backends/fluidsynth/engine/synth_worker.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <utility>

#include "midi/message_urgency.h"
#include "midi/midi_bytes.h"

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
// Below the output's thread (FluidSynth's drivers and the synth's own stream take 60).
constexpr int kWorkerPriority = 50;
// Far more than a window sends while a sound server catches up; under a flood from a MIDI
// keyboard, pressure, bend and controllers are refused first and the last quarter is kept for
// the messages that end notes.
constexpr std::size_t kQueueLimit = 4096;

bool IsSoundingNoteOn(std::span<const std::uint8_t> bytes) {
  return bytes.size() == 3 && StartsNote(bytes[0], bytes[2]);
}

}  // namespace

SynthWorker::SynthWorker(std::unique_ptr<SynthCore> core, std::vector<SynthAudioOutput> outputs)
    : core_(std::move(core)),
      outputs_(std::move(outputs)),
      kept_(core_->synth()),
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
    if (!batch.empty()) core_->rest(false);
    for (const Message& message : batch) {
      if (message.kind == Kind::kShort && IsSoundingNoteOn(message.bytes())) {
        if (!audio_.open() || !audio_.playing() || driverStopped()) openAudio();
        // Counted from here, whether or not the synth has started the voice yet.
        lastSound_ = Clock::now();
      }
      apply(message);
      paceForRender();
    }
    kept_.tidy();
    if (stopping) break;
    closeAudioWhenIdle();
    lock.lock();
  }
  audio_ = {};  // before the synth it plays
}

void SynthWorker::openAudio() {
  releaseAudio();
  audio_ = StartAudioOutput(*core_, outputs_);
  lastSound_ = Clock::now();
  rendersSeen_ = core_->renderCount();
  renderSeenAt_ = lastSound_;
  const std::lock_guard lock(mutex_);
  audioOpen_ = audio_.open();
}

void SynthWorker::apply(const Message& message) {
  switch (message.kind) {
    case Kind::kShort:
      core_->sendShort(message.bytes());
      if (!message.bytes().empty() && (message.bytes()[0] & kStatusKindMask) == kProgramChange) {
        kept_.chosen(message.bytes()[0] & kChannelMask);
      }
      break;
    case Kind::kLong:
      core_->sendLong(message.bytes());
      break;
    case Kind::kSilence:
      core_->silence();
      break;
  }
}

void SynthWorker::paceForRender() {
  if (++sinceRender_ < kMessagesPerRender) return;
  sinceRender_ = 0;
  if (!audio_.open()) return;
  std::unique_lock lock(mutex_);
  if (!audio_.rendersThroughCore) {
    changed_.wait_for(lock, kUncountedRender, [this] { return stopping_; });
    return;
  }
  // However long the server takes (a sink that has just started may render in blocks of a
  // second; a stalled server may take for ever, and the window's messages then wait in the queue
  // as they would for the synth), and until the worker is told to stop.
  const std::uint64_t renders = core_->renderCount();
  while (core_->renderCount() == renders && !stopping_ && !driverStopped()) {
    changed_.wait_for(lock, kRenderPoll);
  }
}

bool SynthWorker::driverStopped() {
  if (!audio_.driver || !audio_.rendersThroughCore) return false;
  const auto now = Clock::now();
  if (const std::uint64_t renders = core_->renderCount(); renders != rendersSeen_) {
    rendersSeen_ = renders;
    renderSeenAt_ = now;
    return false;
  }
  return now - renderSeenAt_ >= kDriverSilentLimit;
}

void SynthWorker::releaseAudio() {
  if (driverStopped()) AbandonAudioOutput(std::move(audio_));
  audio_ = {};
}

void SynthWorker::closeAudioWhenIdle() {
  if (!audio_.open()) return;
  // A driver whose server has gone closes at once; the next note opens the output anew.
  if (!driverStopped()) {
    const auto now = Clock::now();
    sounding_ = fluid_synth_get_active_voice_count(core_->synth()) > 0;
    if (sounding_) {
      lastSound_ = now;
      return;
    }
    if (now - lastSound_ >= kRestAfter) core_->rest(true);
    if (now - lastSound_ < kIdleAfter) return;
  }
  releaseAudio();
  core_->rest(false);
  const std::lock_guard lock(mutex_);
  audioOpen_ = false;
}

}  // namespace kalvora
