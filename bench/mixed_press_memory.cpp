// Resident memory of the whole program over a long run of mixed presses with the built-in synth
// open: the real window (off screen), the synth playing on a private PulseAudio (or PipeWire) as
// it plays on a desktop, so that the quiet after the last note ends what still rings below
// hearing and closes the stream as it does for a user. Presses alternate
// on-screen keys with program buttons and bank buttons, and every fourth block of them is played
// on the drum page with its set buttons; the map changes every thousand presses. So the synth
// keeps choosing tones and kits of every map, loading and dropping their samples, while notes
// sound. Prints the resident memory at checkpoints, then once the notes have rung out. The gap
// between presses keeps the synth's thread abreast of the window: with none, its queue
// overflows and note-offs are lost, and the stuck notes hold their samples, which is another
// matter.
//
// Usage: mixed_press_memory [PRESSES [GAP_US]] [--pipewire | --file]
//          (defaults: 200000 presses, 1000 µs apart, PulseAudio; --file plays into /dev/null
//          through FluidSynth's file driver, which no quiet closes: what rings stays)
//        KALVORA_BENCH_NO_DRUMS=1 mixed_press_memory ...   the same without the drum page
#include <malloc.h>

#include <QApplication>
#include <QRadioButton>
#include <QTabWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "bench/process_status.h"
#include "bench/silent_synth.h"
#include "play/device_state.h"
#include "support/pulse_test_server.h"
#include "support/temp_folder.h"
#include "ui/drum_page.h"

namespace {

constexpr int kKeys = 60;
constexpr int kPrograms = 128;
constexpr int kFirstBankButton = 129;
constexpr int kMaps = 5;
constexpr int kDrumSetsAtMost = 37;
constexpr long kPressesPerBlock = 200;
constexpr long kPressesPerMap = 1000;

bool IsCheckpoint(long press) {
  return press == 1000 || press == 4000 || press == 20000 || press % 50000 == 0;
}

enum class Control { kKey, kButton, kDrumSet };

// One press and release of key, button or drum set button n, each handled as the window handles
// it.
void Press(TForm1& form, Control control, int n) {
  switch (control) {
    case Control::kKey:
      form.ShapeMouseDown(n);
      QApplication::processEvents();
      form.ShapeMouseUp(n);
      break;
    case Control::kButton:
      form.ButtonMouseDown(n);
      QApplication::processEvents();
      form.ButtonMouseUp(n);
      break;
    case Control::kDrumSet:
      form.DrumButtonMouseDown(n);
      QApplication::processEvents();
      form.DrumButtonMouseUp(n);
      break;
  }
  QApplication::processEvents();
}

// KALVORA_BENCH_NO_DRUMS=1 leaves the drum page out, to tell what the kits take.
bool DrumPagePlayed() {
  static const bool played = std::getenv("KALVORA_BENCH_NO_DRUMS") == nullptr;
  return played;
}

// What the resident set is made of: the heap and other private memory, and mapped files.
void PrintMemory(const char* when) {
  const struct mallinfo2 heap = mallinfo2();
  std::printf("%s: anonymous %ld kB (heap in use %zu kB), files %ld kB\n", when,
              kalvora::bench::StatusKilobytes("RssAnon"), (heap.uordblks + heap.hblkhd) / 1024,
              kalvora::bench::StatusKilobytes("RssFile"));
}

void ShowPage(TForm1& form, QWidget* page) {
  if (form.PageControl1->currentWidget() == page) return;
  form.PageControl1->setCurrentWidget(page);
  form.PageControl1Change();
}

// Press number press of the run: the map and page it wants first, then the control.
void PressInTurn(TForm1& form, long press) {
  if (press % kPressesPerMap == 1) {
    const int map = static_cast<int>(press / kPressesPerMap % kMaps) + 1;
    form.RadioButton(map)->setChecked(true);
    form.RadioButtonClick(map);
  }
  const bool drums = DrumPagePlayed() && press / kPressesPerBlock % 4 == 3;
  ShowPage(form, drums ? static_cast<QWidget*>(form.TabSheet4) : form.TabSheet1);
  const long round = press / 2;
  if (press % 2 == 1) {
    Press(form, Control::kKey, static_cast<int>(round % kKeys) + 1);
  } else if (drums) {
    Press(form, Control::kDrumSet, static_cast<int>(round % kDrumSetsAtMost) + 1);
  } else {
    // Program and bank buttons in turn, each going round its 128.
    const bool bank = round % 2 == 1;
    const int n = static_cast<int>(round / 2 % kPrograms) + 1;
    Press(form, Control::kButton, bank ? kFirstBankButton - 1 + n : n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> numbers;
  auto serverKind = kalvora::test::PulseTestServer::Kind::kPulseAudio;
  bool file = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pipewire") {
      serverKind = kalvora::test::PulseTestServer::Kind::kPipeWire;
    } else if (arg == "--file") {
      file = true;
    } else {
      numbers.push_back(std::atol(argv[i]));
    }
  }
  const long presses = numbers.size() > 0 ? numbers[0] : 200000;
  const std::chrono::microseconds gap(numbers.size() > 1 ? numbers[1] : 1000);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kalvora::test::PulseTestServer server(serverKind);
  if (file) {
    kalvora::bench::InstallSilentSynth();
  } else if (server.start()) {
    kalvora::bench::InstallSynth();
  } else {
    std::printf("private sound server did not start:\n%s\n", server.log().c_str());
    return 1;
  }

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
  PrintMemory("start");
  std::printf("presses  VmRSS kB  (start %ld kB)\n", kalvora::bench::StatusKilobytes("VmRSS"));
  for (long press = 1; press <= presses; ++press) {
    PressInTurn(*form, press);
    std::this_thread::sleep_for(gap);
    if (IsCheckpoint(press)) {
      std::printf("%7ld  %ld\n", press, kalvora::bench::StatusKilobytes("VmRSS"));
      std::fflush(stdout);
    }
  }
  // Once the last notes have rung out and the stream has stopped, one more press lets go of what
  // they held. A long tone may ring on above hearing for seconds.
  if (file) {
    std::this_thread::sleep_for(std::chrono::seconds(6));
  } else {
    const auto quietFrom = std::chrono::steady_clock::now();
    constexpr auto kStreamStopLimit = std::chrono::seconds(60);
    while (server.uncorkedPlaybackStreams() != 0 &&
           std::chrono::steady_clock::now() - quietFrom < kStreamStopLimit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::printf("the stream stopped after %lld ms of quiet\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - quietFrom)
                                           .count()));
  }
  Press(*form, Control::kButton, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::printf("after the quiet and one more press: %ld\n",
              kalvora::bench::StatusKilobytes("VmRSS"));
  PrintMemory("after the quiet");
  std::printf("heap free but held %zu kB\n", mallinfo2().fordblks / 1024);
  std::printf("%s\n", kalvora::bench::StatusLine("VmHWM").c_str());
  form->FormClose();
  form.reset();  // before the application object
  return 0;
}
