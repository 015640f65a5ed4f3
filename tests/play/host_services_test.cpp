// The wait with work inside it: the work runs first, the wait still lasts its whole length from
// the call, and the work's time is taken out of it rather than added to it.
#include "play/host_services.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kalvora {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(SleepWithWork, WorkRunsInsideTheWaitNotBeforeIt) {
  // The wrong answers (the work's time added to the wait, or no wait at all) lie 600 ms or more
  // from the right one, so a machine slow to wake a sleeper does not make the test fail.
  const auto start = Clock::now();
  int runs = 0;
  SleepMs(1000, [&] {
    ++runs;
    std::this_thread::sleep_for(milliseconds(600));
  });
  const auto took = Clock::now() - start;
  EXPECT_EQ(runs, 1);
  EXPECT_GE(took, milliseconds(1000));
  EXPECT_LT(took, milliseconds(1500));
}

TEST(SleepWithWork, WorkLongerThanTheWaitLeavesNothingToSleep) {
  const auto start = Clock::now();
  SleepMs(600, [] { std::this_thread::sleep_for(milliseconds(700)); });
  const auto took = Clock::now() - start;
  EXPECT_GE(took, milliseconds(700));
  EXPECT_LT(took, milliseconds(1200));
}

TEST(SleepWithWork, AReplacedSleepIsToldTheWholeWaitAfterTheWork) {
  std::vector<int> order;
  const SleepFunction previous = SetSleepFunction([&](int ms) { order.push_back(ms); });
  SleepMs(100, [&] { order.push_back(-1); });
  SleepMs(7, {});  // no work
  SetSleepFunction(previous);
  EXPECT_EQ(order, (std::vector<int>{-1, 100, 7}));
}

}  // namespace
}  // namespace kalvora
