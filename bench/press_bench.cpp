// What a press and a release cost on the real window (offscreen), on the program page and on the
// drum page: from the press handler to the note-on reaching the device, the whole press with its
// captions, and the release.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QtTest/QtTest>
#include <chrono>
#include <memory>

#include "app/form1.h"
#include "bench/stopwatch_window.h"
#include "midi/midi_backend.h"
#include "midi/midi_bytes.h"
#include "play/device_state.h"
#include "play/voice_state.h"
#include "ui/drum_page.h"
#include "ui/press_button.h"

namespace {

using kalvora::bench::Clock;

using kalvora::bench::TheWindow;

// A press on the program page (argument 0) alternates between two programs, which makes every
// press rewrite the bank page's captions; on the drum page between two drum sets (argument 1),
// which makes every press rewrite the set label and draw the names beside the keys anew, or on
// one set again and again (argument 2), as while keys are played.
struct PressedPage {
  explicit PressedPage(const benchmark::State& state)
      : drums(state.range(0) != 0), setChanges(state.range(0) == 1) {
    auto& f = TheWindow().form;
    f.PageControl1->setCurrentWidget(drums ? static_cast<QWidget*>(f.TabSheet4) : f.TabSheet1);
  }
  ~PressedPage() { TheWindow().form.PageControl1->setCurrentWidget(TheWindow().form.TabSheet1); }
  int first() const { return 1; }
  int second() const { return drums ? (setChanges ? 20 : 1) : 88; }
  void down(int n) const {
    auto& f = TheWindow().form;
    drums ? f.DrumButtonMouseDown(n) : f.ButtonMouseDown(n);
  }
  void up(int n) const {
    auto& f = TheWindow().form;
    drums ? f.DrumButtonMouseUp(n) : f.ButtonMouseUp(n);
  }
  QWidget* button(int n) const {
    return drums ? static_cast<QWidget*>(TheWindow().form.TabSheet4->button(n))
                 : TheWindow().form.Button(n);
  }
  bool drums;
  bool setChanges;
};

void PressHandlerToNoteOn(benchmark::State& state) {
  const PressedPage page(state);
  int n = page.first();
  for (auto _ : state) {
    const auto start = Clock::now();
    page.down(n);
    state.SetIterationTime(
        std::chrono::duration<double>(kalvora::bench::TheStopwatch().noteOnArrived - start)
            .count());
    page.up(n);
    n = n == page.first() ? page.second() : page.first();
  }
}
BENCHMARK(PressHandlerToNoteOn)->UseManualTime()->DenseRange(0, 2);

void WholePressHandler(benchmark::State& state) {
  const PressedPage page(state);
  int n = page.first();
  for (auto _ : state) {
    page.down(n);
    state.PauseTiming();
    page.up(n);
    n = n == page.first() ? page.second() : page.first();
    state.ResumeTiming();
  }
}
BENCHMARK(WholePressHandler)->DenseRange(0, 2);

// The same through Qt's event delivery: a press at the button's pixel, hit-tested by Qt.
void WholePressThroughTheWindow(benchmark::State& state) {
  const PressedPage page(state);
  auto& f = TheWindow().form;
  auto pixel = [&](int n) { return page.button(n)->mapTo(&f, page.button(n)->rect().center()); };
  const QPoint first = pixel(page.first());
  const QPoint second = pixel(page.second());
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
BENCHMARK(WholePressThroughTheWindow)->DenseRange(0, 2);

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
