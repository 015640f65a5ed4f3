#include "midi/message_ring.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace kalvora {

namespace {
constexpr std::size_t kMinimumCapacity = 64;
}  // namespace

MessageRing::MessageRing(std::size_t capacityBytes)
    : data_(std::make_unique<std::uint8_t[]>(
          std::bit_ceil(std::max(capacityBytes, kMinimumCapacity)))),
      mask_(std::bit_ceil(std::max(capacityBytes, kMinimumCapacity)) - 1) {}

bool MessageRing::push(std::span<const std::uint8_t> message, Urgency urgency) noexcept {
  if (message.empty() || message.size() > std::numeric_limits<Header>::max()) return false;
  const std::size_t needed = sizeof(Header) + message.size();
  const std::size_t writeAt = writePosition_.load(std::memory_order_relaxed);
  const std::size_t readAt = readPosition_.load(std::memory_order_acquire);
  if (!HasRoomFor(urgency, needed, writeAt - readAt, capacity())) return false;

  Header header = static_cast<Header>(message.size());
  std::uint8_t headerBytes[sizeof(Header)];
  std::memcpy(headerBytes, &header, sizeof(Header));
  write(writeAt, headerBytes, sizeof(Header));
  write(writeAt + sizeof(Header), message.data(), message.size());
  writePosition_.store(writeAt + needed, std::memory_order_release);
  return true;
}

std::size_t MessageRing::frontSize() const noexcept {
  const std::size_t readAt = readPosition_.load(std::memory_order_relaxed);
  if (readAt == writePosition_.load(std::memory_order_acquire)) return 0;
  return headerAt(readAt);
}

void MessageRing::copyFront(std::uint8_t* out) const noexcept {
  const std::size_t readAt = readPosition_.load(std::memory_order_relaxed);
  read(readAt + sizeof(Header), out, headerAt(readAt));
}

void MessageRing::pop() noexcept {
  const std::size_t readAt = readPosition_.load(std::memory_order_relaxed);
  if (readAt == writePosition_.load(std::memory_order_acquire)) return;
  readPosition_.store(readAt + sizeof(Header) + headerAt(readAt), std::memory_order_release);
}

bool MessageRing::empty() const noexcept {
  return readPosition_.load(std::memory_order_acquire) ==
         writePosition_.load(std::memory_order_acquire);
}

void MessageRing::write(std::size_t position, const std::uint8_t* from,
                        std::size_t count) noexcept {
  const std::size_t start = position & mask_;
  const std::size_t first = std::min(count, capacity() - start);
  std::memcpy(data_.get() + start, from, first);
  std::memcpy(data_.get(), from + first, count - first);
}

void MessageRing::read(std::size_t position, std::uint8_t* to, std::size_t count) const noexcept {
  const std::size_t start = position & mask_;
  const std::size_t first = std::min(count, capacity() - start);
  std::memcpy(to, data_.get() + start, first);
  std::memcpy(to + first, data_.get(), count - first);
}

MessageRing::Header MessageRing::headerAt(std::size_t position) const noexcept {
  std::uint8_t headerBytes[sizeof(Header)];
  read(position, headerBytes, sizeof(Header));
  Header header;
  std::memcpy(&header, headerBytes, sizeof(Header));
  return header;
}

}  // namespace kalvora
