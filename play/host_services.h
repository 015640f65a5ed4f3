// The two things the device code asks of its host: a modal message and a plain sleep.
// Both go through replaceable functions so tests record them instead of waiting or showing.
#pragma once

#include <functional>
#include <string_view>

namespace kalvora {

using MessageFunction = std::function<void(std::string_view text)>;
using SleepFunction = std::function<void(int milliseconds)>;

// Shows text in the program's modal message box and returns when it is dismissed.
void ShowMessage(std::string_view text);
// Waits milliseconds, counted from the call, with meanwhile's work (when given) done inside the
// wait rather than before or after it: what is left of the time once the work is done is slept.
// Work that outlasts the wait is finished all the same, and then there is nothing left to sleep.
void SleepMs(int milliseconds, const std::function<void()>& meanwhile = {});

// Installs a replacement and returns the previous one (an empty function restores the default:
// no message at all, and a real sleep).
MessageFunction SetMessageFunction(MessageFunction f);
SleepFunction SetSleepFunction(SleepFunction f);

}  // namespace kalvora
