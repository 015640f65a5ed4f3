#include "ui/held_keys.h"

#include <algorithm>

namespace kalvora {

bool HeldKeys::holds(std::uint32_t scanCode) const {
  return std::any_of(held_.begin(), held_.end(),
                     [scanCode](const auto& key) { return key.first == scanCode; });
}

void HeldKeys::press(std::uint32_t scanCode, HeldNote note) { held_.emplace_back(scanCode, note); }

std::optional<HeldNote> HeldKeys::release(std::uint32_t scanCode) {
  const auto found = std::find_if(held_.begin(), held_.end(),
                                  [scanCode](const auto& key) { return key.first == scanCode; });
  if (found == held_.end()) return std::nullopt;
  const HeldNote note = found->second;
  held_.erase(found);
  return note;
}

std::vector<HeldNote> HeldKeys::releaseAll() {
  std::vector<HeldNote> notes;
  for (const auto& key : held_) notes.push_back(key.second);
  held_.clear();
  return notes;
}

}  // namespace kalvora
