#include "midi/message_ring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace kalvora {
namespace {

using Message = std::vector<std::uint8_t>;

Message Pattern(std::size_t size, std::uint8_t seed) {
  Message message(size);
  for (std::size_t i = 0; i < size; ++i) message[i] = static_cast<std::uint8_t>(seed + i * 7);
  return message;
}

Message PopFront(MessageRing& ring) {
  Message message(ring.frontSize());
  ring.copyFront(message.data());
  ring.pop();
  return message;
}

TEST(MessageRing, RoundsCapacityUpToAPowerOfTwo) {
  EXPECT_EQ(MessageRing(100).capacity(), 128u);
  EXPECT_EQ(MessageRing(4096).capacity(), 4096u);
  EXPECT_EQ(MessageRing(1).capacity(), 64u);
}

TEST(MessageRing, MessagesComeOutWholeAndInOrderAcrossTheWrap) {
  // Sizes chosen so headers and bytes straddle the end of the 64-byte buffer at many offsets.
  MessageRing ring(64);
  for (std::size_t round = 0; round < 200; ++round) {
    const Message first = Pattern(1 + round % 23, static_cast<std::uint8_t>(round));
    const Message second = Pattern(1 + round % 11, static_cast<std::uint8_t>(round + 100));
    ASSERT_TRUE(ring.push(first)) << round;
    ASSERT_TRUE(ring.push(second)) << round;
    ASSERT_EQ(PopFront(ring), first) << round;
    ASSERT_EQ(PopFront(ring), second) << round;
    ASSERT_TRUE(ring.empty());
  }
}

TEST(MessageRing, RefusesWhatDoesNotFitAndKeepsWhatItHas) {
  MessageRing ring(64);
  const Message sysex = Pattern(40, 1);  // 44 bytes with its header
  const Message note = {0x90, 0x3C, 0x64};
  ASSERT_TRUE(ring.push(sysex));
  EXPECT_TRUE(ring.push(note));             // 7 more: 51 of 64
  EXPECT_FALSE(ring.push(Pattern(10, 2)));  // 14 more would be 65
  EXPECT_TRUE(ring.push(Pattern(9, 3)));    // 13 more fills it exactly
  EXPECT_FALSE(ring.push(Message{0xF8}));

  EXPECT_EQ(PopFront(ring), sysex);
  EXPECT_TRUE(ring.push(Pattern(30, 4))) << "popping frees room";
  EXPECT_EQ(PopFront(ring), note);
  EXPECT_EQ(PopFront(ring), Pattern(9, 3));
  EXPECT_EQ(PopFront(ring), Pattern(30, 4));
  EXPECT_TRUE(ring.empty());
}

TEST(MessageRing, UnderAFloodEndsOfNotesStillFindRoom) {
  // In a ring of 64 bytes: pressure, bend and controllers fill half of it, other messages three
  // quarters, the messages that end notes all of it. Each three-byte message takes 7.
  struct Case {
    const char* what;
    Message message;
    std::size_t fits;
  };
  const Case cases[] = {
      {"channel pressure", {0xD3, 0x40}, 5},  // 6 bytes each
      {"pitch bend", {0xE0, 0x00, 0x40}, 4},
      {"modulation", {0xB0, 0x01, 0x40}, 4},
      {"pedal down", {0xB0, 0x40, 0x7F}, 4},
      {"note-on", {0x90, 0x3C, 0x64}, 6},
      {"bank select", {0xB0, 0x00, 0x01}, 6},
      {"system exclusive", {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 4},
      {"note-off", {0x85, 0x3C, 0x00}, 9},
      {"note-on at velocity 0", {0x90, 0x3C, 0x00}, 9},
      {"pedal up", {0xB0, 0x40, 0x00}, 9},
      {"sostenuto up", {0xB0, 0x42, 0x3F}, 9},
      {"all notes off", {0xBF, 0x7B, 0x00}, 9},
      {"all sound off", {0xB0, 0x78, 0x00}, 9},
      {"poly mode on", {0xB0, 0x7F, 0x00}, 9},
      {"system reset", {0xFF}, 12},
  };
  for (const Case& c : cases) {
    MessageRing ring(64);
    std::size_t taken = 0;
    while (ring.push(c.message, UrgencyOf(c.message))) ++taken;
    EXPECT_EQ(taken, c.fits) << c.what;
  }

  // A ring thinned full of pressure still takes notes, and a ring full of notes their ends.
  MessageRing ring(64);
  const Message pressure = {0xD0, 0x10};
  const Message noteOn = {0x90, 0x3C, 0x64};
  const Message noteOff = {0x80, 0x3C, 0x40};
  while (ring.push(pressure, UrgencyOf(pressure))) {
  }
  EXPECT_TRUE(ring.push(noteOn, UrgencyOf(noteOn)));
  while (ring.push(noteOn, UrgencyOf(noteOn))) {
  }
  EXPECT_TRUE(ring.push(noteOff, UrgencyOf(noteOff)));
  EXPECT_TRUE(ring.push(noteOff, UrgencyOf(noteOff)));
  EXPECT_FALSE(ring.push(pressure, UrgencyOf(pressure)));
}

TEST(MessageRing, EmptyAndOversizedMessagesAreRefused) {
  MessageRing ring(64);
  EXPECT_FALSE(ring.push(Message{}));
  EXPECT_FALSE(ring.push(Pattern(61, 0)));  // 65 with its header
  EXPECT_TRUE(ring.empty());
  EXPECT_EQ(ring.frontSize(), 0u);
  ring.pop();  // popping nothing changes nothing
  EXPECT_TRUE(ring.push(Pattern(60, 0)));
  EXPECT_EQ(PopFront(ring), Pattern(60, 0));
}

TEST(MessageRing, ConcurrentProducerAndConsumerSeeEveryMessageIntact) {
  constexpr std::uint32_t kMessages = 50000;
  MessageRing ring(512);
  std::thread producer([&] {
    for (std::uint32_t i = 0; i < kMessages;) {
      const Message message = Pattern(1 + i % 37, static_cast<std::uint8_t>(i));
      if (ring.push(message)) {
        ++i;
      } else {
        std::this_thread::yield();
      }
    }
  });
  std::uint32_t received = 0;
  std::uint32_t wrong = 0;
  while (received < kMessages) {
    if (ring.frontSize() == 0) {
      std::this_thread::yield();
      continue;
    }
    if (PopFront(ring) != Pattern(1 + received % 37, static_cast<std::uint8_t>(received))) ++wrong;
    ++received;
  }
  producer.join();
  EXPECT_EQ(wrong, 0u);
  EXPECT_TRUE(ring.empty());
}

}  // namespace
}  // namespace kalvora
