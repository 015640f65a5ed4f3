#include "midi/input/input_inbox.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "midi/bounded_call.h"
#include "midi/message_ring.h"

namespace kalvora {

namespace {

// A burst of ten thousand messages fits with room to spare; beyond that input is dropped.
constexpr std::size_t kQueueBytes = 1 << 20;
using Stamp = HMIDIOUT;
// One queued entry: the stamp, then up to this many bytes. Longer input (system-exclusive data)
// goes in several entries, so no poster needs more than a small buffer on its stack.
constexpr std::size_t kEntryBytes = 256;
constexpr std::size_t kEntryData = kEntryBytes - sizeof(Stamp);
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
  MessageRing& queue = *box.queues[static_cast<std::size_t>(source)];
  bool queued = !bytes.empty();
  for (std::size_t at = 0; queued && at < bytes.size(); at += kEntryData) {
    const std::size_t count = std::min(kEntryData, bytes.size() - at);
    std::array<std::uint8_t, kEntryBytes> entry;
    std::memcpy(entry.data(), &stamp, sizeof stamp);
    std::memcpy(entry.data() + sizeof stamp, bytes.data() + at, count);
    queued = queue.push(std::span(entry.data(), sizeof stamp + count));
  }
  Wake(box);
  return queued;
}

int MidiInputReadyFd() { return TheInbox().wake; }

void DeliverMidiInput() {
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
      RouteMidiInput(static_cast<InputSource>(source),
                     std::span(entry.data() + sizeof stamp, size - sizeof stamp), stamp);
    }
  }
  if (left) Wake(box);
}

void StopMidiInputs(MidiInputPorts& inputs, std::chrono::milliseconds limit) {
  for (auto& input : inputs) DestroyWithin(std::move(input), limit);
  inputs.clear();
}

}  // namespace kalvora
