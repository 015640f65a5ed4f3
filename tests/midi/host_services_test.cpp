// The wait with work inside it: the work runs first, the wait still lasts its whole length from
// the call, and the work's time is taken out of it rather than added to it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "midi/host_services.h"

namespace kalvora {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(SleepWithWork, WorkRunsInsideTheWaitNotBeforeIt) {
  // Generous margins: the wrong answers (work added to the wait, or no wait at all) are 150 ms
  // away from the right one.
  const auto start = Clock::now();
  int runs = 0;
  SleepMs(200, [&] {
    ++runs;
    std::this_thread::sleep_for(milliseconds(150));
  });
  const auto took = Clock::now() - start;
  EXPECT_EQ(runs, 1);
  EXPECT_GE(took, milliseconds(200));
  EXPECT_LT(took, milliseconds(330));
}

TEST(SleepWithWork, WorkLongerThanTheWaitLeavesNothingToSleep) {
  const auto start = Clock::now();
  SleepMs(150, [] { std::this_thread::sleep_for(milliseconds(200)); });
  const auto took = Clock::now() - start;
  EXPECT_GE(took, milliseconds(200));
  EXPECT_LT(took, milliseconds(320));
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
