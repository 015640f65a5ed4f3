#include <QApplication>
#include <algorithm>
#include <chrono>
#include <iostream>

#include "app/command_line.h"
#include "app/form1.h"
#include "app/message_box.h"
#include "app/program_title.h"
#include "app/system_backends.h"
#include "app/termination_signals.h"
#include "midi/input/input_inbox.h"
#include "midi/midi_backend.h"
#include "midi/midi_out.h"

int main(int argc, char* argv[]) {
  // Before anything that needs a display or a sound server.
  if (const auto status = kalvora::RunCommandLineOption(argc, argv, std::cout, std::cerr))
    return *status;
  // First, so that reaching a JACK server overlaps Qt's own start.
  kalvora::MidiInputPorts inputs =
      kalvora::StartSystemMidiInputs(kalvora::InstallSystemMidiBackends());
  QApplication application(argc, argv);
  // Lets a Wayland desktop match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(KALVORA_APP_ID));
  kalvora::InstallModalMessages(kalvora::ProgramTitle(QCoreApplication::applicationFilePath()));

  TForm1 form(TForm1::ControlsBuilt::kWhileModuleSettles);
  form.FormCreate();
  kalvora::CloseOnTerminationSignals(&form);
  form.show();
  const int status = QApplication::exec();
  // The window has gone; what is left may take its server's time, within one limit in all.
  const auto exitBy = std::chrono::steady_clock::now() + kalvora::kClosedDevicesExitLimit;
  const auto left = [exitBy] {
    return std::chrono::ceil<std::chrono::milliseconds>(
        std::max(exitBy - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration{}));
  };
  kalvora::StopMidiInputs(inputs, std::min(kalvora::kInputStopLimit, left()));
  // The backends go now, each waiting a bounded time on its server, rather than among the
  // static objects at exit, where a JACK client still closing would race libjack's own teardown.
  kalvora::InstallMidiBackends({});
  // A stopped server may yet take the note-offs of the device the window closed.
  kalvora::WaitForClosedDevices(left());
  return status;
}
