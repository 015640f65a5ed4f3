#include "ui/drum_page.h"

#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QToolTip>
#include <array>
#include <string_view>

#include "catalogue/caption_view.h"
#include "ui/key_shape.h"
#include "ui/keyboard_layout.h"
#include "ui/press_button.h"
#include "ui/tone_button_grid.h"
#include "ui/utf8_text.h"

namespace kalvora {

namespace {
// The set label stands below the buttons' upper block, which holds every map's sets.
constexpr int kLabelLeft = 16;
constexpr int kLabelTop = 296;
constexpr int kValueLeft = 104;

QString SetCaption(const DrumSet& set) {
  return QString::number(set.program) + QStringLiteral(": ") + Text(set.name);
}

std::size_t MostSetsOfAMap() {
  std::size_t most = 0;
  for (int map = 0; map < kToneMapCount; ++map) most = std::max(most, DrumSetsOf(map).size());
  return most;
}
}  // namespace

QString KeyNoteText(int note) {
  static constexpr std::array<const char*, 12> kNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                      "F#", "G",  "G#", "A",  "A#", "B"};
  return QString::fromLatin1(kNames[static_cast<std::size_t>(note % 12)]) +
         QString::number(note / 12 - 1) + QStringLiteral(" (") + QString::number(note) +
         QStringLiteral(")");
}

DrumPage::DrumPage(QWidget* keyboard, std::span<KeyShape* const> keys, std::string_view setCaption)
    : keyboard_(keyboard), keys_(keys) {
  const std::size_t count = MostSetsOfAMap();
  for (std::size_t i = 0; i < count; ++i) {
    const int n = static_cast<int>(i) + 1;
    auto* button = new PressButton(this);
    const ControlRect r = ToneButtonRect(n);
    button->setGeometry(r.left, r.top, r.width, r.height);
    connect(&button->held(), &HeldPress::mouseDown, this,
            [this, n](Qt::MouseButton mouse) { emit setButtonDown(n, mouse); });
    connect(&button->held(), &HeldPress::mouseUp, this,
            [this, n](Qt::MouseButton mouse) { emit setButtonUp(n, mouse); });
    buttons_.push_back(button);
  }
  auto* caption = new QLabel(Text(setCaption), this);
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
  // Only what the names cover, before and after, is drawn again, not the buttons around them.
  QRegion changed = shownNames_ != nullptr ? shownNames_->region : QRegion();
  if (map != shownMap_) {
    // Only the shown map's layouts are kept: those of every set of every map visited would add
    // up to megabytes held for good.
    drawn_.clear();
    shownNames_ = nullptr;
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
  }
  namesDirty_ = true;
  if (!isVisible()) return;
  layOutNames();
  if (shownNames_ != nullptr) changed += shownNames_->region;
  changed += setLabel_->geometry();
  update(changed);
}

void DrumPage::setKeyToolTips(bool shown) {
  toolTips_ = shown;
  if (!shown || watchingKeys_) return;
  for (KeyShape* key : keys_) key->installEventFilter(this);
  watchingKeys_ = true;
}

QString DrumPage::keyToolTip(int n) const {
  if (!toolTips_ || shownSet_ == nullptr) return {};
  const int note = KeyOf(n).note;
  const std::string_view name = DrumKeyName(shownSet_->map, shownSet_->program, note);
  if (name.empty()) return {};
  return KeyNoteText(note) + QStringLiteral(" ") + Text(name);
}

// The keys' tooltips are worked out when asked for, so choosing a set writes none of them.
bool DrumPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ToolTip) return false;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] != watched) continue;
    const QString tip = keyToolTip(static_cast<int>(i) + 1);
    if (tip.isEmpty()) return false;
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, keys_[i]);
    return true;
  }
  return false;
}

const std::vector<PlacedName>& DrumPage::placedNames() {
  if (namesDirty_) layOutNames();
  static const std::vector<PlacedName> kNone;
  return shownNames_ != nullptr ? shownNames_->names : kNone;
}

void DrumPage::layOutNames() {
  namesDirty_ = false;
  shownNames_ = nullptr;
  if (shownSet_ == nullptr) return;
  if (const auto found = drawn_.find(shownSet_); found != drawn_.end()) {
    shownNames_ = &found->second;
    return;
  }
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
  Drawn drawn;
  drawn.names = LayOutDrumNames(keys, rect(), obstacles, fontMetrics());
  for (const PlacedName& name : drawn.names) {
    QStaticText text(name.text);
    text.prepare(QTransform(), font());
    drawn.texts.push_back(text);
    drawn.region += name.box;
  }
  shownNames_ = &(drawn_[shownSet_] = std::move(drawn));
}

void DrumPage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Where the keys stand on the page may have moved: every layout is laid out afresh.
  drawn_.clear();
  namesDirty_ = true;
}

void DrumPage::paintEvent(QPaintEvent*) {
  if (namesDirty_) layOutNames();
  if (shownNames_ == nullptr) return;
  QPainter painter(this);
  for (std::size_t i = 0; i < shownNames_->names.size(); ++i) {
    const PlacedName& name = shownNames_->names[i];
    // A black key's name reads as the key does: light on dark.
    painter.fillRect(name.box, name.black ? Qt::black : Qt::white);
    painter.setPen(name.black ? Qt::white : Qt::black);
    const QSizeF size = shownNames_->texts[i].size();
    painter.drawStaticText(QPointF(name.box.left() + (name.box.width() - size.width()) / 2,
                                   name.box.top() + (name.box.height() - size.height()) / 2),
                           shownNames_->texts[i]);
  }
}

}  // namespace kalvora
