// The built-in synth through a private PulseAudio server with a null sink, timed as a user meets
// it: how long a press holds the window, how soon the note is heard (the first sound on the null
// sink's monitor marks it), and what an idle synth costs the program and the server.
//   synth_runtime_bench
// Not a Google Benchmark: what it times are real-time waits on a sound server.
#include <pulse/simple.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "midi/backends/fluidsynth/fluidsynth_backend.h"
#include "midi/midi_out.h"
#include "support/press_messages.h"
#include "support/pulse_test_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kUnheardTones = 50;
constexpr int kHeardTones = 10;  // among the last ones pressed, which the synth keeps loaded
constexpr int kAfterIdlePresses = 5;
constexpr auto kIdleWait = std::chrono::milliseconds(2500);
constexpr auto kQuietWait = std::chrono::milliseconds(300);
constexpr auto kIdleMeasure = std::chrono::seconds(10);
constexpr auto kSoundLimit = std::chrono::milliseconds(1000);
// The note's first sound: above what is left of the reverb's tail after the quiet wait.
constexpr double kSoundDb = -50.0;
constexpr int kRecordFrames = 48;  // 1 ms reads from the monitor
constexpr double kRate = 48000;

// Reads the null sink's monitor and notes when sound first comes after being armed.
class MonitorRecorder {
 public:
  bool start() {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(kRate), 2};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = kRecordFrames * 2 * sizeof(float);
    int error = 0;
    stream_ = pa_simple_new(nullptr, "synth-runtime-bench", PA_STREAM_RECORD,
                            kalvora::test::PulseTestServer::kMonitor, "monitor", &format, nullptr,
                            &attr, &error);
    if (stream_ == nullptr) return false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
  }
  void stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    if (stream_ != nullptr) pa_simple_free(stream_);
    stream_ = nullptr;
  }
  ~MonitorRecorder() { stop(); }

  void arm() {
    heard_ = false;
    armed_ = true;
  }
  // When sound came after arm(), or nothing within the limit.
  bool waitForSound(Clock::time_point& when) {
    const auto deadline = Clock::now() + kSoundLimit;
    while (!heard_ && Clock::now() < deadline) std::this_thread::sleep_for(Ms(0.2));
    armed_ = false;
    when = heardAt_;
    return heard_;
  }

 private:
  void run() {
    std::array<float, kRecordFrames * 2> buffer{};
    const float level = static_cast<float>(std::pow(10.0, kSoundDb / 20.0));
    while (running_) {
      int error = 0;
      if (pa_simple_read(stream_, buffer.data(), sizeof buffer, &error) < 0) return;
      const auto now = Clock::now();
      if (!armed_ || heard_) continue;
      if (std::any_of(buffer.begin(), buffer.end(),
                      [&](float s) { return std::fabs(s) > level; })) {
        heardAt_ = now;
        heard_ = true;
      }
    }
  }

  pa_simple* stream_ = nullptr;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> armed_{false};
  std::atomic<bool> heard_{false};
  Clock::time_point heardAt_;
};

// The port layer as the window calls it, for the shared press messages.
struct PortSink {
  HMIDIOUT out;
  void sendShort(std::span<const std::uint8_t> bytes) const {
    std::uint32_t message = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) message |= bytes[i] << (8 * i);
    midiOutShortMsg(out, message);
  }
};

// What a press sends: the voice set-up with the default levels, then the note-on (middle C).
void Press(HMIDIOUT out, int program) {
  PortSink sink{out};
  kalvora::test::SendPress(sink, kalvora::test::Voice{.program = program + 1});
}

void Release(HMIDIOUT out) {
  PortSink sink{out};
  kalvora::test::SendRelease(sink, kalvora::test::Voice{});
}

struct PressTiming {
  double handlerMs;
  double soundMs;  // negative when nothing was heard
};

