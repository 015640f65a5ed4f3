// A lock-free queue of whole MIDI messages between one sending thread and one audio thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "midi/message_urgency.h"

namespace kalvora {

// Single producer, single consumer. Each message is stored as a length header and its bytes
// in one fixed buffer, and is published only when complete, so the consumer never sees half
// a message. Neither side ever blocks or allocates after construction.
class MessageRing {
 public:
  // The capacity is rounded up to a power of two; it bounds headers and bytes together.
  explicit MessageRing(std::size_t capacityBytes);

  // Producer: stores the whole message, or nothing when it is empty or does not fit in the share
  // of the ring its urgency may fill (the whole ring by default).
  bool push(std::span<const std::uint8_t> message, Urgency urgency = Urgency::kEndsNotes) noexcept;

  // Consumer: the size of the oldest message, 0 when there is none.
  std::size_t frontSize() const noexcept;
  // Consumer: copies the oldest message (frontSize() bytes) to out.
  void copyFront(std::uint8_t* out) const noexcept;
  // Consumer: discards the oldest message.
  void pop() noexcept;

  bool empty() const noexcept;
  std::size_t capacity() const noexcept { return mask_ + 1; }

 private:
  using Header = std::uint32_t;

  void write(std::size_t position, const std::uint8_t* from, std::size_t count) noexcept;
  void read(std::size_t position, std::uint8_t* to, std::size_t count) const noexcept;
  Header headerAt(std::size_t position) const noexcept;

  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t mask_;
  // Positions only grow; their difference is the space in use. Kept on separate cache lines
  // so the two threads do not contend.
  alignas(64) std::atomic<std::size_t> readPosition_{0};
  alignas(64) std::atomic<std::size_t> writePosition_{0};
};

}  // namespace kalvora
