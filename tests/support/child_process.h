// Ending a server a test started as a child process.
#pragma once

#include <sys/types.h>

#include <chrono>

namespace kalvora::test {

// Resumes the child (a stopped process acts on no signal but SIGKILL), sends it signal, and waits
// for it to end; after limit it is killed.
void EndChild(pid_t pid, int signal, std::chrono::milliseconds limit);

}  // namespace kalvora::test
