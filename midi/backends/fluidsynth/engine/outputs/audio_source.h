// What an audio output plays: the synth, or in the benchmarks a bare click that times the output
// alone.
#pragma once

#include <span>

namespace kalvora {

class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Fills left and right (as long as each other) with the next frames; called from the output's
  // own thread.
  virtual void render(std::span<float> left, std::span<float> right) = 0;
};

}  // namespace kalvora
