// Resident memory of the whole program over a long run of presses that alternate on-screen keys
// and program buttons, with the built-in synth open: the real window (off screen), the synth
// playing into /dev/null. Every other press changes the program, so the synth keeps choosing
// tones and loading and dropping their samples. Prints the resident memory at checkpoints, then
// once the notes have rung out. The gap between presses keeps the synth's thread abreast of the
// window: with none, its queue overflows and note-offs are lost, and the stuck notes hold
// their samples, which is another matter.
//
// Usage: mixed_press_memory [PRESSES [GAP_US]]   (defaults: 200000 presses, 1000 µs apart)
#include <malloc.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/form1.h"
#include "bench/process_status.h"
#include "bench/silent_synth.h"
#include "play/device_state.h"
#include "support/temp_folder.h"

namespace {

constexpr int kKeys = 60;
constexpr int kPrograms = 128;

bool IsCheckpoint(long press) {
  return press == 1000 || press == 4000 || press == 20000 || press % 50000 == 0;
}

// One press and release of program button or key n, each handled as the window handles it.
void Press(TForm1& form, bool button, int n) {
  if (button) {
    form.ButtonMouseDown(n);
    QApplication::processEvents();
    form.ButtonMouseUp(n);
  } else {
    form.ShapeMouseDown(n);
    QApplication::processEvents();
    form.ShapeMouseUp(n);
  }
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  const long presses = argc > 1 ? std::atol(argv[1]) : 200000;
  const std::chrono::microseconds gap(argc > 2 ? std::atol(argv[2]) : 1000);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kalvora::bench::InstallSilentSynth();

  kalvora::test::TempFolder folder;
  auto form = std::make_unique<TForm1>();
  form->setExecutablePath((folder / "kalvora").string());
  form->FormCreate();
  form->show();
  QApplication::processEvents();
  if (MidiOut == kNoMidiOut) {
    std::puts("the synth did not open");
    return 1;
  }
  std::printf("presses  VmRSS kB  (start %ld kB)\n", kalvora::bench::StatusKilobytes("VmRSS"));
  for (long press = 1; press <= presses; ++press) {
    const bool button = press % 2 == 0;
    const long round = press / 2;
    Press(*form, button, static_cast<int>(round % (button ? kPrograms : kKeys)) + 1);
    std::this_thread::sleep_for(gap);
    if (IsCheckpoint(press)) {
      std::printf("%7ld  %ld\n", press, kalvora::bench::StatusKilobytes("VmRSS"));
      std::fflush(stdout);
    }
  }
  // Once the last notes have rung out, one more press lets go of what they held.
  std::this_thread::sleep_for(std::chrono::seconds(6));
  Press(*form, true, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::printf("after 6 s quiet and one more press: %ld\n",
              kalvora::bench::StatusKilobytes("VmRSS"));
  const struct mallinfo2 heap = mallinfo2();
  std::printf("heap in use %zu kB, free but held %zu kB\n", (heap.uordblks + heap.hblkhd) / 1024,
              heap.fordblks / 1024);
  std::printf("%s\n", kalvora::bench::StatusLine("VmHWM").c_str());
  form->FormClose();
  form.reset();  // before the application object
  return 0;
}
