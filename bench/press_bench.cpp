// What a press and a release cost on the real window (offscreen): from the press handler to the
// note-on reaching the device, the whole press with its 256 captions, and the release.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QtTest/QtTest>
#include <chrono>
#include <memory>

#include "app/form1.h"
#include "midi/device_state.h"
#include "midi/midi_backend.h"
#include "midi/midi_bytes.h"
#include "midi/voice_state.h"
#include "ui/press_button.h"

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point noteOnArrived;

// Notes the moment the note-on is handed over; drops everything else.
class StopwatchConnection : public kalvora::MidiConnection {
 public:
  void sendShort(std::span<const std::uint8_t> bytes) override {
    if ((bytes[0] & kalvora::kStatusKindMask) == kalvora::kNoteOn) noteOnArrived = Clock::now();
  }
  void sendLong(std::span<const std::uint8_t>) override {}
};

class StopwatchBackend : public kalvora::MidiBackend {
 public:
  std::vector<std::string> portNames() override { return {"Stopwatch"}; }
  kalvora::OpenResult open(std::size_t) override {
    return {MMSYSERR_NOERROR, std::make_unique<StopwatchConnection>()};
  }
};

struct Window {
  Window() {
    kalvora::MidiBackends backends;
    backends.push_back(std::make_unique<StopwatchBackend>());
    kalvora::InstallMidiBackends(std::move(backends));
    form.SetExecutablePath(dir.filePath("kalvora").toStdString());
    form.FormCreate();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) qFatal("the window was never shown");
  }
  QTemporaryDir dir;
  TForm1 form;
};

Window& window() {
  static Window w;
  return w;
}

// Alternating between two programs makes every press rewrite the bank page's captions.
void PressHandlerToNoteOn(benchmark::State& state) {
  auto& f = window().form;
  int n = 1;
  for (auto _ : state) {
    const auto start = Clock::now();
    f.ButtonMouseDown(n);
    state.SetIterationTime(std::chrono::duration<double>(noteOnArrived - start).count());
    f.ButtonMouseUp(n);
    n = n == 1 ? 88 : 1;
  }
}
BENCHMARK(PressHandlerToNoteOn)->UseManualTime();

void WholePressHandler(benchmark::State& state) {
  auto& f = window().form;
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
  auto& f = window().form;
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

void ReleaseHandler(benchmark::State& state) {
  auto& f = window().form;
  for (auto _ : state) f.ButtonMouseUp(1);
}
BENCHMARK(ReleaseHandler);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
namespace {
void LabelWrite(benchmark::State& state) {
  auto& f = window().form;
  bool odd = false;
  for (auto _ : state) {
    f.SetProgramLabel(odd ? "1" : "88");
    odd = !odd;
  }
}
BENCHMARK(LabelWrite);
}  // namespace
