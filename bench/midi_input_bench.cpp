// How soon a note-on from a MIDI keyboard reaches the device: from the moment the input's thread
// hands it over (as the JACK and sequencer inputs do) to the moment the device has it, through
// the real window's event loop (offscreen). Once with the window idle, once with the window
// busy redrawing the captions a press has just rewritten. Each reports its median and 99th
// percentile as counters.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QtTest/QtTest>
#include <algorithm>
#include <thread>
#include <vector>

#include "bench/stopwatch_window.h"
#include "midi/input/input_inbox.h"
#include "play/input_router.h"
#include "ui/press_button.h"

namespace {

using kalvora::bench::Clock;
using kalvora::bench::TheStopwatch;

constexpr std::uint8_t kInputNote = 0x45;  // the window's own presses play note 60
constexpr int kLostAfterMs = 1000;
constexpr auto kIdleBeforeInput = std::chrono::microseconds(2000);
// In the busy case the input comes at one of these moments after the press, spread over the
// time a redraw takes, so some samples land in the middle of it.
constexpr int kBusyMoments = 16;
constexpr auto kBusyMomentStep = std::chrono::microseconds(200);

using kalvora::bench::TheWindow;

// Runs the window's loop until the input's note-on reaches the device; the seconds from its
// hand-over, or a negative number when it never came.
double InputNoteOn(std::chrono::microseconds idleFirst) {
  QEventLoop loop;
  TheStopwatch().onNoteOn = [&loop] {
    if (TheStopwatch().lastNote == kInputNote) loop.quit();
  };
  Clock::time_point handedOver;
  std::thread keyboard([&handedOver, idleFirst] {
    std::this_thread::sleep_for(idleFirst);
    handedOver = Clock::now();
    const std::uint8_t noteOn[] = {0x90, kInputNote, 0x64};
    kalvora::PostMidiInput(kalvora::InputSource::kJack, noteOn);
  });
  bool lost = false;
  QTimer::singleShot(kLostAfterMs, &loop, [&] {
    lost = true;
    loop.quit();
  });
  loop.exec();
  keyboard.join();
  TheStopwatch().onNoteOn = nullptr;
  // The note-off, so the input holds nothing from one sample to the next.
  const std::uint8_t noteOff[] = {0x80, kInputNote, 0x00};
  kalvora::PostMidiInput(kalvora::InputSource::kJack, noteOff);
  kalvora::DeliverMidiInput(kalvora::RouteMidiInput);
  return lost ? -1.0
              : std::chrono::duration<double>(TheStopwatch().noteOnArrived - handedOver).count();
}

// The samples of one benchmark: each is also the iteration's time; the counters come at the end.
class Samples {
 public:
  explicit Samples(benchmark::State& state) : state_(state) {}
  ~Samples() {
    state_.counters["lost"] = lost_;
    if (seconds_.empty()) return;
    std::sort(seconds_.begin(), seconds_.end());
    const auto at = [this](double fraction) {
      const auto index = static_cast<std::size_t>(fraction * seconds_.size());
      return seconds_[std::min(seconds_.size() - 1, index)] * 1e6;
    };
    state_.counters["median_us"] = at(0.5);
    state_.counters["p99_us"] = at(0.99);
    state_.counters["max_us"] = seconds_.back() * 1e6;
  }
  void add(double seconds) {
    if (seconds < 0) {
      ++lost_;
      return;
    }
    state_.SetIterationTime(seconds);
    seconds_.push_back(seconds);
  }

 private:
  benchmark::State& state_;
  std::vector<double> seconds_;
  int lost_ = 0;
};

void InputNoteOnWindowIdle(benchmark::State& state) {
  TheWindow();
  Samples samples(state);
  for (auto _ : state) samples.add(InputNoteOn(kIdleBeforeInput));
}
BENCHMARK(InputNoteOnWindowIdle)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// The input arrives while the redraw of the 256 captions a press has just rewritten is under way.
void InputNoteOnWindowRedrawing(benchmark::State& state) {
  auto& f = TheWindow().form;
  const QPoint first = f.Button(1)->mapTo(&f, f.Button(1)->rect().center());
  const QPoint second = f.Button(88)->mapTo(&f, f.Button(88)->rect().center());
  bool odd = true;
  int moment = 0;
  Samples samples(state);
  for (auto _ : state) {
    const QPoint at = odd ? first : second;
    odd = !odd;
    moment = (moment + 1) % kBusyMoments;
    QTest::mousePress(f.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    samples.add(InputNoteOn(kBusyMomentStep * moment));
    QTest::mouseRelease(f.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
  }
}
BENCHMARK(InputNoteOnWindowRedrawing)
    ->UseManualTime()
    ->Iterations(800)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

KALVORA_QT_BENCHMARK_MAIN()
