// The drum page: a button for each drum set of the current map, captioned and placed as the
// program page's buttons are, a label with the set a press plays, and that set's instrument names
// beside the keys of the on-screen keyboard, which also name them in their tooltips while the page
// is shown.
#pragma once

#include <QString>
#include <QWidget>
#include <span>
#include <vector>

#include "catalogue/drum_sets.h"
#include "ui/drum_name_layout.h"

class QLabel;

namespace kalvora {

class KeyShape;
class PressButton;

class DrumPage : public QWidget {
  Q_OBJECT
 public:
  // keyboard is the widget the keys stand in (they are laid out by KeyOf); keys are Shape1..60.
  DrumPage(QWidget* keyboard, std::span<KeyShape* const> keys);

  // The sets of map on the buttons and set as the one played; writes only what changed.
  void showSets(int map, const DrumSet& set);
  // Whether the keys name their instruments in their tooltips (while the page is shown).
  void setKeyToolTips(bool shown);

  // The program of the set on button n (1..), as its caption shows it.
  int programOfButton(int n) const;
  PressButton* button(int n) const { return buttons_.at(static_cast<std::size_t>(n - 1)); }
  QLabel* setLabel() const { return setLabel_; }
  // The names as they are drawn, in the page's coordinates (the screenshot test reads them).
  const std::vector<PlacedName>& placedNames();

 signals:
  void setButtonDown(int n);
  void setButtonUp(int n);

 protected:
  void paintEvent(QPaintEvent* event) override;
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
  bool namesDirty_ = true;
  std::vector<PlacedName> placed_;
};

}  // namespace kalvora
