// A private JACK server for one test: the dummy driver on a name no other test uses, made the
// process's default server, and stopped when the object goes, whatever the test's outcome.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>

#include "support/temp_folder.h"

namespace kalvora::test {

class JackTestServer {
 public:
  JackTestServer();
  ~JackTestServer();
  JackTestServer(const JackTestServer&) = delete;
  JackTestServer& operator=(const JackTestServer&) = delete;

  // Starts jackd (again, under the same name, after a stop or kill) and waits until it takes
  // clients. Fails, never skips, when jackd is missing.
  ::testing::AssertionResult start();
  // SIGKILL, as when the server crashes; waits for the process to be gone.
  void kill();
  // Ends the server cleanly. After a kill it starts and ends it once more: a killed server
  // keeps its slot in libjack's machine-wide table of servers (eight in all) until a server of
  // the same name comes and goes, and leaked slots would stop every later test from starting.
  void stop();
  // SIGSTOP and SIGCONT: a server that no longer answers, and its return. A stopped server is
  // resumed before it is ended.
  void freeze();
  void thaw();

  const std::string& name() const { return name_; }
  // What the server printed, for the report of a failed test.
  std::string log() const;

 private:
  void reap(int signal);

  std::string name_;
  TempFolder logFolder_;
  std::string logPath_;
  pid_t pid_ = -1;
  bool killed_ = false;
};

// Points libjack, for the rest of the process, at a server name on which nothing runs.
std::string UseServerThatDoesNotRun();

// A client name of this test process's own, such as "receiver-1234". libjack names a client's
// socket after the client alone, so two test programs opening clients of one name at the same
// moment, even on different servers, can take each other's socket.
std::string ClientName(const char* role);

}  // namespace kalvora::test
