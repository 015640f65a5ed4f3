// The one main window: a page control with the program, bank, effect and drum-set pages on the
// left, the on-screen keyboard on the right, and the status line along the bottom.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/synth_marks.h"
#include "play/form_view.h"
#include "play/note_player.h"
#include "play/voice_controls.h"
#include "ui/held_notes.h"
#include "ui/keyboard_layout.h"
#include "ui/tone_button_grid.h"

class QGroupBox;
class QLabel;
class QRadioButton;
class QScrollArea;
class QScrollBar;
class QTabWidget;

#include "app/settings/settings_file.h"

namespace kalvora {
class ComputerKeyboard;
class DrumPage;
class HeldPressWatch;
class KeyShape;
class PointerRest;
class PressButton;
class SearchPage;
}  // namespace kalvora

class TForm1 : public QMainWindow, public kalvora::FormView {
  Q_OBJECT
 public:
  static constexpr int kButtons = kalvora::kSwitchButton;
  static constexpr int kShapes = kalvora::kKeyCount;
  static constexpr int kLabels = 23;  // Label1..12 and Label14..23; Label13 does not exist
  static constexpr int kRadioButtons = kalvora::kMapRadioButtons;
  static constexpr int kScrollBars = kalvora::kEffectScrollBars;
  // The client area's size at construction, and the stored frame's when there is none.
  static constexpr int kStartWidth = 831;
  static constexpr int kStartHeight = 664;
  // Where the frame stands when the settings file has no place for it.
  static constexpr int kStartTop = 159;
  static constexpr int kStartLeft = 193;

  // When the controls are made: at construction, or in FormCreate while the sound module settles
  // after its reset, a wait in which the start-up has nothing else to do.
  enum class ControlsBuilt { kAtConstruction, kWhileModuleSettles };

  explicit TForm1(ControlsBuilt when = ControlsBuilt::kAtConstruction, QWidget* parent = nullptr);
  ~TForm1() override;

  // Controls, by the number in their name.
  kalvora::PressButton* Button(int n) const { return buttons_.at(n - 1); }
  kalvora::KeyShape* Shape(int n) const { return shapes_.at(n - 1); }
  QLabel* Label(int n) const { return labels_.at(n - 1); }
  QRadioButton* RadioButton(int n) const { return radioButtons_.at(n - 1); }
  QScrollBar* ScrollBar(int n) const { return scrollBars_.at(n - 1); }
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  kalvora::DrumPage* TabSheet4 = nullptr;    // the drum sets
  kalvora::SearchPage* TabSheet5 = nullptr;  // the search by name
  QGroupBox* RadioGroup1 = nullptr;
  // The area in which the window-level controls stand; it scrolls when the window is smaller.
  QWidget* clientArea() const { return clientArea_; }
  QScrollArea* scroller() const { return scroller_; }

  // Event handlers.
  void FormCreate();
  void FormClose();
  // Each press by a mouse button plays, and the release of that button stops the note that
  // press started.
  void ButtonMouseDown(int n, Qt::MouseButton button = Qt::LeftButton);  // Button1..256
  void ButtonMouseUp(int n, Qt::MouseButton button = Qt::LeftButton);    // Button1..256
  void Button257MouseDown();
  void Button257MouseUp();
  void ShapeMouseDown(int n, Qt::MouseButton button = Qt::LeftButton);  // Shape1..60: keys
  void ShapeMouseUp(int n, Qt::MouseButton button = Qt::LeftButton);    // Shape1..60
  // A piano key of the computer keyboard: plays its note; its release stops that note.
  kalvora::HeldNote FormKeyDown(int note);
  void FormKeyUp(kalvora::HeldNote note);
  void DrumButtonMouseDown(int n, Qt::MouseButton button = Qt::LeftButton);  // drum set buttons
  void DrumButtonMouseUp(int n, Qt::MouseButton button = Qt::LeftButton);    // in program order
  // A line of the search page held by a mouse button, or by Space or Return: plays what the
  // line names; the release stops that note.
  void SearchLineMouseDown(int row, Qt::MouseButton button = Qt::LeftButton);
  void SearchLineMouseUp(Qt::MouseButton button = Qt::LeftButton);
  void SearchLineKeyDown(int row, int key);
  void SearchLineKeyUp(int key);
  void PageControl1Change();     // a page is shown: the drum page plays the rhythm part
  void ScrollBarChange(int n);   // ScrollBar1..5: effect levels
  void RadioButtonClick(int n);  // RadioButton1..5: tone map
  // Ctrl+C, Ctrl+Insert: the current tone's set-up onto the clipboard as text.
  void copyToneSetUp();
  // Ctrl+S: the current tone as a Standard MIDI File, where the save dialog says.
  void saveToneAsMidiFile();

