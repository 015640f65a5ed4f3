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

namespace {
// Records nothing after start-up: a long session must not grow a log.
class SilentConnection : public kalvora::MidiConnection {
 public:
  void sendShort(std::span<const std::uint8_t>) override {}
  void sendLong(std::span<const std::uint8_t>) override {}
};
class SilentBackend : public kalvora::MidiBackend {
 public:
  std::vector<std::string> portNames() override { return {"Silent device"}; }
  kalvora::OpenResult open(std::size_t) override {
    return {MMSYSERR_NOERROR, std::make_unique<SilentConnection>()};
  }
};
}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  kalvora::InstallModalMessages(kalvora::ProgramTitle(QCoreApplication::applicationFilePath()));
  kalvora::MidiBackends backends;
  backends.push_back(std::make_unique<SilentBackend>());
  kalvora::InstallMidiBackends(std::move(backends));

  TForm1 form(TForm1::ControlsBuilt::kWhileModuleSettles);
  form.FormCreate();
  kalvora::CloseOnTerminationSignals(&form);
  form.show();
  return QApplication::exec();
}
