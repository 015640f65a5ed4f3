#include "midi/backends/fluidsynth/engine/outputs/fluidsynth_audio.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "midi/backends/fluidsynth/engine/fluidsynth_quiet.h"
#include "midi/backends/fluidsynth/engine/outputs/pipewire_output.h"
#include "midi/backends/fluidsynth/engine/outputs/pulse_output.h"

namespace kalvora {

namespace {

constexpr const char* kFileDriver = "file";
// A desktop server that does not take a stream in this time is given up, as one that is not there.
constexpr auto kStreamOpenLimit = std::chrono::seconds(2);
// The synth's PipeWire stream takes FluidSynth's name for a period as the quantum it asks for;
// without one it is left out.
constexpr const char* kPeriodSizeSetting = "audio.period-size";

template <typename T>
bool Parse(const std::string& text, T& value) {
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && rest == end;
}

bool Apply(fluid_settings_t* settings, const std::string& name, const std::string& value) {
  switch (fluid_settings_get_type(settings, name.c_str())) {
    case FLUID_INT_TYPE: {
      int number = 0;
      return Parse(value, number) &&
             fluid_settings_setint(settings, name.c_str(), number) == FLUID_OK;
    }
    case FLUID_NUM_TYPE: {
      double number = 0;
      return Parse(value, number) &&
             fluid_settings_setnum(settings, name.c_str(), number) == FLUID_OK;
    }
    case FLUID_STR_TYPE:
      return fluid_settings_setstr(settings, name.c_str(), value.c_str()) == FLUID_OK;
    default:
      return false;
  }
}

// The drivers call this for each period; it renders through the core, so what plays is what the
// offline renders measure, limiter included.
int RenderPeriod(void* feed, int frames, int effectCount, float* effects[], int outputCount,
                 float* outputs[]) {
  if (frames <= 0 || outputCount < 2) return FLUID_FAILED;
  const auto size = static_cast<std::size_t>(frames);
  // The effects are in the dry mix already; a driver that would add its own copy gets silence.
  for (int i = 0; i < effectCount; ++i) std::fill_n(effects[i], size, 0.0F);
  static_cast<DriverFeed*>(feed)->render({outputs[0], size}, {outputs[1], size});
  return FLUID_OK;
}

}  // namespace

void DriverFeed::render(std::span<float> left, std::span<float> right) {
  const std::lock_guard lock(rendering_);
  if (!abandoned_) {
    core_.render(left, right);
    return;
  }
  std::fill(left.begin(), left.end(), 0.0F);
  std::fill(right.begin(), right.end(), 0.0F);
}

void DriverFeed::abandon() {
  const std::lock_guard lock(rendering_);
  abandoned_ = true;
}

void AbandonAudioOutput(StartedAudio audio) {
  if (audio.feed) audio.feed->abandon();
  std::thread([audio = std::move(audio)]() mutable { audio = {}; }).detach();
}

StartedAudio StartAudioOutput(SynthCore& core, const std::vector<SynthAudioOutput>& outputs) {
  fluid_settings_t* settings = core.settings();
  // ALSA prints its failures, and a machine without a sound card fails every open.
  const QuietAlsa quiet;
  for (const auto& output : outputs) {
    if (output.driver == kPulseStreamOutput) {
      if (auto stream = PulseOutput::open(core, kStreamOpenLimit))
        return {nullptr, nullptr, std::move(stream), true};
      continue;
    }
    if (output.driver == kPipeWireStreamOutput) {
      std::uint32_t quantum = 0;
      for (const auto& [name, value] : output.settings) {
        if (name == kPeriodSizeSetting && !Parse(value, quantum)) quantum = 0;
      }
      if (quantum == 0) continue;
      if (auto stream = PipeWireOutput::open(core, kStreamOpenLimit, quantum))
        return {nullptr, nullptr, std::move(stream), true};
      continue;
    }
    bool applied = Apply(settings, "audio.driver", output.driver);
    for (const auto& [name, value] : output.settings)
      applied = applied && Apply(settings, name, value);
    if (!applied) continue;  // a driver this FluidSynth lacks, or settings it does not know
    auto feed = std::make_unique<DriverFeed>(core);
    if (fluid_audio_driver_t* driver =
            new_fluid_audio_driver2(settings, &RenderPeriod, feed.get())) {
      return {std::move(feed), AudioDriverHandle(driver), nullptr, true};
    }
    // The file driver (tests play into /dev/null with it) takes no render function.
    if (output.driver == kFileDriver) {
      if (fluid_audio_driver_t* driver = new_fluid_audio_driver(settings, core.synth())) {
        return {nullptr, AudioDriverHandle(driver), nullptr, false};
      }
    }
  }
  return {};
}

}  // namespace kalvora
