// A private sound server for one test or benchmark that speaks PulseAudio's protocol: PulseAudio
// itself, or PipeWire with its session manager and its PulseAudio server. A null sink at 48 kHz on
// sockets of its own, made the process's server (PULSE_SERVER, and PIPEWIRE_RUNTIME_DIR for
// PipeWire's own clients), and ended when the object goes, stopped or not.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace kalvora::test {

class PulseTestServer {
 public:
  enum class Kind {
    kPulseAudio,
    kPipeWire,
    // PipeWire as a desktop whose sound goes through PulseAudio runs it, for video alone: no
    // sink and no PulseAudio server (PULSE_SERVER leads nowhere).
    kPipeWireForVideo,
  };
  explicit PulseTestServer(Kind kind = Kind::kPulseAudio);
  ~PulseTestServer();
  PulseTestServer(const PulseTestServer&) = delete;
  PulseTestServer& operator=(const PulseTestServer&) = delete;

  // Starts the server and waits until it takes clients; false (with log() saying why) when
  // pulseaudio is missing or does not come up.
  bool start();
  // SIGSTOP and SIGCONT: a server that no longer answers, and its return.
  void freeze();
  void thaw();
  // SIGKILL, without a resume: a server that dies, stopped or not.
  void kill();

  // The server's processes (PipeWire's are its daemon, session manager and PulseAudio server).
  const std::vector<pid_t>& pids() const { return pids_; }
  // The server's address, as PULSE_SERVER takes it.
  const std::string& address() const { return address_; }
  // The null sink's monitor, for recording what plays.
  static constexpr const char* kMonitor = "null.monitor";
  // Why start() failed, if it did, then what the server printed.
  std::string log() const;
  // How many playback streams the server has now (pactl's count); -1 when pactl cannot ask.
  int playbackStreams() const;
  // How many of them are not corked (paused by their client); -1 when pactl cannot ask.
  int uncorkedPlaybackStreams() const;
  // What pactl says of the playback streams (their properties among it).
  std::string describePlaybackStreams() const;
  // The loudest sample the null sink plays over the next span (0 to 1); negative when its monitor
  // cannot be recorded.
  float monitorPeak(std::chrono::milliseconds span) const;

 private:
  bool startPulseAudio();
  bool startPipeWire();
  // Starts a server process with its output in the log; false when it cannot.
  bool run(std::vector<std::string> args);
  // Waits until socketPath takes connections, or a server process ends.
  bool awaitSocket(const std::string& socketPath, const std::string& what);

  Kind kind_;
  TempFolder folder_;  // the sockets, the log and the servers' home
  std::string address_;
  std::vector<pid_t> pids_;
  std::string failure_;
};

}  // namespace kalvora::test
