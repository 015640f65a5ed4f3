// The built-in synth through a private sound server with a null sink, timed as a user meets
// it: how long a press holds the window, how soon the note is heard (the first sound on the null
// sink's monitor marks it), and what an idle synth costs the program and the server.
//   synth_runtime_bench [--pipewire] [--rest MS] [--each]
//   synth_runtime_bench --held [--busy N] [--notes COUNT] [--first-after MS]
//                       [--pulse-frames F | --quantum Q]
//                       [--pipewire [--click]]
//   synth_runtime_bench --other-stream [--pipewire]
//   synth_runtime_bench --reference [--pipewire]
//   synth_runtime_bench --against-click --pipewire [--quantum Q]
// --pipewire runs PipeWire with its PulseAudio server in place of PulseAudio; --rest has the
// pointer rest on each unheard tone's button MS milliseconds before its press, as the window
// then has the synth load it ahead. The third form
// times the first note after 3, 6 and 10 s of quiet while another program plays on the same sink
// with an ordinary 200 ms stream; the fourth times the synth's streams with a bare click in place
// of the synth, the floor a client reaches on that server; the fifth times the synth and such a
// click side by side, in turn.
// The second form holds 200 notes of a sustained tone and counts the stretches of digital silence
// in what the sink played while each was held (dropouts), with N busy threads beside it.
// It also says how late the machine woke a real-time thread meanwhile, the stalls no buffer of a
// quick key covers.
// Not a Google Benchmark: what it times are real-time waits on a sound server.
#include <pthread.h>
#include <pulse/simple.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "midi/backends/fluidsynth/engine/outputs/pipewire_output.h"
#include "midi/backends/fluidsynth/engine/synth_worker.h"
#include "midi/backends/fluidsynth/fluidsynth_backend.h"
#include "midi/midi_bytes.h"
#include "midi/midi_out.h"
#include "midi/short_message.h"
#include "support/press_messages.h"
#include "support/pulse_test_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kUnheardTones = 100;
constexpr int kHeardTones = 10;  // among the last ones pressed, which the synth keeps loaded
constexpr int kAfterIdlePresses = 10;
constexpr auto kIdleWait = std::chrono::milliseconds(2500);
constexpr auto kQuietWait = std::chrono::milliseconds(300);
constexpr auto kIdleMeasure = std::chrono::seconds(10);
constexpr auto kStreamGoneLimit = std::chrono::seconds(15);
// The stream rests 2 s after the last voice and closes at the idle time: measured in between.
constexpr auto kRestWait = std::chrono::milliseconds(2500);
constexpr auto kKeptOpenMeasure =
    kalvora::SynthWorker::kIdleAfter - kRestWait - std::chrono::milliseconds(500);
constexpr auto kSoundLimit = std::chrono::milliseconds(1000);
// The null sink mixes in 16 bits: anything above one step is sound. Each press waits for the
// reverb's tail to die to that, so even a slow attack is timed by its first sample.
constexpr float kSilenceLevel = 1.5F / 32768.0F;
constexpr auto kSilentFor = std::chrono::milliseconds(30);
constexpr auto kSilenceLimit = std::chrono::seconds(5);
constexpr int kRecordFrames = 48;  // 1 ms reads from the monitor
constexpr double kRate = 48000;

// Reads the null sink's monitor and notes when sound first comes after being armed.
class MonitorRecorder {
 public:
  // Records in fragments of fragmentFrames; small ones keep the sink itself in small blocks, as
  // a sound card's sink is, large ones leave its blocks to the other streams.
  bool start(std::uint32_t fragmentFrames = kRecordFrames) {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(kRate), 2};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = fragmentFrames * 2 * sizeof(float);
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

