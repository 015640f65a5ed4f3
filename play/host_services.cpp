#include "play/host_services.h"

#include <chrono>
#include <thread>
#include <utility>

namespace kalvora {

namespace {
MessageFunction& InstalledMessageFunction() {
  static MessageFunction f;
  return f;
}
SleepFunction& InstalledSleepFunction() {
  static SleepFunction f;
  return f;
}
}  // namespace

void ShowMessage(std::string_view text) {
  if (InstalledMessageFunction()) InstalledMessageFunction()(text);
}

void SleepMs(int milliseconds, const std::function<void()>& meanwhile) {
  const auto start = std::chrono::steady_clock::now();
  if (meanwhile) meanwhile();
  if (InstalledSleepFunction()) {
    InstalledSleepFunction()(milliseconds);
  } else if (milliseconds > 0) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(milliseconds));
  }
}

MessageFunction SetMessageFunction(MessageFunction f) {
  return std::exchange(InstalledMessageFunction(), std::move(f));
}

SleepFunction SetSleepFunction(SleepFunction f) {
  return std::exchange(InstalledSleepFunction(), std::move(f));
}

}  // namespace kalvora
