#include "midi/backends/fluidsynth/engine/synth_worker.h"

#include <algorithm>
#include <utility>

#include "midi/midi_bytes.h"
#include "midi/message_urgency.h"

namespace kalvora {

namespace {

using Clock = std::chrono::steady_clock;

// While the output is open the thread looks this often whether anything still sounds.
constexpr auto kIdleCheck = std::chrono::milliseconds(250);
// Far more than a window sends while a sound server catches up; under a flood from a MIDI
// keyboard, pressure, bend and controllers are refused first and the last quarter is kept for
// the messages that end notes.
constexpr std::size_t kQueueLimit = 4096;

bool IsSoundingNoteOn(std::span<const std::uint8_t> bytes) {
  return bytes.size() == 3 && (bytes[0] & kStatusKindMask) == kNoteOn && bytes[2] != 0;
}

}  // namespace

SynthWorker::SynthWorker(std::unique_ptr<SynthCore> core, std::vector<SynthAudioOutput> outputs)
    : core_(std::move(core)), outputs_(std::move(outputs)), thread_([this] { run(); }) {}

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
  openAudio();
  {
    const std::lock_guard lock(mutex_);
    firstStart_ = audio_ ? AudioStart::kOpened : AudioStart::kFailed;
  }
  changed_.notify_all();

  std::vector<Message> batch;
  std::unique_lock lock(mutex_);
  while (true) {
    if (queue_.empty() && !stopping_) {
      // Closed, nothing can change until a message comes; open, the idle check is due.
      if (audio_) {
        changed_.wait_for(lock, kIdleCheck);
      } else {
        changed_.wait(lock);
      }
    }
    batch.clear();
    batch.swap(queue_);
    const bool stopping = stopping_;
    lock.unlock();
    for (const Message& message : batch) {
      if (message.kind == Kind::kShort && IsSoundingNoteOn(message.bytes())) {
        if (!audio_) openAudio();
        // Counted from here, whether or not the synth has started the voice yet.
        lastSound_ = Clock::now();
      }
      apply(message);
    }
    if (stopping) break;
    closeAudioWhenIdle();
    lock.lock();
  }
  audio_.reset();  // before the synth it plays
}

void SynthWorker::openAudio() {
  audio_ = StartAudioOutput(*core_, outputs_);
  lastSound_ = Clock::now();
  const std::lock_guard lock(mutex_);
  audioOpen_ = audio_ != nullptr;
}

void SynthWorker::apply(const Message& message) {
  switch (message.kind) {
    case Kind::kShort:
      core_->sendShort(message.bytes());
      if (!message.bytes().empty() && (message.bytes()[0] & kStatusKindMask) == kProgramChange) {
        keepLoaded(message.bytes()[0] & kChannelMask);
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

void SynthWorker::keepLoaded(int channel) {
  fluid_preset_t* preset = fluid_synth_get_channel_preset(core_->synth(), channel);
  if (preset == nullptr) return;
  const std::tuple<int, int, int> tone{fluid_sfont_get_id(fluid_preset_get_sfont(preset)),
                                       fluid_preset_get_banknum(preset),
                                       fluid_preset_get_num(preset)};
  if (const auto it = std::find(kept_.begin(), kept_.end(), tone); it != kept_.end()) {
    kept_.erase(it);
    kept_.push_back(tone);
    return;
  }
  const auto& [font, bank, program] = tone;
  if (fluid_synth_pin_preset(core_->synth(), font, bank, program) != FLUID_OK) return;
  kept_.push_back(tone);
  if (kept_.size() > kTonesKept) {
    const auto& [oldFont, oldBank, oldProgram] = kept_.front();
    fluid_synth_unpin_preset(core_->synth(), oldFont, oldBank, oldProgram);
    kept_.pop_front();
  }
}

void SynthWorker::closeAudioWhenIdle() {
  if (!audio_) return;
  const auto now = Clock::now();
  if (fluid_synth_get_active_voice_count(core_->synth()) > 0) {
    lastSound_ = now;
    return;
  }
  if (now - lastSound_ < kIdleAfter) return;
  audio_.reset();
  const std::lock_guard lock(mutex_);
  audioOpen_ = false;
}

}  // namespace kalvora
