#include "ui/drum_page.h"

#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <array>
#include <string_view>

#include "catalogue/caption_view.h"
#include "ui/key_shape.h"
#include "ui/keyboard_layout.h"
#include "ui/press_button.h"
#include "ui/tone_button_grid.h"

namespace kalvora {

namespace {
// The set label stands below the buttons' upper block, which holds every map's sets.
constexpr int kLabelLeft = 16;
constexpr int kLabelTop = 296;
constexpr int kValueLeft = 104;

QString Text(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString SetCaption(const DrumSet& set) {
  return QString::number(set.program) + QStringLiteral(": ") + Text(set.name);
}

QString PitchName(int note) {
  static constexpr std::array<const char*, 12> kNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                      "F#", "G",  "G#", "A",  "A#", "B"};
  return QString::fromLatin1(kNames[static_cast<std::size_t>(note % 12)]) +
         QString::number(note / 12 - 1);
}

std::size_t MostSetsOfAMap() {
  std::size_t most = 0;
  for (int map = 0; map < kToneMapCount; ++map) most = std::max(most, DrumSetsOf(map).size());
  return most;
}
}  // namespace

DrumPage::DrumPage(QWidget* keyboard, std::span<KeyShape* const> keys)
    : keyboard_(keyboard), keys_(keys) {
  const std::size_t count = MostSetsOfAMap();
  for (std::size_t i = 0; i < count; ++i) {
    const int n = static_cast<int>(i) + 1;
    auto* button = new PressButton(this);
    const ControlRect r = ToneButtonRect(n);
    button->setGeometry(r.left, r.top, r.width, r.height);
    connect(button, &PressButton::mouseDown, this, [this, n] { emit setButtonDown(n); });
    connect(button, &PressButton::mouseUp, this, [this, n] { emit setButtonUp(n); });
    buttons_.push_back(button);
  }
  auto* caption = new QLabel(QStringLiteral("ドラムセット="), this);
  caption->move(kLabelLeft, kLabelTop);
  caption->adjustSize();
  setLabel_ = new QLabel(this);
  setLabel_->move(kValueLeft, kLabelTop);
  // As the status line shows the program and bank numbers.
  QPalette palette = setLabel_->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setLabel_->setPalette(palette);
  setLabel_->setAutoFillBackground(true);
}

int DrumPage::programOfButton(int n) const {
  const auto sets = DrumSetsOf(shownMap_);
  const auto i = static_cast<std::size_t>(n - 1);
  return i < sets.size() ? sets[i].program : sets.empty() ? 1 : sets.front().program;
}

void DrumPage::showSets(int map, const DrumSet& set) {
  if (map == shownMap_ && &set == shownSet_) return;
  if (map != shownMap_) {
    const auto sets = DrumSetsOf(map);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
      const bool used = i < sets.size();
      buttons_[i]->setText(used ? ShownOnButton(SetCaption(sets[i])) : QString());
      buttons_[i]->setVisible(used);
    }
    shownMap_ = map;
  }
  if (&set != shownSet_) {
    shownSet_ = &set;
    setLabel_->setText(SetCaption(set));
    setLabel_->adjustSize();
    if (toolTips_) setKeyToolTips(true);
  }
  namesDirty_ = true;
  update();
}

void DrumPage::setKeyToolTips(bool shown) {
  toolTips_ = shown;
  for (int n = 1; n <= kKeyCount; ++n) {
    const int note = KeyOf(n).note;
    const std::string_view name =
        shown && shownSet_ != nullptr ? DrumKeyName(shownSet_->map, shownSet_->program, note)
                                      : std::string_view();
    keys_[static_cast<std::size_t>(n - 1)]->setToolTip(
        name.empty() ? QString()
                     : PitchName(note) + QStringLiteral(" (") + QString::number(note) +
                           QStringLiteral(") ") + Text(name));
  }
}

const std::vector<PlacedName>& DrumPage::placedNames() {
  if (namesDirty_) layOutNames();
  return placed_;
}

void DrumPage::layOutNames() {
  namesDirty_ = false;
  placed_.clear();
  if (shownSet_ == nullptr) return;
  std::vector<NamedKey> keys;
  for (int n = 1; n <= kKeyCount; ++n) {
    const KeyLayout& key = KeyOf(n);
    const QPoint topLeft = mapFrom(keyboard_, QPoint(key.rect.left, key.rect.top));
    keys.push_back({key.note, QRect(topLeft, QSize(key.rect.width, key.rect.height)), key.black,
                    Text(DrumKeyName(shownSet_->map, shownSet_->program, key.note))});
  }
  std::vector<QRect> obstacles;
  for (const QObject* child : children()) {
    const auto* control = qobject_cast<const QWidget*>(child);
    if (control != nullptr && control->isVisibleTo(this)) obstacles.push_back(control->geometry());
  }
  placed_ = LayOutDrumNames(keys, rect(), obstacles, fontMetrics());
}

void DrumPage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  namesDirty_ = true;
}

void DrumPage::paintEvent(QPaintEvent*) {
  if (namesDirty_) layOutNames();
  QPainter painter(this);
  for (const PlacedName& name : placed_) {
    // A black key's name reads as the key does: light on dark.
    painter.fillRect(name.box, name.black ? Qt::black : Qt::white);
    painter.setPen(name.black ? Qt::white : Qt::black);
    painter.drawText(name.box, Qt::AlignCenter, name.text);
  }
}

}  // namespace kalvora
