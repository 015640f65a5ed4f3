// A burst from a MIDI keyboard through the input and out to a JACK device, on a private JACK
// server: 128 note-ons, a stream of channel pressure (running status) and 128 note-offs, arriving
// as one event of one cycle, as the JACK input's thread hands it over. The bench's thread is the
// window's (it takes the input and routes it); a client of the bench's own counts what the
// device receives. Reported per burst: the time from the hand-over to the last note-off heard,
// the messages out, how much of the pressure was kept, and the notes left sounding (0 expected).
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
#include "midi/device_state.h"
#include "midi/input/input_inbox.h"
#include "midi/midi_bytes.h"
#include "support/jack_test_server.h"

namespace kalvora {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint8_t kKeys = 128;
constexpr auto kArrivalLimit = std::chrono::seconds(20);

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
    noteOffs_ = 0;
    sounding_ = 0;
  }
  std::size_t messages() const { return messages_.load(); }
  std::size_t pressure() const { return pressure_.load(); }
  std::size_t noteOffs() const { return noteOffs_.load(); }
  std::size_t sounding() const { return sounding_.load(); }
  Clock::time_point lastNoteOff() const { return lastNoteOff_.load(); }

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
    const std::uint8_t kind = message[0] & kStatusKindMask;
    if (kind == kChannelPressure) ++pressure_;
    if ((kind != kNoteOn && kind != kNoteOff) || message.size() < 3) return;
    const bool on = kind == kNoteOn && message[2] != 0;
    held_.set(message[1], on);
    sounding_ = held_.count();
    if (!on) {
      ++noteOffs_;
      lastNoteOff_ = Clock::now();
    }
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::bitset<kKeys> held_;  // the audio thread's own
  std::atomic<std::size_t> messages_{0};
  std::atomic<std::size_t> pressure_{0};
  std::atomic<std::size_t> noteOffs_{0};
  std::atomic<std::size_t> sounding_{0};
  std::atomic<Clock::time_point> lastNoteOff_{};
};

std::vector<std::uint8_t> Burst(std::size_t pressure) {
  std::vector<std::uint8_t> bytes;
  for (std::uint8_t key = 0; key < kKeys; ++key) bytes.insert(bytes.end(), {kNoteOn, key, 0x64});
  bytes.push_back(kChannelPressure);
  for (std::size_t i = 0; i < pressure; ++i) bytes.push_back(static_cast<std::uint8_t>(i & 0x7F));
  for (std::uint8_t key = 0; key < kKeys; ++key) bytes.insert(bytes.end(), {kNoteOff, key, 0});
  return bytes;
}

void BM_KeyboardBurstToJackDevice(benchmark::State& state) {
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
    const auto pressure = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> burst = Burst(pressure);
    std::size_t out = 0;
    std::size_t kept = 0;
    std::size_t sounding = 0;
    std::size_t lostNoteOffs = 0;
    for (auto _ : state) {
      device.clear();
      const Clock::time_point handedOver = Clock::now();
      PostMidiInput(InputSource::kJack, burst);
      const auto deadline = handedOver + kArrivalLimit;
      while (device.noteOffs() < kKeys && Clock::now() < deadline) {
        DeliverMidiInput();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
      if (device.noteOffs() < kKeys) {
        // Whatever is still to come has had its chance: the device counts as it stands.
        state.SetIterationTime(std::chrono::duration<double>(kArrivalLimit).count());
      } else {
        state.SetIterationTime(
            std::chrono::duration<double>(device.lastNoteOff() - handedOver).count());
      }
      out += device.messages();
      kept += device.pressure();
      sounding += device.sounding();
      lostNoteOffs += kKeys - device.noteOffs();
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["messages_in"] = static_cast<double>(2 * kKeys + pressure);
    state.counters["messages_out"] = static_cast<double>(out) / iterations;
    state.counters["pressure_kept"] = static_cast<double>(kept) / iterations;
    state.counters["note_offs_lost"] = static_cast<double>(lostNoteOffs) / iterations;
    state.counters["left_sounding"] = static_cast<double>(sounding) / iterations;
    midiOutClose(MidiOut);
    InstallMidiBackends({});
  }
  server.stop();
}
BENCHMARK(BM_KeyboardBurstToJackDevice)
    ->Arg(11'000)
    ->Arg(100'000)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();
