// What a press and a release cost on the real window (offscreen), on the program page and on the
// drum page: from the press handler to the note-on reaching the device, the whole press with its
// captions, and the release.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QtTest/QtTest>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "app/form1.h"
#include "bench/stopwatch_window.h"
#include "midi/midi_backend.h"
#include "midi/midi_bytes.h"
#include "play/device_state.h"
#include "play/voice_state.h"
#include "ui/drum_page.h"
#include "ui/press_button.h"
#include "ui/search_page.h"

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

// A query typed letter by letter into the search page: each keystroke matches every entry of the
// index, fills the list and asks for the text of every line in view (argument 0), and then draws
// those lines as the next frame does (argument 1). One iteration is one keystroke; the counters
// give the median keystroke and the index's one-time build at the first letter.
void SearchKeystroke(benchmark::State& state) {
  auto& f = TheWindow().form;
  f.PageControl1->setCurrentWidget(f.TabSheet5);
  QLineEdit* field = f.TabSheet5->field();
  QListView* list = f.TabSheet5->list();
  const bool drawn = state.range(0) != 0;
  auto keystroke = [&](QChar letter) {
    const auto start = Clock::now();
    QTest::keyClick(field, letter.toLatin1());
    const QRect view = list->viewport()->rect();
    const int first = list->indexAt(view.topLeft()).row();
    int last = list->indexAt(view.bottomLeft()).row();
    if (last < 0) last = list->model()->rowCount() - 1;
    for (int row = std::max(first, 0); row <= last; ++row) {
      benchmark::DoNotOptimize(list->model()->index(row, 0).data());
    }
    if (drawn) benchmark::DoNotOptimize(list->viewport()->grab());
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  field->clear();
  static const double firstLetter = keystroke('e');  // the index is built at the first query
  const QString query = QStringLiteral("electric piano");
  std::vector<double> times;
  qsizetype at = 0;
  for (auto _ : state) {
    if (at == 0) {
      state.PauseTiming();
      field->clear();
      state.ResumeTiming();
    }
    const double seconds = keystroke(query[at]);
    state.SetIterationTime(seconds);
    times.push_back(seconds);
    at = (at + 1) % query.size();
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times[times.size() / 2] * 1e3;
  state.counters["first_letter_ms"] = firstLetter * 1e3;
  field->clear();
  f.PageControl1->setCurrentWidget(f.TabSheet1);
}
BENCHMARK(SearchKeystroke)->UseManualTime()->Iterations(14 * 50)->Arg(0)->Arg(1);

// Showing a page from the program page and drawing the window: argument 3 the drum page, 4 the
// search page with a query in its field (it searches again as it is shown).
void ShowPage(benchmark::State& state) {
  auto& f = TheWindow().form;
  QWidget* page = f.PageControl1->widget(static_cast<int>(state.range(0)));
  f.TabSheet5->field()->setText(QStringLiteral("piano"));
  for (auto _ : state) {
    f.PageControl1->setCurrentWidget(page);
    benchmark::DoNotOptimize(f.grab());
    state.PauseTiming();
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    state.ResumeTiming();
  }
  f.TabSheet5->field()->clear();
}
BENCHMARK(ShowPage)->Arg(3)->Arg(4);

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
