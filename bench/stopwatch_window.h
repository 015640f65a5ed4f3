// The real window (offscreen) on one silent device that notes the moment each note-on is handed
// to it, for timing what reaches the device from the window's presses or from MIDI input.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QtTest/QtTest>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/form1.h"
#include "midi/midi_backend.h"
#include "midi/midi_bytes.h"
#include "support/one_port_backend.h"
#include "support/temp_folder.h"

namespace kalvora::bench {

using Clock = std::chrono::steady_clock;

struct Stopwatch {
  Clock::time_point noteOnArrived;
  std::uint8_t lastNote = 0;
  std::function<void()> onNoteOn;  // runs at each note-on, after it is timed
};

inline Stopwatch& TheStopwatch() {
  static Stopwatch stopwatch;
  return stopwatch;
}

// Times each note-on as the device is handed it.
inline void StampNoteOn(std::span<const std::uint8_t> bytes) {
  if ((bytes[0] & kStatusKindMask) != kNoteOn) return;
  Stopwatch& stopwatch = TheStopwatch();
  stopwatch.noteOnArrived = Clock::now();
  stopwatch.lastNote = bytes[1];
  if (stopwatch.onNoteOn) stopwatch.onNoteOn();
}

struct StopwatchWindow {
  StopwatchWindow() {
    MidiBackends backends;
    backends.push_back(std::make_unique<test::OnePortBackend>(
        test::OnePort{.name = "Stopwatch", .onShort = &StampNoteOn}));
    InstallMidiBackends(std::move(backends));
    form.setExecutablePath((dir / "kalvora").string());
    form.FormCreate();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) qFatal("the window was never shown");
  }
  test::TempFolder dir;
  TForm1 form;
};

// The benchmark program's one window, made at its first use. main() closes it while the
// application object still exists: a static window would outlive it and crash at exit.
inline std::unique_ptr<StopwatchWindow>& WindowSlot() {
  static std::unique_ptr<StopwatchWindow> window;
  return window;
}

inline StopwatchWindow& TheWindow() {
  auto& window = WindowSlot();
  if (!window) window = std::make_unique<StopwatchWindow>();
  return *window;
}

}  // namespace kalvora::bench

// main() for a benchmark of the window: Qt offscreen, then Google Benchmark.
#define KALVORA_QT_BENCHMARK_MAIN()          \
  int main(int argc, char** argv) {          \
    qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication application(argc, argv);    \
    benchmark::Initialize(&argc, argv);      \
    benchmark::RunSpecifiedBenchmarks();     \
    benchmark::Shutdown();                   \
    kalvora::bench::WindowSlot().reset();    \
    return 0;                                \
  }