// A clean start (every voice cut, the reverb's tail left to die), then one timed press and its
// release.
PressTiming TimedPress(HMIDIOUT out, MonitorRecorder& recorder, int program) {
  midiOutReset(out);
  std::this_thread::sleep_for(kQuietWait);
  recorder.arm();
  const auto pressed = Clock::now();
  Press(out, program);
  const auto returned = Clock::now();
  Clock::time_point heard;
  const bool sounded = recorder.waitForSound(heard);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Release(out);
  return {Ms(returned - pressed).count(), sounded ? Ms(heard - pressed).count() : -1.0};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

void Report(const char* what, const std::vector<PressTiming>& timings, bool handler) {
  std::vector<double> handlers, sounds;
  int silent = 0;
  for (const auto& t : timings) {
    handlers.push_back(t.handlerMs);
    if (t.soundMs < 0) {
      ++silent;
    } else {
      sounds.push_back(t.soundMs);
    }
  }
  if (handler) {
    std::printf("%s: press handler median %.3f ms, worst %.3f ms (of %zu)\n", what,
                Median(handlers), Worst(handlers), handlers.size());
  }
  std::printf("%s: press to sound median %.1f ms, worst %.1f ms (of %zu; %d never heard)\n", what,
              Median(sounds), Worst(sounds), sounds.size(), silent);
}

double ProcessCpuMs(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::vector<std::string> values((std::istream_iterator<std::string>(fields)),
                                  std::istream_iterator<std::string>());
  // utime and stime are fields 14 and 15; the text after the name starts at field 3.
  const double ticks = std::stod(values.at(11)) + std::stod(values.at(12));
  return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double SelfCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The stream's buffer as the server reports it, while a note sounds.
std::string BufferLatency() {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen("pactl list sink-inputs", "r"), pclose);
  if (!pipe) return "?";
  std::array<char, 256> line{};
  while (std::fgets(line.data(), line.size(), pipe.get()) != nullptr) {
    const std::string text(line.data());
    if (const auto at = text.find("Buffer Latency:"); at != std::string::npos) {
      return text.substr(at + 16, text.find_last_not_of("\n") - at - 15);
    }
  }
  return "?";
}

}  // namespace

int main() {
  kalvora::test::PulseTestServer server;
  if (!server.start()) {
    std::printf("private PulseAudio did not start:\n%s\n", server.log().c_str());
    return 1;
  }
  kalvora::MidiBackends backends;
  backends.push_back(std::make_unique<kalvora::FluidSynthBackend>());
  kalvora::InstallMidiBackends(std::move(backends));
  HMIDIOUT out = kNoMidiOut;
  if (midiOutGetNumDevs() == 0 || midiOutOpen(&out, 0, 0, 0, 0) != MMSYSERR_NOERROR) {
    std::puts("the synth did not open");
    return 1;
  }
  // Idle first, before anything records (a recording keeps the server busy by itself).
  Press(out, 0);
  std::this_thread::sleep_for(kQuietWait);
  midiOutReset(out);
  std::this_thread::sleep_for(kIdleWait + kQuietWait);
  const double selfBefore = SelfCpuMs(), serverBefore = ProcessCpuMs(server.pid());
  std::this_thread::sleep_for(kIdleMeasure);
  const double selfIdle = SelfCpuMs() - selfBefore;
  const double serverIdle = ProcessCpuMs(server.pid()) - serverBefore;

  MonitorRecorder recorder;
  if (!recorder.start()) {
    std::puts("cannot record the null sink's monitor");
    return 1;
  }
  std::this_thread::sleep_for(kQuietWait);
  std::vector<PressTiming> unheard, heard, afterIdle;
  for (int i = 0; i < kAfterIdlePresses; ++i) {
    afterIdle.push_back(TimedPress(out, recorder, 0));
    midiOutReset(out);
    std::this_thread::sleep_for(kIdleWait + kQuietWait);
  }
  for (int program = 1; program <= kUnheardTones; ++program) {
    unheard.push_back(TimedPress(out, recorder, program));
  }
  for (int i = 0; i < kHeardTones; ++i) {
    heard.push_back(TimedPress(out, recorder, kUnheardTones - kHeardTones + 1 + i));
  }
  Press(out, 0);
  std::this_thread::sleep_for(kQuietWait);
  const std::string buffer = BufferLatency();
  midiOutReset(out);

  Report("first press of an unheard tone", unheard, true);
  Report("press of a heard tone", heard, false);
  Report("first press after 2 s idle", afterIdle, false);
  std::printf("stream buffer while a note sounds: %s\n", buffer.c_str());
  std::printf("idle %lld s: program %.0f ms CPU, PulseAudio %.0f ms CPU (%.2f %% of a core)\n",
              static_cast<long long>(kIdleMeasure.count()), selfIdle, serverIdle,
              (selfIdle + serverIdle) / (kIdleMeasure.count() * 10.0));
  midiOutClose(out);
  return 0;
}
