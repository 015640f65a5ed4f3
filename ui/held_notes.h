// The notes held down and what holds each one (a computer key, a mouse button), with the channel
// each started on: every holder stops its own note, once, whatever was played in between.
#pragma once

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "play/note_player.h"

namespace kalvora {

template <typename Holder>
class HeldNotes {
 public:
  bool holds(Holder holder) const { return find(holder) != held_.end(); }
  // Records the note holder has started. A holder holds one note: call release first.
  void hold(Holder holder, HeldNote note) { held_.emplace_back(holder, note); }
  // The note holder started, forgotten; none when it holds none.
  std::optional<HeldNote> release(Holder holder) {
    const auto found = find(holder);
    if (found == held_.end()) return std::nullopt;
    const HeldNote note = found->second;
    held_.erase(found);
    return note;
  }
  // Every note still held, in the order started; all forgotten.
  std::vector<HeldNote> releaseAll() {
    std::vector<HeldNote> notes;
    for (const auto& held : held_) notes.push_back(held.second);
    held_.clear();
    return notes;
  }
  // The holders that hold a note, in the order they started it.
  std::vector<Holder> holders() const {
    std::vector<Holder> all;
    for (const auto& held : held_) all.push_back(held.first);
    return all;
  }
  bool empty() const { return held_.empty(); }

 private:
  auto find(Holder holder) const {
    return std::find_if(held_.begin(), held_.end(),
                        [holder](const auto& held) { return held.first == holder; });
  }

  std::vector<std::pair<Holder, HeldNote>> held_;
};

}  // namespace kalvora
