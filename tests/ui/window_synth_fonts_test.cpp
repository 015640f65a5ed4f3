// The real window on the built-in synth with a damaged SoundFont among the user's own: the font
// is left out without being read, the synth opens and a press sounds, and the buttons say which
// tones it has.
#include <sys/resource.h>

#include <QHelpEvent>
#include <QToolTip>
#include <QtTest/QtTest>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <thread>
#include <vector>

#include "midi/backends/fluidsynth/fluidsynth_backend.h"
#include "play/device_state.h"
#include "support/eventually.h"
#include "support/sound_font_writer.h"
#include "support/temp_folder.h"
#include "ui/drum_page.h"
#include "window_fixture.h"

namespace {

constexpr int kStartKey = 31;  // the key beside "C4"

long PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Whether the raw 16-bit output holds a sample above the noise, waiting up to a few seconds for
// the synth's output thread to write it.
bool SoundsWithin(const std::filesystem::path& output, std::chrono::seconds limit) {
  constexpr int kAudible = 300;
  const auto heard = [&] {
    std::ifstream in(output, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      const auto sample = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                                    static_cast<std::uint8_t>(bytes[i + 1]) << 8);
      if (sample > kAudible || sample < -kAudible) return true;
    }
    return false;
  };
  return kalvora::test::Eventually(
      heard, limit, [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
}

// What the control shows when the pointer rests on it.
QString ToolTipOf(QWidget* control) {
  QToolTip::hideText();
  QHelpEvent rest(QEvent::ToolTip, control->rect().center(),
                  control->mapToGlobal(control->rect().center()));
  QApplication::sendEvent(control, &rest);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

}  // namespace

class WindowSynthFontsTest : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { kalvora::InstallMidiBackends({}); }
  void aDamagedUserFontIsLeftOutAndTheSynthPlays();
};

void WindowSynthFontsTest::aDamagedUserFontIsLeftOutAndTheSynthPlays() {
  if (!kalvora::FindSoundFonts(kalvora::DefaultSoundFontFolders())) QSKIP("no SoundFont installed");
  kalvora::test::TempFolder folder;
  const auto userFonts = folder / "soundfonts";
  std::filesystem::create_directories(userFonts);
  // Well-formed but for its preset data, which claims the rest of a 2 GB sparse file.
  kalvora::test::WriteSoundFontClaiming(userFonts / "damaged.sf2", {{"Damaged", 0, 0}},
                                        kalvora::test::kClaimToTheEnd, 2ULL << 30);
  const auto output = folder / "synth.raw";
  kalvora::FluidSynthOptions options;
  options.userSoundFontFolders = {userFonts};
  options.audioOutputs = {
      {"file", {{"audio.file.name", output.string()}, {"audio.file.type", "raw"}}}};

  kalvora::test::WindowFixture window({}, {}, QByteArray(), false);
  kalvora::MidiBackends backends;
  backends.push_back(std::make_unique<kalvora::FluidSynthBackend>(options));
  kalvora::InstallMidiBackends(std::move(backends));
  const long peakBefore = PeakResidentMegabytes();
  window.form().FormCreate();
  QVERIFY2(MidiOut != kNoMidiOut, "the synth did not open");
  // The synth's own fonts and first samples take some tens of MB; the claim took 2 GB.
  const long grown = PeakResidentMegabytes() - peakBefore;
  QVERIFY2(grown < 200, qPrintable(QString("the start took %1 MB").arg(grown)));
  window.form().ShapeMouseDown(kStartKey);
  QVERIFY2(SoundsWithin(output, std::chrono::seconds(3)), "the press made no sound");
  window.form().ShapeMouseUp(kStartKey);

  // On the synth the tone and set buttons say what it plays: Piano 1 has a preset of its own,
  // the SC-8850 map's UprightPiano (bank 1) plays Piano 1 instead.
  constexpr int kBank1Button = 130;
  QCOMPARE(ToolTipOf(window.form().Button(1)), QString("○"));
  QCOMPARE(ToolTipOf(window.form().Button(kBank1Button)), QString("→ Piano 1"));
  const QString set = ToolTipOf(window.form().TabSheet4->button(1));
  QVERIFY2(set == "○" || set.startsWith("→ "), qPrintable(set));
  window.form().FormClose();
}

QTEST_MAIN(WindowSynthFontsTest)
#include "window_synth_fonts_test.moc"
