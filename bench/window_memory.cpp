// Peak memory of the whole program with the built-in synth open: the real window (off screen),
// the synth playing into /dev/null (for machines without a sound device), and a run of presses
// on programs and banks so that their samples load. Prints VmHWM.
#include <QApplication>
#include <cstdio>

#include "app/form1.h"
#include "bench/process_status.h"
#include "bench/silent_synth.h"
#include "play/device_state.h"
#include "support/temp_folder.h"

using kalvora::bench::StatusLine;

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kalvora::bench::InstallSilentSynth();

  kalvora::test::TempFolder folder;
  TForm1 form;
  form.setExecutablePath((folder / "kalvora").string());
  form.FormCreate();
  form.show();
  QApplication::processEvents();
  if (MidiOut == kNoMidiOut) {
    std::puts("the synth did not open");
    return 1;
  }
  // Sixteen programs, each in bank 0 and in its bank-8 variation.
  for (int program = 1; program <= 128; program += 8) {
    for (int bankButton : {129, 137}) {
      form.ButtonMouseDown(bankButton);
      form.ButtonMouseUp(bankButton);
      form.ButtonMouseDown(program);
      QApplication::processEvents();
      form.ButtonMouseUp(program);
    }
  }
  std::printf("%s\n%s\n", StatusLine("VmHWM").c_str(), StatusLine("VmRSS").c_str());
  return 0;
}
