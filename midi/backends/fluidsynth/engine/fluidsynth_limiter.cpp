#include "midi/backends/fluidsynth/engine/fluidsynth_limiter.h"

#include <algorithm>
#include <cmath>

namespace kalvora {

namespace {

constexpr double kRecoverySeconds = 0.1;
const float kCeiling = static_cast<float>(std::pow(10.0, PeakLimiter::kCeilingDb / 20.0));

}  // namespace

PeakLimiter::PeakLimiter(double sampleRate)
    : recovery_(static_cast<float>(1.0 - std::exp(-1.0 / (kRecoverySeconds * sampleRate)))) {}

float PeakLimiter::process(std::span<float> left, std::span<float> right) {
  const std::size_t frames = std::min(left.size(), right.size());
  float loudest = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    gain_ += (1.0F - gain_) * recovery_;
    const float peak = std::max(std::fabs(left[i]), std::fabs(right[i]));
    if (peak * gain_ > kCeiling) gain_ = kCeiling / peak;
    left[i] *= gain_;
    right[i] *= gain_;
    loudest = std::max(loudest, peak * gain_);
  }
  return loudest;
}

}  // namespace kalvora