  // Whether the sink has played nothing but silence for kSilentFor, waiting at most kSilenceLimit.
  bool waitForSilence() {
    const auto deadline = Clock::now() + kSilenceLimit;
    while (Clock::now() - lastSound_.load() < kSilentFor) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(Ms(1));
    }
    return true;
  }

  void arm() {
    heard_ = false;
    armed_ = true;
  }
  // Between these two, every frame read is kept (left + right), for the gap count.
  void startKeeping() {
    const std::lock_guard lock(keptMutex_);
    kept_.clear();
    keeping_ = true;
  }
  std::vector<float> stopKeeping() {
    const std::lock_guard lock(keptMutex_);
    keeping_ = false;
    return std::move(kept_);
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
    while (running_) {
      int error = 0;
      if (pa_simple_read(stream_, buffer.data(), sizeof buffer, &error) < 0) return;
      const auto now = Clock::now();
      if (keeping_) {
        const std::lock_guard lock(keptMutex_);
        for (std::size_t i = 0; i < buffer.size(); i += 2)
          kept_.push_back(std::fabs(buffer[i]) + std::fabs(buffer[i + 1]));
      }
      const auto loud = std::find_if(buffer.begin(), buffer.end(),
                                     [](float s) { return std::fabs(s) > kSilenceLevel; });
      if (loud == buffer.end()) continue;
      lastSound_ = now;
      if (armed_ && !heard_) {
        // When the sink played that sample: before this read by what the recording still holds
        // behind it, which with large fragments is most of a fragment.
        int error = 0;
        const pa_usec_t behind = pa_simple_get_latency(stream_, &error);
        const double after = static_cast<double>(buffer.end() - loud) / 2.0;
        heardAt_ = now - std::chrono::microseconds(behind) -
                   std::chrono::microseconds(static_cast<long>(after * 1e6 / kRate));
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
  std::atomic<Clock::time_point> lastSound_{Clock::now()};
  std::atomic<bool> keeping_{false};
  std::mutex keptMutex_;
  std::vector<float> kept_;
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
void Press(HMIDIOUT out, int program, int reverb = kalvora::kStartReverb) {
  PortSink sink{out};
  kalvora::test::SendPress(sink, kalvora::test::Voice{.program = program + 1, .reverb = reverb});
}

void Release(HMIDIOUT out) {
  PortSink sink{out};
  kalvora::test::SendRelease(sink, kalvora::test::Voice{});
}

// A press not heard within kSoundLimit; other negative times are sounds the recording dated before
// their press (its reported latency was off), left out of the figures.
constexpr double kNeverHeard = -1e9;

struct PressTiming {
  int program;  // 0..127
  double handlerMs;
  double soundMs;  // negative when nothing was heard
};

// What the window hands the device while the pointer rests on program's button: the set-up of
// its press.
void PointerRests(HMIDIOUT out, int program) {
  std::vector<std::uint32_t> setUp;
  for (const auto& [status, data1, data2] :
       kalvora::test::PressMessages(kalvora::test::Voice{.program = program + 1})) {
    if ((status & kalvora::kStatusKindMask) != kalvora::kNoteOn)
      setUp.push_back(kalvora::PackShortMessage(status, data1, data2));
  }
  kalvora::PrepareOnDevice(out, setUp);
}

// A clean start (every voice cut, the reverb's tail died away), then one timed press and its
// release; with rest, the pointer rests on the button that long before the press.
PressTiming TimedPress(HMIDIOUT out, MonitorRecorder& recorder, int program,
                       std::chrono::milliseconds rest = {}) {
  midiOutReset(out);
  if (!recorder.waitForSilence()) std::puts("the sink did not fall silent before a press");
  if (rest.count() > 0) {
    PointerRests(out, program);
    std::this_thread::sleep_for(rest);
  }
  recorder.arm();
  const auto pressed = Clock::now();
  Press(out, program);
  const auto returned = Clock::now();
  Clock::time_point heard;
  const bool sounded = recorder.waitForSound(heard);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Release(out);
  return {program, Ms(returned - pressed).count(),
          sounded ? Ms(heard - pressed).count() : kNeverHeard};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// The value that this share of the values does not exceed (nearest rank).
double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double Worst(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

void Report(const char* what, const std::vector<PressTiming>& timings, bool handler) {
  std::vector<double> handlers, sounds;
  int silent = 0, misdated = 0;
  const PressTiming* slowest = nullptr;
  for (const auto& t : timings) {
    handlers.push_back(t.handlerMs);
    if (t.soundMs < 0) {
      t.soundMs == kNeverHeard ? ++silent : ++misdated;
    } else {
      if (slowest == nullptr || t.soundMs > slowest->soundMs) slowest = &t;
      sounds.push_back(t.soundMs);
    }
  }
  if (handler) {
    std::printf("%s: press handler median %.3f ms, worst %.3f ms (of %zu)\n", what,
                Median(handlers), Worst(handlers), handlers.size());
  }
  std::printf(
      "%s: press to first sample median %.1f ms, 95th percentile %.1f ms, worst %.1f ms (program "
      "%d; of %zu; %d never heard, %d dated before the press)\n",
      what, Median(sounds), Percentile(sounds, 0.95), Worst(sounds),
      slowest ? slowest->program + 1 : -1, sounds.size(), silent, misdated);
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
std::string BufferLatency(const kalvora::test::PulseTestServer& server) {
  const std::string streams = server.describePlaybackStreams();
  constexpr std::string_view kLabel = "Buffer Latency: ";
  const auto at = streams.find(kLabel);
  if (at == std::string::npos) return "?";
  const auto from = at + kLabel.size();
  return streams.substr(from, streams.find('\n', from) - from);
}

// Waits until the server plays no stream (on PipeWire the synth's is paused rather than closed),
// at most kStreamGoneLimit; how long it took, or a negative time when a stream still plays.
double WaitForNoStream(const kalvora::test::PulseTestServer& server) {
  const auto start = Clock::now();
  while (server.uncorkedPlaybackStreams() != 0) {
    if (Clock::now() - start > kStreamGoneLimit) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return Ms(Clock::now() - start).count();
}

struct IdleCost {
  double selfMs;
  double serverMs;
};

double ProcessesCpuMs(const std::vector<pid_t>& pids) {
  double ms = 0;
  for (const pid_t pid : pids) ms += ProcessCpuMs(pid);
  return ms;
}

IdleCost MeasureIdle(const std::vector<pid_t>& server,
                     std::chrono::milliseconds span = kIdleMeasure) {
  const double selfBefore = SelfCpuMs(), serverBefore = ProcessesCpuMs(server);
  std::this_thread::sleep_for(span);
  return {SelfCpuMs() - selfBefore, ProcessesCpuMs(server) - serverBefore};
}

double PercentOfCore(double ms, std::chrono::milliseconds span = kIdleMeasure) {
  return ms * 100.0 / static_cast<double>(span.count());
}

// How late the machine itself wakes a thread of the highest real-time priority that sleeps 1 ms
// at a time, one on each core: on a virtual machine the host takes the cores at times, and a gap
// that falls in such a stall says nothing of the synth.
class MachineStalls {
 public:
  MachineStalls() {
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    for (unsigned core = 0; core < cores; ++core)
      threads_.emplace_back([this, core] { watch(core); });
  }
  ~MachineStalls() {
    stop_ = true;
    for (auto& thread : threads_) thread.join();
  }
  // Whether the machine stalled anywhere between from and to.
  bool stalledWithin(Clock::time_point from, Clock::time_point to) const {
    const std::lock_guard lock(mutex_);
    return std::any_of(stalls_.begin(), stalls_.end(),
                       [&](const auto& stall) { return stall.first < to && stall.second > from; });
  }
  void report() const {
    const std::lock_guard lock(mutex_);
    std::printf(
        "the machine itself: %s threads that sleep 1 ms, one a core, woke up at worst %.1f ms "
        "late, %zu times "
        "over %.0f ms\n",
        realtime_ ? "real-time" : "ordinary (real-time refused)", worst_, stalls_.size(),
        kStall.count());
  }

 private:
  static constexpr auto kNap = std::chrono::milliseconds(1);
  // Longer than a 128-frame quantum less the nap: enough to empty the smallest buffer tried.
  static constexpr Ms kStall{2};

  void watch(unsigned core) {
    cpu_set_t only{};
    CPU_ZERO(&only);
    CPU_SET(core, &only);
    pthread_setaffinity_np(pthread_self(), sizeof only, &only);
    const sched_param param{.sched_priority = sched_get_priority_max(SCHED_FIFO)};
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) != 0) realtime_ = false;
    while (!stop_) {
      const auto before = Clock::now();
      std::this_thread::sleep_for(kNap);
      const auto after = Clock::now();
      const Ms late = after - before - kNap;
      const std::lock_guard lock(mutex_);
      worst_ = std::max(worst_, late.count());
      if (late > kStall) stalls_.push_back({before, after});
    }
  }

  std::atomic<bool> stop_{false};
  std::atomic<bool> realtime_{true};
  mutable std::mutex mutex_;
  double worst_ = 0;
  std::vector<std::pair<Clock::time_point, Clock::time_point>> stalls_;
  std::vector<std::thread> threads_;  // last: they start once everything above exists
};

// Held notes: a sustained tone (Church Organ) pressed, held and released, 200 times; in what the
// sink played from its first sound to the release, every stretch of at least 0.5 ms with both
// channels below one 16-bit step is a dropout.
constexpr int kHeldNotes = 200;
constexpr int kHeldProgram = 20;  // counted from 1
constexpr auto kHeldFor = std::chrono::milliseconds(250);
constexpr std::size_t kShortestGap = 24;
constexpr float kHeardLevel = 0.01F;  // -40 dBFS

struct Gaps {
  int count = 0;
  double longestMs = 0;
};

Gaps GapsIn(const std::vector<float>& levels) {
  Gaps gaps;
  // From the moment the note is plainly heard: the first millisecond of an attack, still below
  // one step around each zero crossing, is no dropout.
  const auto first =
      std::find_if(levels.begin(), levels.end(), [](float level) { return level > kHeardLevel; });
  std::size_t run = 0;
  for (auto it = first; it != levels.end(); ++it) {
    if (*it <= kSilenceLevel) {
      ++run;
      continue;
    }
    if (run >= kShortestGap) {
      ++gaps.count;
      gaps.longestMs = std::max(gaps.longestMs, run * 1000.0 / kRate);
    }
    run = 0;
  }
  return gaps;
}

// What a held note plays: the synth (a note without reverb, so that the sink falls silent soon
// after each release), or a bare click.
struct HeldSound {
  std::function<void()> press;
  std::function<void()> release;
  std::function<void()> cut;  // whatever still sounds after the release
};

int HeldNotes(const HeldSound& sound, MonitorRecorder& recorder, int notes,
              const kalvora::test::PulseTestServer& server, const MachineStalls& stalls) {
  int notesWithGaps = 0, gapCount = 0, inStalls = 0;
  double longest = 0;
  std::vector<double> longestPerNote;
  std::vector<PressTiming> timings;
  for (int i = 0; i < notes; ++i) {
    recorder.startKeeping();
    recorder.arm();
    const auto pressed = Clock::now();
    sound.press();
    Clock::time_point heard;
    const bool sounded = recorder.waitForSound(heard);
    timings.push_back({kHeldProgram - 1, 0, sounded ? Ms(heard - pressed).count() : kNeverHeard});
    std::this_thread::sleep_until(pressed + kHeldFor);
    sound.release();
    const Gaps gaps = GapsIn(recorder.stopKeeping());
    if (i == 0) {
      std::printf("first note after start: %d stretches of silence, longest %.1f ms\n", gaps.count,
                  gaps.longestMs);
    }
    notesWithGaps += gaps.count > 0;
    inStalls += gaps.count > 0 && stalls.stalledWithin(pressed, Clock::now());
    gapCount += gaps.count;
    longest = std::max(longest, gaps.longestMs);
    sound.cut();
    if (!recorder.waitForSilence()) std::puts("the sink did not fall silent after a note");
  }
  Report("held note", timings, false);
  std::printf(
      "held notes: %d of %d had silence while held (%d stretches, longest %.1f ms; %d of those "
      "notes "
      "while the machine stalled); stream buffer at the end: %s\n",
      notesWithGaps, notes, gapCount, longest, inStalls, BufferLatency(server).c_str());
  stalls.report();
  return 0;
}

// Another program on the sink with an ordinary 200 ms buffer (a music player, a browser),
// playing silence so that the synth's first sample still marks its note.
class OtherProgram {
 public:
  bool start() {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(kRate), 2};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(kRate / 5) * 2 * sizeof(float);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    int error = 0;
    stream_ = pa_simple_new(nullptr, "other-program", PA_STREAM_PLAYBACK, nullptr, "music", &format,
                            nullptr, &attr, &error);
    if (stream_ == nullptr) return false;
    thread_ = std::thread([this] {
      std::vector<float> silence(kRecordFrames * 2 * 10);
      int error = 0;
      while (running_) {
        if (pa_simple_write(stream_, silence.data(), silence.size() * sizeof(float), &error) < 0)
          return;
      }
    });
    return true;
  }
  ~OtherProgram() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    if (stream_ != nullptr) pa_simple_free(stream_);
  }

 private:
  pa_simple* stream_ = nullptr;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

int AfterIdleBesideAnotherStream(HMIDIOUT out, MonitorRecorder& recorder) {
  constexpr int kPressesPerWait = 5;
  for (const int seconds : {3, 6, 10}) {
    std::vector<PressTiming> timings;
    for (int i = 0; i < kPressesPerWait; ++i) {
      std::this_thread::sleep_for(std::chrono::seconds(seconds));
      timings.push_back(TimedPress(out, recorder, 0));
    }
    const std::string what =
        "first note after " + std::to_string(seconds) + " s, 200 ms stream beside";
    Report(what.c_str(), timings, false);
  }
  return 0;
}

// The floor a client reaches on the same server: the synth's streams with a bare click in place of
// the synth, so that a press is heard at the next request the server makes.
class ClickSource final : public kalvora::AudioSource {
 public:
  void render(std::span<float> left, std::span<float> right) override {
    const float level = on_ ? 0.5F : 0.0F;
    std::fill(left.begin(), left.end(), level);
    std::fill(right.begin(), right.end(), level);
  }
  void set(bool on) { on_ = on; }

 private:
  std::atomic<bool> on_{false};
};

constexpr int kReferencePresses = 40;

PressTiming TimedClick(MonitorRecorder& recorder, ClickSource& click) {
  if (!recorder.waitForSilence()) std::puts("the sink did not fall silent before a click");
  recorder.arm();
  const auto pressed = Clock::now();
  click.set(true);
  Clock::time_point heard;
  const bool sounded = recorder.waitForSound(heard);
  click.set(false);
  return {0, 0, sounded ? Ms(heard - pressed).count() : kNeverHeard};
}

// Each stream opens before the recording starts: a null sink that had no stream renders far ahead,
// and a recording started then is dated by a latency that no longer holds once the sink runs in
// small blocks.
void TimeReference(const char* what, ClickSource& click) {
  std::this_thread::sleep_for(kIdleWait);
  MonitorRecorder recorder;
  if (!recorder.start()) {
    std::puts("cannot record the null sink's monitor");
    return;
  }
  std::this_thread::sleep_for(kIdleWait);
  std::vector<PressTiming> timings;
  for (int i = 0; i < kReferencePresses; ++i) timings.push_back(TimedClick(recorder, click));
  Report(what, timings, false);
}

int ReferenceClients() {
  constexpr auto kOpenLimit = std::chrono::seconds(2);
  ClickSource click;
  for (const std::uint32_t quantum : {64, 128, 256}) {
    if (auto stream = kalvora::PipeWireOutput::open(click, kOpenLimit, quantum)) {
      const std::string what =
          "reference click, PipeWire stream (" + std::to_string(quantum) + "-frame quantum)";
      TimeReference(what.c_str(), click);
    }
  }
  return 0;
}

// The synth's PipeWire stream and a bare click's, at the same quantum on the same server, timed in
// turn by one recording: what the synth adds to the floor, whatever the recording's dating is off
// by.
int AgainstClick(HMIDIOUT out, std::uint32_t quantum) {
  ClickSource click;
  const auto clickStream = kalvora::PipeWireOutput::open(click, std::chrono::seconds(2), quantum);
  if (clickStream == nullptr) {
    std::puts("no PipeWire stream for the click");
    return 1;
  }
  Press(out, kHeldProgram - 1, 0);  // the synth's stream opens with its first note
  std::this_thread::sleep_for(kQuietWait);
  midiOutReset(out);
  std::this_thread::sleep_for(kIdleWait);
  MonitorRecorder recorder;
  if (!recorder.start()) {
    std::puts("cannot record the null sink's monitor");
    return 1;
  }
  std::this_thread::sleep_for(kIdleWait);
  std::vector<PressTiming> clicks, notes;
  for (int i = 0; i < kReferencePresses; ++i) {
    clicks.push_back(TimedClick(recorder, click));
    notes.push_back(TimedPress(out, recorder, kHeldProgram - 1));
  }
  const std::string what = " beside each other, " + std::to_string(quantum) + "-frame quantum";
  Report(("bare click" + what).c_str(), clicks, false);
  Report(("synth note" + what).c_str(), notes, false);
  midiOutClose(out);
  return 0;
}

// Threads that keep cores busy beside the bench, as other programs would.
class BusyThreads {
 public:
  explicit BusyThreads(int count) {
    for (int i = 0; i < count; ++i) {
      threads_.emplace_back([this] {
        volatile unsigned long spin = 0;
        while (!stop_) spin = spin + 1;
      });
    }
  }
  ~BusyThreads() {
    stop_ = true;
    for (auto& thread : threads_) thread.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

}  // namespace

int main(int argc, char** argv) {
  bool held = false;
  bool otherStream = false;
  bool reference = false;
  bool againstClick = false;
  bool heldClick = false;   // held notes of a bare click on a PipeWire stream in place of the synth
  std::string pulseFrames;  // FluidSynth's PulseAudio driver with this buffer in place of ours
  std::string quantum;      // the synth's PipeWire stream with this quantum in place of ours
  auto serverKind = kalvora::test::PulseTestServer::Kind::kPulseAudio;
  int busy = 0;
  int notes = kHeldNotes;
  bool each = false;  // print every unheard press's time
  // From the synth's open to the first held note: past the idle time, the note opens the stream.
  std::chrono::milliseconds firstNoteAfter = kIdleWait;
  std::chrono::milliseconds rest{};  // the pointer's rest on a button before each unheard press
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--held") held = true;
    if (arg == "--notes" && i + 1 < argc) notes = std::atoi(argv[++i]);
    if (arg == "--other-stream") otherStream = true;
    if (arg == "--reference") reference = true;
    if (arg == "--against-click") againstClick = true;
    if (arg == "--click") heldClick = true;
    if (arg == "--pulse-frames" && i + 1 < argc) pulseFrames = argv[++i];
    if (arg == "--quantum" && i + 1 < argc) quantum = argv[++i];
    if (arg == "--pipewire") serverKind = kalvora::test::PulseTestServer::Kind::kPipeWire;
    if (arg == "--busy" && i + 1 < argc) busy = std::atoi(argv[++i]);
    if (arg == "--each") each = true;
    if (arg == "--first-after" && i + 1 < argc)
      firstNoteAfter = std::chrono::milliseconds(std::atoi(argv[++i]));
    if (arg == "--rest" && i + 1 < argc) rest = std::chrono::milliseconds(std::atoi(argv[++i]));
  }
  kalvora::test::PulseTestServer server(serverKind);
  if (!server.start()) {
    std::printf("private sound server did not start:\n%s\n", server.log().c_str());
    return 1;
  }
  if (reference) return ReferenceClients();
  // The bare server first: what it costs with no client at all is not the synth's.
  const IdleCost bare = MeasureIdle(server.pids());
  kalvora::MidiBackends backends;
  kalvora::FluidSynthOptions options;
  if (!pulseFrames.empty())
    options.audioOutputs = {{"pulseaudio", {{"audio.period-size", pulseFrames}}}};
  if (!quantum.empty())
    options.audioOutputs = {{"pipewire-stream", {{"audio.period-size", quantum}}}};
  backends.push_back(std::make_unique<kalvora::FluidSynthBackend>(options));
  kalvora::InstallMidiBackends(std::move(backends));
  HMIDIOUT out = kNoMidiOut;
  if (midiOutGetNumDevs() == 0 || midiOutOpen(&out, 0, 0, 0, 0) != MMSYSERR_NOERROR) {
    std::puts("the synth did not open");
    return 1;
  }
  if (againstClick) {
    constexpr std::uint32_t kDefaultQuantum = 256;
    return AgainstClick(
        out, quantum.empty() ? kDefaultQuantum : static_cast<std::uint32_t>(std::stoul(quantum)));
  }
  if (otherStream) {
    OtherProgram other;
    if (!other.start()) {
      std::puts("the other program's stream did not start");
      return 1;
    }
    MonitorRecorder recorder;
    constexpr std::uint32_t kLargeFragments = kRate / 5;
    if (!recorder.start(kLargeFragments)) {
      std::puts("cannot record the null sink's monitor");
      return 1;
    }
    const int result = AfterIdleBesideAnotherStream(out, recorder);
    midiOutClose(out);
    return result;
  }
  if (held) {
    MonitorRecorder recorder;
    if (!recorder.start()) {
      std::puts("cannot record the null sink's monitor");
      return 1;
    }
    std::this_thread::sleep_for(firstNoteAfter);
    const BusyThreads load(busy);
    std::printf("%d busy threads beside the synth\n", busy);
    const MachineStalls stalls;
    HeldSound sound{[out] { Press(out, kHeldProgram - 1, 0); }, [out] { Release(out); },
                    [out] { midiOutReset(out); }};
    ClickSource click;
    std::unique_ptr<kalvora::PipeWireOutput> clickStream;
    if (heldClick) {
      constexpr std::uint32_t kDefaultQuantum = 256;
      clickStream = kalvora::PipeWireOutput::open(
          click, std::chrono::seconds(2),
          quantum.empty() ? kDefaultQuantum : static_cast<std::uint32_t>(std::stoul(quantum)));
      if (clickStream == nullptr) {
        std::puts("no PipeWire stream for the click");
        return 1;
      }
      sound = {[&click] { click.set(true); }, [&click] { click.set(false); }, [] {}};
    }
    const int result = HeldNotes(sound, recorder, notes, server, stalls);
    midiOutClose(out);
    return result;
  }
  // Idle next, before anything records (a recording keeps the server busy by itself): while the
  // synth's stream waits open for the next note, playing silence it does not render, and from
  // the moment it has gone.
  Press(out, 0);
  std::this_thread::sleep_for(kQuietWait);
  midiOutReset(out);
  std::this_thread::sleep_for(kRestWait);
  const IdleCost keptOpen = MeasureIdle(server.pids(), kKeptOpenMeasure);
  const double closedAfter = WaitForNoStream(server);
  const IdleCost idle = MeasureIdle(server.pids());

  MonitorRecorder recorder;
  if (!recorder.start()) {
    std::puts("cannot record the null sink's monitor");
    return 1;
  }
  // A null sink with no stream renders seconds ahead and takes a new stream's latency only at the
  // end of that block; the recording's own small latency has it render in small blocks after it.
  std::this_thread::sleep_for(kIdleWait);
  std::vector<PressTiming> unheard, heard, afterIdle;
  std::vector<double> closedAfterPress;  // from the reset that ended the press before
  for (int i = 0; i < kAfterIdlePresses; ++i) {
    midiOutReset(out);
    closedAfterPress.push_back(WaitForNoStream(server));
    if (closedAfterPress.back() < 0) std::puts("the synth's stream did not close when idle");
    afterIdle.push_back(TimedPress(out, recorder, 0));
  }
  for (int program = 1; program <= kUnheardTones; ++program) {
    unheard.push_back(TimedPress(out, recorder, program, rest));
    if (each) std::printf("unheard program %d: %.1f ms\n", program + 1, unheard.back().soundMs);
  }
  for (int i = 0; i < kHeardTones; ++i) {
    heard.push_back(TimedPress(out, recorder, kUnheardTones - kHeardTones + 1 + i));
  }
  Press(out, 0);
  std::this_thread::sleep_for(kQuietWait);
  const std::string buffer = BufferLatency(server);
  midiOutReset(out);

  Report("first press of an unheard tone", unheard, true);
  Report("press of a heard tone", heard, false);
  Report("first press once the stream has closed", afterIdle, false);
  std::printf("stream buffer while a note sounds: %s\n", buffer.c_str());
  std::printf(
      "stream closed after the reset: %.0f ms with the sink idle, median %.0f ms, worst %.0f ms "
      "with the recording on (negative: not within %lld s)\n",
      closedAfter < 0 ? closedAfter : closedAfter + Ms(kRestWait + kKeptOpenMeasure).count(),
      Median(closedAfterPress), Worst(closedAfterPress),
      static_cast<long long>(kStreamGoneLimit.count()));
  std::printf(
      "stream kept open, resting, over %lld ms: program %.0f ms CPU, server %.0f ms CPU (%.2f %% "
      "of a core beyond the server alone)\n",
      static_cast<long long>(kKeptOpenMeasure.count()), keptOpen.selfMs, keptOpen.serverMs,
      PercentOfCore(keptOpen.selfMs + keptOpen.serverMs -
                        bare.serverMs * Ms(kKeptOpenMeasure).count() / Ms(kIdleMeasure).count(),
                    kKeptOpenMeasure));
  std::printf("idle %lld s, PulseAudio alone: %.0f ms CPU (%.2f %% of a core)\n",
              static_cast<long long>(kIdleMeasure.count()), bare.serverMs,
              PercentOfCore(bare.serverMs));
  std::printf(
      "idle %lld s, synth open: program %.0f ms CPU, PulseAudio %.0f ms CPU (%.2f %% of a core; "
      "%.2f %% beyond PulseAudio alone)\n",
      static_cast<long long>(kIdleMeasure.count()), idle.selfMs, idle.serverMs,
      PercentOfCore(idle.selfMs + idle.serverMs),
      PercentOfCore(idle.selfMs + idle.serverMs - bare.serverMs));
  midiOutClose(out);
  return 0;
}
