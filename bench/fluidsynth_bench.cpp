// The built-in synth: opening the device, and the audio thread's work for one period.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/fluidsynth_backend.h"
#include "midi/midi_bytes.h"
#include "support/press_messages.h"

namespace {

using kalvora::FluidSynthBackend;
using kalvora::FluidSynthOptions;

// A real audio thread that writes into /dev/null: the whole open without a sound card.
std::vector<kalvora::SynthAudioOutput> NullAudio() {
  return {{"file", {{"audio.file.name", "/dev/null"}, {"audio.file.type", "raw"}}}};
}

// A press with the start values on the given note.
template <typename Sink>
void Press(Sink& sink, int note) {
  kalvora::test::SendPress(sink, kalvora::test::Voice{.note = note});
}

// Loading the SoundFonts, creating the synth and starting its audio thread.
void BM_OpenSynth(benchmark::State& state) {
  FluidSynthBackend backend(FluidSynthOptions{kalvora::DefaultSoundFontFolders(), NullAudio()});
  if (backend.portNames().empty()) {
    state.SkipWithError("no SoundFont installed");
    return;
  }
  for (auto _ : state) {
    kalvora::OpenResult result = backend.open(0);
    state.PauseTiming();
    if (result.status != kalvora::OpenStatus::kOpened) state.SkipWithError("open failed");
    result.connection.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenSynth)->Unit(benchmark::kMillisecond)->UseRealTime();

// The open with the real outputs; on a machine without a sound device, how fast it gives up.
void BM_OpenDefaultOutputs(benchmark::State& state) {
  FluidSynthBackend backend;
  if (backend.portNames().empty()) {
    state.SkipWithError("no SoundFont installed");
    return;
  }
  kalvora::OpenStatus status = kalvora::OpenStatus::kOpened;
  for (auto _ : state) {
    kalvora::OpenResult result = backend.open(0);
    status = result.status;
    state.PauseTiming();
    result.connection.reset();
    state.ResumeTiming();
  }
  state.counters["open_status"] = static_cast<double>(status);
}
BENCHMARK(BM_OpenDefaultOutputs)->Unit(benchmark::kMillisecond)->UseRealTime();

// One audio period while notes sound (each struck again every half second, so attack, decay,
// release, reverb and chorus are all in the mix). share_of_period is the time a period took
// over the period's duration; the target is 0.25 at most.
void BM_RenderPeriod(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  const auto notes = static_cast<int>(state.range(1));
  auto fonts = kalvora::FindSoundFonts(kalvora::DefaultSoundFontFolders());
  auto core = kalvora::SynthCore::create();
  if (!fonts || !core || !core->loadSoundFonts(*fonts)) {
    state.SkipWithError("no SoundFont installed");
    return;
  }
  std::vector<float> left(frames), right(frames);
  const std::size_t restrike = static_cast<std::size_t>(kalvora::kSynthSampleRate / 2) / frames + 1;
  std::size_t period = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (period++ % restrike == 0) {
      for (int n = 0; n < notes; ++n) Press(*core, 48 + 3 * n);
    }
    core->render(left, right);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  const double periodSeconds = static_cast<double>(frames) / kalvora::kSynthSampleRate;
  state.counters["period_ms"] = periodSeconds * 1000.0;
  state.counters["share_of_period"] =
      elapsed.count() / (static_cast<double>(state.iterations()) * periodSeconds);
}
BENCHMARK(BM_RenderPeriod)
    ->ArgsProduct({{64, 256}, {1, 8}})
    ->ArgNames({"frames", "notes"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// A program change to a tone not yet in memory: with samples loaded on demand, the press that
// first picks a tone reads its samples (from the page cache here) on the caller's thread.
void BM_ProgramChangeLoadsSamples(benchmark::State& state) {
  auto fonts = kalvora::FindSoundFonts(kalvora::DefaultSoundFontFolders());
  auto core = kalvora::SynthCore::create();
  if (!fonts || !core || !core->loadSoundFonts(*fonts)) {
    state.SkipWithError("no SoundFont installed");
    return;
  }
  constexpr int kPrograms = 128;
  int program = 0;
  for (auto _ : state) {
    program = (program + 1) % kPrograms;  // the previous tone is dropped as this one loads
    const std::array<std::uint8_t, 2> change{kalvora::kProgramChange,
                                             static_cast<std::uint8_t>(program)};
    core->sendShort(change);
  }
}
BENCHMARK(BM_ProgramChangeLoadsSamples)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
