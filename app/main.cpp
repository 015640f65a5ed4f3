#include <QApplication>

#include "app/font_warm_up.h"
#include "app/form1.h"
#include "app/message_box.h"
#include "app/program_title.h"
#include "app/system_backends.h"
#include "app/termination_signals.h"

int main(int argc, char* argv[]) {
  // First, so that reaching a JACK server and reading the font configuration overlap Qt's own
  // start.
  kalvora::InstallSystemMidiBackends();
  kalvora::FontConfigWarmUp fonts;
  QApplication application(argc, argv);
  kalvora::InstallModalMessages(kalvora::ProgramTitle(QCoreApplication::applicationFilePath()));
  fonts.finish();

  TForm1 form;
  form.FormCreate();
  kalvora::CloseOnTerminationSignals(&form);
  form.show();
  return QApplication::exec();
}
