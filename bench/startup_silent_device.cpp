// The program exactly as built, but with one device that opens at once and swallows what it is
// sent: start-up timed without any real device's own cost (bench/startup.sh measures the real
// devices). Not a Google Benchmark: bench/startup.sh times it with startup_probe.
#include <QApplication>
#include <memory>

#include "app/form1.h"
#include "app/message_box.h"
#include "app/program_title.h"
#include "app/termination_signals.h"
#include "midi/midi_backend.h"
#include "support/one_port_backend.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  kalvora::InstallModalMessages(kalvora::ProgramTitle(QCoreApplication::applicationFilePath()));
  kalvora::MidiBackends backends;
  // Records nothing after start-up: a long session must not grow a log.
  backends.push_back(std::make_unique<kalvora::test::OnePortBackend>(
      kalvora::test::OnePort{.name = "Silent device"}));
  kalvora::InstallMidiBackends(std::move(backends));

  TForm1 form(TForm1::ControlsBuilt::kWhileModuleSettles);
  form.FormCreate();
  kalvora::CloseOnTerminationSignals(&form);
  form.show();
  return QApplication::exec();
}
