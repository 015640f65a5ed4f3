// What the window's thread pays for the system MIDI backends. The JACK open/send figures need a
// server with a MIDI input: run under scripts/with-jack.sh; without one they are skipped.
#include <benchmark/benchmark.h>
#include <jack/jack.h>

#include <array>
#include <chrono>
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
    ring.push(GsResetMessage);
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

// A client that keeps each cycle of the server busy for a share of its period, as a session with
// heavy processing does: what the server has to do for an open (register, wire) waits for it.
class BusyClient {
 public:
  explicit BusyClient(int busyPercent) {
    if (busyPercent == 0) return;
    client_ = jack_client_open("kalvora-bench-busy", JackNoStartServer, nullptr);
    if (client_ == nullptr) return;
    const double period =
        static_cast<double>(jack_get_buffer_size(client_)) / jack_get_sample_rate(client_);
    busy_ = std::chrono::duration<double>(period * busyPercent / 100.0);
    jack_set_process_callback(client_, &BusyClient::process, this);
    jack_activate(client_);
  }
  ~BusyClient() {
    if (client_ != nullptr) jack_client_close(client_);
  }
  BusyClient(const BusyClient&) = delete;
  BusyClient& operator=(const BusyClient&) = delete;

 private:
  static int process(jack_nframes_t /*frames*/, void* self) {
    const auto end = std::chrono::steady_clock::now() + static_cast<BusyClient*>(self)->busy_;
    while (std::chrono::steady_clock::now() < end) {
    }
    return 0;
  }

  jack_client_t* client_ = nullptr;
  std::chrono::duration<double> busy_{};
};

// With a server: counting, and a device switch's close and open; the argument is how much of
// each server cycle another client keeps busy, in per cent.
void BM_JackListAndOpenClose(benchmark::State& state) {
  JackBackend backend;
  if (backend.portNames().empty()) {
    state.SkipWithError("no JACK MIDI input (run under scripts/with-jack.sh)");
    return;
  }
  const BusyClient busy(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    backend.portNames();
    OpenResult opened = backend.open(0);
    if (opened.status != OpenStatus::kOpened) state.SkipWithError("open failed");
  }
}
BENCHMARK(BM_JackListAndOpenClose)->Arg(0)->Arg(50)->Arg(90)->Unit(benchmark::kMillisecond);

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
