// Work on a thread with a bounded wait: what it owns is destroyed on that thread, never on the
// caller's, whether the caller waited for it or gave up.
#include "midi/bounded_call.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace kalvora {
namespace {

using namespace std::chrono_literals;

// Says on which thread it was destroyed, after lingering a while in its destructor.
struct Witness {
  Witness(std::chrono::milliseconds linger, std::promise<std::thread::id> gone)
      : linger(linger), gone(std::move(gone)) {}
  ~Witness() {
    std::this_thread::sleep_for(linger);
    gone.set_value(std::this_thread::get_id());
  }
  std::chrono::milliseconds linger;
  std::promise<std::thread::id> gone;
};

struct Case {
  const char* what;
  std::chrono::milliseconds linger;  // how long the destructor takes
  std::chrono::milliseconds limit;   // how long the caller waits
  bool inTime;
};

const Case kCases[] = {
    {"quick", 0ms, 2000ms, true},
    {"slower than the wait", 300ms, 0ms, false},
};

TEST(BoundedCall, DestroyWithinDestroysOnItsOwnThreadAndTellsWhetherInTime) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    std::promise<std::thread::id> gone;
    std::future<std::thread::id> where = gone.get_future();
    auto object = std::make_unique<Witness>(c.linger, std::move(gone));
    EXPECT_EQ(DestroyWithin(std::move(object), c.limit), c.inTime);
    ASSERT_EQ(where.wait_for(5s), std::future_status::ready);
    EXPECT_NE(where.get(), std::this_thread::get_id());
  }
}

}  // namespace
}  // namespace kalvora
