// The process's connection to the PipeWire server, kept between the synth's streams: making one
// (a thread, a context that reads the client configuration, a round trip to the server) is most
// of what a stream opened after quiet costs. An open connection without a stream costs nothing
// while it waits; one whose server has gone is replaced at the next stream.
#pragma once

#include <spa/utils/hook.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

struct pw_thread_loop;
struct pw_context;
struct pw_core;

namespace kalvora {

class PipeWireConnection {
 public:
  using Clock = std::chrono::steady_clock;

  // The connection the process keeps, made anew when there is none or its server has gone; null
  // when no PipeWire server runs, when the one that runs has no sink for sound (a desktop whose
  // sound goes through PulseAudio may run PipeWire for video alone), or when it does not answer
  // by the deadline.
  static std::shared_ptr<PipeWireConnection> forSound(Clock::time_point deadline);
  ~PipeWireConnection();
  PipeWireConnection(const PipeWireConnection&) = delete;
  PipeWireConnection& operator=(const PipeWireConnection&) = delete;

  // A stream put by once no sound is wanted: off the server's cycle, so it costs nothing, but
  // still linked to the sink, so the next note plays without a new node and links (beside another
  // program's large-block stream, making them took the first note after quiet 70 ms and more).
  // One at most; it goes with the connection.
  class ParkedStream {
   public:
    virtual ~ParkedStream() = default;
  };
  void park(std::unique_ptr<ParkedStream> stream);
  std::unique_ptr<ParkedStream> unpark();

  pw_thread_loop* loop() const { return loop_; }
  pw_core* core() const { return core_; }
  bool lost() const { return lost_; }

  // Waits, with the loop locked, until ready() holds or the deadline passes.
  template <typename Ready>
  bool waitFor(Clock::time_point deadline, Ready ready) {
    while (!ready()) {
      if (!waitUntil(deadline)) return false;
    }
    return true;
  }

 private:
  PipeWireConnection() = default;
  bool connect();
  // Whether the server has a sink for sound, asked once for the process.
  bool serverPlaysSound(Clock::time_point deadline);
  // One wait for a signal of the loop; false once the deadline has passed.
  bool waitUntil(Clock::time_point deadline);

  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  pw_core* core_ = nullptr;
  spa_hook coreListener_{};
  std::atomic<bool> lost_{false};
  std::mutex parking_;
  std::unique_ptr<ParkedStream> parked_;
};

// Holds a connection's loop locked, as every call into the connection from outside its thread
// must be.
class PipeWireLoopLock {
 public:
  explicit PipeWireLoopLock(pw_thread_loop* loop);
  ~PipeWireLoopLock();
  PipeWireLoopLock(const PipeWireLoopLock&) = delete;
  PipeWireLoopLock& operator=(const PipeWireLoopLock&) = delete;

 private:
  pw_thread_loop* loop_;
};

}  // namespace kalvora
