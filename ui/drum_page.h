// The drum page: a button for each drum set of the current map, captioned and placed as the
// program page's buttons are, a label with the set a press plays, and that set's instrument names
// beside the keys of the on-screen keyboard, which also name them in their tooltips while the page
// is shown.
#pragma once

#include <QRegion>
#include <QStaticText>
#include <QString>
#include <QWidget>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "catalogue/drum_sets.h"
#include "ui/drum_name_layout.h"

class QLabel;

namespace kalvora {

class KeyShape;
class PressButton;

// A key as the drum page names it: its pitch and its note number, "C2 (36)".
QString KeyNoteText(int note);

class DrumPage : public QWidget {
  Q_OBJECT
 public:
  // keyboard is the widget the keys stand in (they are laid out by KeyOf); keys are Shape1..60.
  // setCaption names the chosen set's label (the window's text).
  DrumPage(QWidget* keyboard, std::span<KeyShape* const> keys, std::string_view setCaption);

  // The sets of map on the buttons and set as the one played; writes only what changed.
  void showSets(int map, const DrumSet& set);
  // Whether the keys name their instruments in their tooltips (while the page is shown).
  void setKeyToolTips(bool shown);
  // What key n (Shape1..60) says in its tooltip: its note and its instrument in the set shown;
  // nothing for a silent key, or while the page is not shown.
  QString keyToolTip(int n) const;

  // The program of the set on button n (1..), as its caption shows it.
  int programOfButton(int n) const;
  // The map whose sets the buttons show; -1 before the first.
  int shownMap() const { return shownMap_; }
  int buttonCount() const { return static_cast<int>(buttons_.size()); }
  PressButton* button(int n) const { return buttons_.at(static_cast<std::size_t>(n - 1)); }
  QLabel* setLabel() const { return setLabel_; }
  // The names as they are drawn, in the page's coordinates (the screenshot test reads them).
  const std::vector<PlacedName>& placedNames();

 signals:
  void setButtonDown(int n, Qt::MouseButton mouse);
  void setButtonUp(int n, Qt::MouseButton mouse);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void layOutNames();

  QWidget* keyboard_;
  std::span<KeyShape* const> keys_;
  std::vector<PressButton*> buttons_;
  QLabel* setLabel_ = nullptr;
  int shownMap_ = -1;
  const DrumSet* shownSet_ = nullptr;
  bool toolTips_ = false;
  bool watchingKeys_ = false;
  bool namesDirty_ = true;
  // Laid out once per set of the shown map, with its text ready to draw: choosing a set again
  // costs no layout.
  struct Drawn {
    std::vector<PlacedName> names;
    std::vector<QStaticText> texts;
    QRegion region;  // what the names cover
  };
  std::map<const DrumSet*, Drawn> drawn_;
  const Drawn* shownNames_ = nullptr;
};

}  // namespace kalvora
