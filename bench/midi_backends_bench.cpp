// What the window's thread pays for the system MIDI backends. The JACK open/send figures need a
// server with a MIDI input: run under scripts/with-jack.sh; without one they are skipped.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "midi/backends/jack/jack_backend.h"
#include "midi/backends/rtmidi/rtmidi_backend.h"
#include "midi/message_ring.h"
#include "midi/midi_bytes.h"

namespace kalvora {
namespace {

constexpr std::array<std::uint8_t, 3> kMiddleCOn = {kNoteOn, 0x3C, 0x64};

// One send and the audio thread's take of it, as a press does per message.
void BM_RingPushPop(benchmark::State& state) {
  MessageRing ring(64 * 1024);
  std::array<std::uint8_t, 16> out{};
  for (auto _ : state) {
    ring.push(kMiddleCOn);
    ring.push(kGsReset);
    for (std::size_t size = ring.frontSize(); size != 0; size = ring.frontSize()) {
      ring.copyFront(out.data());
      ring.pop();
    }
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_RingPushPop);

// Counting the devices when no JACK server runs: the price every start pays on most desktops.
void BM_JackListWithoutServer(benchmark::State& state) {
  const char* chosen = std::getenv("JACK_DEFAULT_SERVER");
  const std::string previous = chosen != nullptr ? chosen : "";
  setenv("JACK_DEFAULT_SERVER", "kalvora-bench-no-such-server", 1);
  JackBackend backend;
  for (auto _ : state) benchmark::DoNotOptimize(backend.portNames());
  if (chosen != nullptr) {
    setenv("JACK_DEFAULT_SERVER", previous.c_str(), 1);
  } else {
    unsetenv("JACK_DEFAULT_SERVER");
  }
}
BENCHMARK(BM_JackListWithoutServer)->Unit(benchmark::kMillisecond);

// Counting the sequencer's ports (none, and no sequencer, on a machine without ALSA devices).
void BM_RtMidiList(benchmark::State& state) {
  RtMidiBackend backend;
  for (auto _ : state) benchmark::DoNotOptimize(backend.portNames());
}
BENCHMARK(BM_RtMidiList)->Unit(benchmark::kMillisecond);

// With a server: counting, and a device switch's close and open.
void BM_JackListAndOpenClose(benchmark::State& state) {
  JackBackend backend;
  if (backend.portNames().empty()) {
    state.SkipWithError("no JACK MIDI input (run under scripts/with-jack.sh)");
    return;
  }
  for (auto _ : state) {
    backend.portNames();
    OpenResult opened = backend.open(0);
    if (opened.status != OpenStatus::kOpened) state.SkipWithError("open failed");
  }
}
BENCHMARK(BM_JackListAndOpenClose)->Unit(benchmark::kMillisecond);

void BM_JackSendShort(benchmark::State& state) {
  JackBackend backend;
  if (backend.portNames().empty()) {
    state.SkipWithError("no JACK MIDI input (run under scripts/with-jack.sh)");
    return;
  }
  OpenResult opened = backend.open(0);
  if (opened.status != OpenStatus::kOpened) {
    state.SkipWithError("open failed");
    return;
  }
  for (auto _ : state) opened.connection->sendShort(kMiddleCOn);
}
BENCHMARK(BM_JackSendShort);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();
