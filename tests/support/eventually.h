// Polls until done() holds or the limit passes, with pause() between looks (a short sleep while
// another thread works, or a turn of Qt's event loop while the window does); whether it came.
// Every wait of the tests is bounded so: what does not come fails the test within its limit.
#pragma once

#include <chrono>
#include <thread>

namespace kalvora::test {

template <typename Done, typename Pause>
bool Eventually(Done&& done, std::chrono::milliseconds limit, Pause&& pause) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    pause();
  }
  return true;
}

template <typename Done>
bool Eventually(Done&& done, std::chrono::milliseconds limit) {
  return Eventually(done, limit, [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
}

}  // namespace kalvora::test
