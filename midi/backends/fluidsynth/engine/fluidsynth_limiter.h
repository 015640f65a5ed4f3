// Keeps the synth's output below full scale: a few SoundFont tones at full velocity, with reverb,
// would clip, and a clipped tone tells the user nothing about the module.
#pragma once

#include <span>

namespace kalvora {

class PeakLimiter {
 public:
  // The loudest a sample may come out, in dBFS.
  static constexpr double kCeilingDb = -1.1;

  explicit PeakLimiter(double sampleRate);

  // Scales both channels in place, linked, so that no sample exceeds the ceiling: the gain drops
  // at once to what the loudest sample of a frame needs and recovers over about 100 ms. Returns
  // the loudest sample it let out.
  float process(std::span<float> left, std::span<float> right);

 private:
  float recovery_;  // share of the way back to unity gain per frame
  float gain_ = 1.0F;
};

}  // namespace kalvora