  // The window's outer frame (what the settings file keeps), whatever the window manager adds.
  void setOuterGeometry(const QRect& frame);
  QRect outerGeometry() const;

  // Where the settings file lives; set before FormCreate (tests use a temporary folder).
  void setExecutablePath(std::string path) { executablePath_ = std::move(path); }
  // Where the settings go when the executable's folder takes no file (default: the user's
  // configuration folder).
  void setSettingsFallbackFolder(std::string folder) {
    settingsFolderFallback_ = std::move(folder);
  }
  // Tests make the save fail with this.
  void setSettingsWriter(kalvora::FileWriter writer) { settingsWriter_ = std::move(writer); }

  // kalvora::FormView
  void setButtonCaption(int button, std::string_view caption) override;
  void setProgramLabel(std::string_view text) override;
  void setBankLabel(std::string_view text) override;
  void setDeviceLabel(std::string_view text) override;
  void showDrumSets(int map, const kalvora::DrumSet& set) override;

  // Labels fit their text: every run-time caption goes through here.
  void setLabelText(int n, const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The tone and drum-set buttons' tooltips: what the built-in synth plays for them.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void completeWindow();
  void prepareForShowing();
  void buildWindowControls();
  void buildTonePages();
  void buildEffectPage();
  void buildDrumPage();
  void buildSearchPage();
  void buildKeyboard();
  void buildStatusLine();
  void buildCarryShortcuts();
  void reapplyOuterGeometryOnceFramed();
  void stopMouseNote(Qt::MouseButton button);
  std::optional<kalvora::HeldNote> playSearchLine(int row);
  QString synthToolTip(const QObject* control);
  // The pointer rests on a tone or drum-set button: the device may load what it plays.
  void pointerRested(const QWidget* control);
  QLabel* makeLabel(int n, QWidget* parent, int left, int top, const char* text);

  std::array<kalvora::PressButton*, kButtons> buttons_{};
  std::array<kalvora::KeyShape*, kShapes> shapes_{};
  std::array<QLabel*, kLabels> labels_{};
  std::array<QRadioButton*, kRadioButtons> radioButtons_{};
  std::array<QScrollBar*, kScrollBars> scrollBars_{};
  kalvora::ComputerKeyboard* computerKeyboard_ = nullptr;
  kalvora::HeldPressWatch* heldPressWatch_ = nullptr;
  kalvora::PointerRest* pointerRest_ = nullptr;
  // The note each mouse button's press started: its release stops that one, even when a computer
  // key or another button has played another note in between.
  kalvora::HeldNotes<Qt::MouseButton> mouseNotes_;
  // The notes Space or Return started on a search line, by key.
  kalvora::HeldNotes<int> searchKeyNotes_;
  kalvora::SynthMarks synthMarks_;
  QScrollArea* scroller_ = nullptr;
  QWidget* clientArea_ = nullptr;

  QString saveFolder_;  // where the last MIDI file went
  std::string executablePath_;
  std::string settingsFolderFallback_;
  kalvora::FileWriter settingsWriter_;
  std::unique_ptr<kalvora::SettingsFile> Settings;
  bool closed_ = false;
  QRect requestedFrame_;
  QPoint storedPlace_;  // Left and Top as the settings file gave them
  bool frameSettled_ = false;
};

// The main window, set as soon as its construction begins.
extern TForm1* Form1;
