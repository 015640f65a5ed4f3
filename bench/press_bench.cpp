// What a press and a release cost on the real window (offscreen): from the press handler to the
// note-on reaching the device, the whole press with its 256 captions, and the release.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QtTest/QtTest>
#include <chrono>
#include <memory>

#include "app/form1.h"
#include "bench/stopwatch_window.h"
#include "midi/device_state.h"
#include "midi/midi_backend.h"
#include "midi/midi_bytes.h"
#include "midi/voice_state.h"
#include "ui/press_button.h"

namespace {

using kalvora::bench::Clock;

using kalvora::bench::TheWindow;

// Alternating between two programs makes every press rewrite the bank page's captions.
void PressHandlerToNoteOn(benchmark::State& state) {
  auto& f = TheWindow().form;
  int n = 1;
  for (auto _ : state) {
    const auto start = Clock::now();
    f.ButtonMouseDown(n);
    state.SetIterationTime(
        std::chrono::duration<double>(kalvora::bench::TheStopwatch().noteOnArrived - start)
            .count());
    f.ButtonMouseUp(n);
    n = n == 1 ? 88 : 1;
  }
}
BENCHMARK(PressHandlerToNoteOn)->UseManualTime();

void WholePressHandler(benchmark::State& state) {
  auto& f = TheWindow().form;
  int n = 1;
  for (auto _ : state) {
    f.ButtonMouseDown(n);
    state.PauseTiming();
    f.ButtonMouseUp(n);
    n = n == 1 ? 88 : 1;
    state.ResumeTiming();
  }
}
BENCHMARK(WholePressHandler);

// The same through Qt's event delivery: a press at the button's pixel, hit-tested by Qt.
void WholePressThroughTheWindow(benchmark::State& state) {
  auto& f = TheWindow().form;
  const QPoint first = f.Button(1)->mapTo(&f, f.Button(1)->rect().center());
  const QPoint second = f.Button(88)->mapTo(&f, f.Button(88)->rect().center());
  bool odd = true;
  for (auto _ : state) {
    const QPoint at = odd ? first : second;
    QTest::mousePress(f.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    state.PauseTiming();
    QTest::mouseRelease(f.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    odd = !odd;
    state.ResumeTiming();
  }
}
BENCHMARK(WholePressThroughTheWindow);

// The release of a held press: the note-off of the note that press started. Only the release is
// timed, with the clock's own read inside the figure; the untimed presses cost thousands of times
// more, so the count is fixed rather than grown until the timed part fills the run.
void ReleaseHandler(benchmark::State& state) {
  auto& f = TheWindow().form;
  for (auto _ : state) {
    f.ButtonMouseDown(1);
    const auto start = Clock::now();
    f.ButtonMouseUp(1);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}
BENCHMARK(ReleaseHandler)->UseManualTime()->Iterations(20000);

}  // namespace

KALVORA_QT_BENCHMARK_MAIN()
namespace {
void LabelWrite(benchmark::State& state) {
  auto& f = TheWindow().form;
  bool odd = false;
  for (auto _ : state) {
    f.setProgramLabel(odd ? "1" : "88");
    odd = !odd;
  }
}
BENCHMARK(LabelWrite);
}  // namespace
