// A private PulseAudio server for one test or benchmark: a null sink at 48 kHz on a socket of its
// own, made the process's server (PULSE_SERVER), and ended when the object goes, stopped or not.
#pragma once

#include <sys/types.h>

#include <string>

#include "support/temp_folder.h"

namespace kalvora::test {

class PulseTestServer {
 public:
  PulseTestServer();
  ~PulseTestServer();
  PulseTestServer(const PulseTestServer&) = delete;
  PulseTestServer& operator=(const PulseTestServer&) = delete;

  // Starts the server and waits until it takes clients; false (with log() saying why) when
  // pulseaudio is missing or does not come up.
  bool start();
  // SIGSTOP and SIGCONT: a server that no longer answers, and its return.
  void freeze();
  void thaw();

  pid_t pid() const { return pid_; }
  // The server's address, as PULSE_SERVER takes it.
  const std::string& address() const { return address_; }
  // The null sink's monitor, for recording what plays.
  static constexpr const char* kMonitor = "null.monitor";
  // Why start() failed, if it did, then what the server printed.
  std::string log() const;
  // How many playback streams the server has now (pactl's count); -1 when pactl cannot ask.
  int playbackStreams() const;

 private:
  TempFolder folder_;  // the socket, the log and the server's home
  std::string address_;
  pid_t pid_ = -1;
  std::string failure_;
};

}  // namespace kalvora::test
