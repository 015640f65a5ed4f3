#include "midi/host_services.h"

#include <chrono>
#include <thread>
#include <utility>

namespace kalvora {

namespace {
MessageFunction& messageFunction() {
  static MessageFunction f;
  return f;
}
SleepFunction& sleepFunction() {
  static SleepFunction f;
  return f;
}
}  // namespace

void ShowMessage(std::string_view text) {
  if (messageFunction()) messageFunction()(text);
}

void SleepMs(int milliseconds) {
  if (sleepFunction()) {
    sleepFunction()(milliseconds);
  } else if (milliseconds > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

void SleepMs(int milliseconds, const std::function<void()>& meanwhile) {
  const auto start = std::chrono::steady_clock::now();
  if (meanwhile) meanwhile();
  if (sleepFunction()) {
    sleepFunction()(milliseconds);
  } else if (milliseconds > 0) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(milliseconds));
  }
}

MessageFunction SetMessageFunction(MessageFunction f) {
  return std::exchange(messageFunction(), std::move(f));
}

SleepFunction SetSleepFunction(SleepFunction f) {
  return std::exchange(sleepFunction(), std::move(f));
}

}  // namespace kalvora
