// Starting and ending the servers a test runs as child processes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>

namespace kalvora::test {

// Forks a child that runs inChild (which should exec, and call only what is safe after a fork)
// and that the kernel kills when this process ends, however it ends and whichever thread called
// this. The fork happens on a thread that lives as long as the process, since the kernel sends a
// child its parent-death signal when the thread that forked it ends, not its process. -1 when
// the fork fails.
pid_t ForkChildOfProcess(const std::function<void()>& inChild);

// Resumes the child (a stopped process acts on no signal but SIGKILL), sends it signal, and waits
// for it to end; after limit it is killed.
void EndChild(pid_t pid, int signal, std::chrono::milliseconds limit);

}  // namespace kalvora::test
