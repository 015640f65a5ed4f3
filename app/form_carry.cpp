// Carrying the current tone out of the window: its set-up onto the clipboard (Ctrl+C,
// Ctrl+Insert), or into a Standard MIDI File (Ctrl+S). Both write what the next press would send.
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QShortcut>

#include "app/form1.h"
#include "app/form_messages.h"
#include "app/save_path.h"
#include "app/settings/settings_save.h"
#include "carry/midi_file.h"
#include "carry/set_up_text.h"
#include "play/host_services.h"
#include "play/voice_setup.h"
#include "play/voice_state.h"

namespace {
std::vector<std::uint32_t> CurrentSetUp() {
  const kalvora::VoiceSetUp setUp = kalvora::CurrentVoiceSetUp();
  return {setUp.begin(), setUp.end()};
}
}  // namespace

// Named keys rather than the platform's standard ones, which differ between desktops. A text
// field with a selection takes Ctrl+C and Ctrl+Insert first and copies its selection. A piano key
// pressed with Ctrl reaches no control: the shortcut takes it.
void TForm1::buildCarryShortcuts() {
  auto* copy = new QShortcut(this);
  copy->setKeys({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
  connect(copy, &QShortcut::activated, this, [this] { copyToneSetUp(); });
  auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
  connect(save, &QShortcut::activated, this, [this] { saveToneAsMidiFile(); });
}

void TForm1::copyToneSetUp() {
  const std::string text = kalvora::SetUpText(CurrentSetUp());
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void TForm1::saveToneAsMidiFile() {
  const std::vector<std::uint32_t> setUp = CurrentSetUp();
  const std::string bytes = kalvora::StandardMidiFile(setUp, NoteNumber, Velocity);
  const QString folder = saveFolder_.isEmpty() ? QDir::homePath() : saveFolder_;
  const QString suggested =
      QDir(folder).filePath(QString::fromStdString(kalvora::MidiFileName(setUp)));
  const QString chosen = kalvora::AskSavePath(suggested);
  if (chosen.isEmpty()) return;
  saveFolder_ = QFileInfo(chosen).absolutePath();
  const kalvora::FileResult saved =
      kalvora::SaveSettingsFile(QFile::encodeName(chosen).toStdString(), bytes);
  if (!saved) {
    kalvora::ShowMessage(kalvora::form::kMidiFileUnwritable + chosen.toStdString() + "\n" +
                         saved.error);
  }
}
