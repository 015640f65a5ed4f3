#include "ui/held_keys.h"

#include <algorithm>

namespace kalvora {

bool HeldKeys::press(std::uint32_t scanCode, int note) {
  const auto found = std::find_if(held_.begin(), held_.end(),
                                  [scanCode](const auto& key) { return key.first == scanCode; });
  if (found != held_.end()) return false;
  held_.emplace_back(scanCode, note);
  return true;
}

std::optional<int> HeldKeys::release(std::uint32_t scanCode) {
  const auto found = std::find_if(held_.begin(), held_.end(),
                                  [scanCode](const auto& key) { return key.first == scanCode; });
  if (found == held_.end()) return std::nullopt;
  const int note = found->second;
  held_.erase(found);
  return note;
}

std::vector<int> HeldKeys::releaseAll() {
  std::vector<int> notes;
  for (const auto& key : held_) notes.push_back(key.second);
  held_.clear();
  return notes;
}

}  // namespace kalvora
