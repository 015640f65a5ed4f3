#include "fluidsynth_test_support.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

namespace kalvora::test {

namespace {

constexpr double kSilenceDb = -200.0;
// 85 ms from the sounding part, looked at every 10 Hz up to 8 kHz: enough to tell one tone's
// harmonics from another's.
constexpr std::size_t kSpectrumFrames = 4096;
constexpr double kSpectrumTopHz = 8000.0;
constexpr double kSpectrumStepHz = 10.0;
constexpr double kSpectrumFloorDb = -60.0;

double ToDb(double amplitude) { return amplitude > 0 ? 20.0 * std::log10(amplitude) : kSilenceDb; }

std::vector<double> MagnitudeSpectrum(const Sound& sound) {
  const std::size_t start = sound.size() > kSpectrumFrames ? sound.size() / 4 : 0;
  const std::size_t count = std::min(kSpectrumFrames, sound.size() - start);
  std::vector<double> spectrum;
  for (double hz = kSpectrumStepHz; hz < kSpectrumTopHz; hz += kSpectrumStepHz) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / count);
      const double x = window * (sound.left[start + i] + sound.right[start + i]);
      const double phase = 2 * std::numbers::pi * hz * i / kSynthSampleRate;
      re += x * std::cos(phase);
      im -= x * std::sin(phase);
    }
    spectrum.push_back(std::hypot(re, im));
  }
  return spectrum;
}

}  // namespace

std::optional<SoundFontSet> InstalledFluidFonts() {
  auto fonts = FindSoundFonts(DefaultSoundFontFolders());
  if (!fonts || fonts->base.filename() != "FluidR3_GM.sf2" || !fonts->overlay) return std::nullopt;
  return fonts;
}

std::unique_ptr<SynthCore> LoadedSynth() {
  const auto fonts = InstalledFluidFonts();
  if (!fonts) return nullptr;
  auto synth = SynthCore::create();
  if (!synth || !synth->loadSoundFonts(*fonts)) return nullptr;
  return synth;
}

std::vector<SynthAudioOutput> NullAudio() {
  return {{"file", {{"audio.file.name", "/dev/null"}, {"audio.file.type", "raw"}}}};
}

std::filesystem::path WriteFakeFont(const TempFolder& folder, const std::string& name) {
  return folder.write(name, {"RIFF\4\0\0\0sfbkjunk", 16});
}

std::filesystem::path WriteTextFile(const TempFolder& folder, const std::string& name) {
  return folder.write(name, "not a SoundFont");
}

void Send(SynthCore& synth, std::vector<std::uint8_t> bytes) { synth.sendShort(bytes); }

void SendGsReset(SynthCore& synth) { synth.sendLong(GsResetMessage); }

std::size_t Frames(double milliseconds) {
  return static_cast<std::size_t>(std::lround(milliseconds * kSynthSampleRate / 1000.0));
}

double Milliseconds(std::size_t frames) { return frames * 1000.0 / kSynthSampleRate; }

Sound Render(SynthCore& synth, double milliseconds) {
  Sound sound{std::vector<float>(Frames(milliseconds)), std::vector<float>(Frames(milliseconds))};
  synth.render(sound.left, sound.right);
  return sound;
}

double PeakDb(const Sound& sound, std::size_t begin, std::size_t end) {
  end = std::min(end, sound.size());
  float peak = 0;
  for (std::size_t i = begin; i < end; ++i) {
    peak = std::max({peak, std::fabs(sound.left[i]), std::fabs(sound.right[i])});
  }
  return ToDb(peak);
}

double PowerDb(const std::vector<float>& channel) {
  double sum = 0;
  for (float x : channel) sum += double{x} * x;
  return channel.empty() || sum == 0 ? kSilenceDb : 10.0 * std::log10(sum / channel.size());
}

std::size_t FirstFrameAbove(const Sound& sound, double db) {
  const double threshold = std::pow(10.0, db / 20.0);
  for (std::size_t i = 0; i < sound.size(); ++i) {
    if (std::fabs(sound.left[i]) >= threshold || std::fabs(sound.right[i]) >= threshold) return i;
  }
  return sound.size();
}

double SpectralDistanceDb(const Sound& a, const Sound& b) {
  auto relativeDb = [](std::vector<double> spectrum) {
    const double peak = *std::max_element(spectrum.begin(), spectrum.end());
    for (double& x : spectrum)
      x = peak > 0 ? std::max(kSpectrumFloorDb, ToDb(x / peak)) : kSpectrumFloorDb;
    return spectrum;
  };
  const auto x = relativeDb(MagnitudeSpectrum(a));
  const auto y = relativeDb(MagnitudeSpectrum(b));
  double sum = 0;
  for (std::size_t i = 0; i < x.size(); ++i) sum += std::fabs(x[i] - y[i]);
  return sum / x.size();
}

}  // namespace kalvora::test
