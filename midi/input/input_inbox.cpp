#include "midi/input/input_inbox.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "midi/bounded_call.h"
#include "midi/input/input_stream.h"
#include "midi/input/note_ledger.h"
#include "midi/message_ring.h"
#include "midi/message_urgency.h"

namespace kalvora {

namespace {

// A burst of ninety thousand messages fits; beyond half of it, pressure, bend and controllers
// are dropped, and the last quarter is kept for the messages that end notes.
constexpr std::size_t kQueueBytes = 1 << 20;
using Stamp = HMIDIOUT;
// One queued entry: the stamp, then the message's status and data bytes (a zero where a
// two-byte message has none).
constexpr std::size_t kEntryBytes = sizeof(Stamp) + 3;
// What one delivery takes at most from each input, so a flood cannot hold the window's thread:
// the rest waits for the loop's next turn.
constexpr std::size_t kMostPerDelivery = 16 * 1024;

struct Inbox {
  Inbox() {
    for (auto& queue : queues) queue = std::make_unique<MessageRing>(kQueueBytes);
  }
  ~Inbox() {
    if (wake >= 0) ::close(wake);
  }
  std::array<std::unique_ptr<MessageRing>, kInputSources> queues;
  // Each read on its input's own thread, so what is queued is whole messages whose urgency is
  // known, running status and all.
  std::array<InputStream, kInputSources> streams;
  // What each input's queue took and refused of its notes (its own thread's too).
  std::array<NoteLedger, kInputSources> notes;
  int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  // Set by the poster that wakes the loop; cleared by the window before it takes.
  std::atomic<bool> woken{false};
};

Inbox& TheInbox() {
  static Inbox instance;
  return instance;
}

void Wake(Inbox& box) noexcept {
  // Ordered with the window's clearing of woken, so input is never left waiting unwoken.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (box.wake >= 0 && !box.woken.exchange(true, std::memory_order_seq_cst)) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(box.wake, &one, sizeof one);
  }
}

}  // namespace

bool PostMidiInput(InputSource source, std::span<const std::uint8_t> bytes) noexcept {
  Inbox& box = TheInbox();
  const Stamp stamp = DeviceOpenNow();
  const auto index = static_cast<std::size_t>(source);
  MessageRing& queue = *box.queues[index];
  NoteLedger& notes = box.notes[index];
  bool allQueued = true;
  box.streams[index].feed(bytes, [&](const ChannelMessage& m) {
    if (m.endsNote() && !notes.noteOffNeeded(m.channel(), m.data1)) return;
    std::array<std::uint8_t, kEntryBytes> entry;
    std::memcpy(entry.data(), &stamp, sizeof stamp);
    entry[sizeof stamp] = m.status;
    entry[sizeof stamp + 1] = m.data1;
    entry[sizeof stamp + 2] = m.data2;
    const bool taken =
        queue.push(entry, UrgencyOf(std::span(entry.data() + sizeof stamp, m.size())));
    if (m.startsNote()) notes.noteOn(m.channel(), m.data1, taken);
    if (m.endsNote() && taken) notes.noteOff(m.channel(), m.data1);
    allQueued &= taken;
  });
  Wake(box);
  return allQueued;
}

int MidiInputReadyFd() { return TheInbox().wake; }

void DeliverMidiInput(MidiInputRoute route) {
  Inbox& box = TheInbox();
  if (box.wake >= 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(box.wake, &count, sizeof count);
  }
  // Cleared before taking, so input posted from here on wakes the loop again.
  box.woken.store(false, std::memory_order_seq_cst);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  std::array<std::uint8_t, kEntryBytes> entry;
  bool left = false;
  for (std::size_t source = 0; source < kInputSources; ++source) {
    MessageRing& queue = *box.queues[source];
    std::size_t taken = 0;
    for (std::size_t size = queue.frontSize(); size != 0; size = queue.frontSize()) {
      if (taken++ == kMostPerDelivery) {
        left = true;
        break;
      }
      queue.copyFront(entry.data());
      queue.pop();
      Stamp stamp{};
      std::memcpy(&stamp, entry.data(), sizeof stamp);
      route({entry[sizeof stamp], entry[sizeof stamp + 1], entry[sizeof stamp + 2]}, stamp);
    }
  }
  if (left) Wake(box);
}

void ResetMidiInput() {
  Inbox& box = TheInbox();
  for (auto& queue : box.queues) {
    while (!queue->empty()) queue->pop();
  }
  box.streams = {};
  for (auto& ledger : box.notes) ledger.clear();
}

void StopMidiInputs(MidiInputPorts& inputs, std::chrono::milliseconds limit) {
  for (auto& input : inputs) DestroyWithin(std::move(input), limit);
  inputs.clear();
}

}  // namespace kalvora
