// A burst from a MIDI keyboard through the input and out to a JACK device, on a private JACK
// server: 128 note-ons, a stream of channel pressure (running status) and 128 note-offs, arriving
// as one event of one cycle, as the JACK input's thread hands it over. The bench's thread is the
// window's (it takes the input and routes it); a client of the bench's own counts what the
// device receives. Reported per burst: the time from the hand-over to the last message heard,
// the messages out, the note-ons and note-offs among them, how much of the pressure was kept,
// and the notes left sounding (0 expected).
#include <benchmark/benchmark.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "midi/backends/jack/jack_backend.h"
#include "midi/input/input_inbox.h"
#include "midi/midi_bytes.h"
#include "play/device_state.h"
#include "play/input_router.h"
#include "support/jack_test_server.h"

namespace kalvora {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint8_t kKeys = 128;
constexpr auto kArrivalLimit = std::chrono::seconds(20);
// Nothing more is coming once the device has heard nothing for this long.
constexpr auto kQuietAfter = std::chrono::milliseconds(200);

// The device: a JACK client that counts what arrives, without storing it.
class CountingDevice {
 public:
  CountingDevice() {
    jack_status_t status{};
    client_ = jack_client_open(test::ClientName("device").c_str(), JackNoStartServer, &status);
    if (client_ == nullptr) return;
    port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &CountingDevice::process, this);
    if (port_ == nullptr || jack_activate(client_) != 0) port_ = nullptr;
  }
  ~CountingDevice() {
    if (client_ == nullptr) return;
    jack_deactivate(client_);
    jack_client_close(client_);
  }
  bool ready() const { return port_ != nullptr; }

  void clear() {
    messages_ = 0;
    pressure_ = 0;
    noteOns_ = 0;
    noteOffs_ = 0;
    sounding_ = 0;
  }
  std::size_t messages() const { return messages_.load(); }
  std::size_t pressure() const { return pressure_.load(); }
  std::size_t noteOns() const { return noteOns_.load(); }
  std::size_t noteOffs() const { return noteOffs_.load(); }
  std::size_t sounding() const { return sounding_.load(); }
  Clock::time_point lastArrival() const { return lastArrival_.load(); }

 private:
  static int process(jack_nframes_t frames, void* self) noexcept {
    auto& device = *static_cast<CountingDevice*>(self);
    void* buffer = jack_port_get_buffer(device.port_, frames);
    const jack_nframes_t events = jack_midi_get_event_count(buffer);
    for (jack_nframes_t i = 0; i < events; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
      device.take(std::span(event.buffer, event.size));
    }
    return 0;
  }
  void take(std::span<const std::uint8_t> message) {
    ++messages_;
    lastArrival_ = Clock::now();
    const std::uint8_t kind = message[0] & kStatusKindMask;
    if (kind == kChannelPressure) ++pressure_;
    if ((kind != kNoteOn && kind != kNoteOff) || message.size() < 3) return;
    const bool on = kind == kNoteOn && message[2] != 0;
    held_.set(message[1], on);
    sounding_ = held_.count();
    ++(on ? noteOns_ : noteOffs_);
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::bitset<kKeys> held_;  // the audio thread's own
  std::atomic<std::size_t> messages_{0};
  std::atomic<std::size_t> pressure_{0};
  std::atomic<std::size_t> noteOns_{0};
  std::atomic<std::size_t> noteOffs_{0};
  std::atomic<std::size_t> sounding_{0};
  std::atomic<Clock::time_point> lastArrival_{};
};

// 128 notes, pressure in running status, the 128 note-offs.
std::vector<std::uint8_t> Burst(std::size_t pressure) {
  std::vector<std::uint8_t> bytes;
  for (std::uint8_t key = 0; key < kKeys; ++key) bytes.insert(bytes.end(), {kNoteOn, key, 0x64});
  bytes.push_back(kChannelPressure);
  for (std::size_t i = 0; i < pressure; ++i) bytes.push_back(static_cast<std::uint8_t>(i & 0x7F));
  for (std::uint8_t key = 0; key < kKeys; ++key) bytes.insert(bytes.end(), {kNoteOff, key, 0});
  return bytes;
}

// Notes only, in running status: each key struck and let go (velocity 0) in turn.
std::vector<std::uint8_t> NoteFlood(std::size_t notes) {
  std::vector<std::uint8_t> bytes{kNoteOn};
  for (std::size_t i = 0; i < notes; ++i) {
    const auto key = static_cast<std::uint8_t>(i % kKeys);
    bytes.insert(bytes.end(), {key, 0x64, key, 0});
  }
  return bytes;
}

void SendToJackDevice(benchmark::State& state, const std::vector<std::uint8_t>& burst,
                      std::size_t messagesIn) {
  test::JackTestServer server;
  if (!server.start()) {
    state.SkipWithError("no private JACK server (install jackd2)");
    return;
  }
  {
    CountingDevice device;
    MidiBackends backends;
    backends.push_back(std::make_unique<JackBackend>(test::ClientName("kalvora")));
    InstallMidiBackends(std::move(backends));
    if (!device.ready() || midiOutGetNumDevs() != 1 ||
        midiOutOpen(&MidiOut, 0, 0, 0, 0) != MMSYSERR_NOERROR) {
      state.SkipWithError("the counting device did not open");
      return;
    }
    std::size_t out = 0;
    std::size_t ons = 0;
    std::size_t offs = 0;
    std::size_t pressure = 0;
    std::size_t sounding = 0;
    for (auto _ : state) {
      device.clear();
      const Clock::time_point handedOver = Clock::now();
      PostMidiInput(InputSource::kJack, burst);
      const auto deadline = handedOver + kArrivalLimit;
      std::size_t heard = 0;
      Clock::time_point changed = Clock::now();
      while (Clock::now() - changed < kQuietAfter && Clock::now() < deadline) {
        DeliverMidiInput(kalvora::RouteMidiInput);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (device.messages() != heard) {
          heard = device.messages();
          changed = Clock::now();
        }
      }
      state.SetIterationTime(
          std::chrono::duration<double>(device.lastArrival() - handedOver).count());
      out += device.messages();
      ons += device.noteOns();
      offs += device.noteOffs();
      pressure += device.pressure();
      sounding += device.sounding();
    }
    const auto perBurst = [&state](std::size_t total) {
      return static_cast<double>(total) / static_cast<double>(state.iterations());
    };
    state.counters["messages_in"] = static_cast<double>(messagesIn);
    state.counters["messages_out"] = perBurst(out);
    state.counters["note_ons_out"] = perBurst(ons);
    state.counters["note_offs_out"] = perBurst(offs);
    state.counters["pressure_out"] = perBurst(pressure);
    state.counters["left_sounding"] = perBurst(sounding);
    midiOutClose(MidiOut);
    InstallMidiBackends({});
  }
  server.stop();
}

void BM_KeyboardBurstToJackDevice(benchmark::State& state) {
  const auto pressure = static_cast<std::size_t>(state.range(0));
  SendToJackDevice(state, Burst(pressure), 2 * kKeys + pressure);
}
BENCHMARK(BM_KeyboardBurstToJackDevice)
    ->Arg(11'000)
    ->Arg(100'000)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_NoteFloodToJackDevice(benchmark::State& state) {
  const auto notes = static_cast<std::size_t>(state.range(0));
  SendToJackDevice(state, NoteFlood(notes), 2 * notes);
}
BENCHMARK(BM_NoteFloodToJackDevice)
    ->Arg(50'000)
    ->Arg(200'000)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();
