#include "ui/search_page.h"

#include <QAbstractItemDelegate>
#include <QCoreApplication>
#include <QHash>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QStaticText>
#include <QVBoxLayout>
#include <algorithm>

#include "play/voice_state.h"
#include "ui/held_press.h"
#include "ui/pointer_rest.h"

namespace kalvora {

namespace {

// Draws a line as plain text, its shaping kept for the next time the same line is in view: as a
// query grows letter by letter, most lines in view stay the same. The style's own item drawing
// lays each line out twice at every paint, which costs more than the search itself.
class LineDelegate : public QAbstractItemDelegate {
 public:
  using QAbstractItemDelegate::QAbstractItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) painter->fillRect(option.rect, option.palette.highlight());
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QStaticText& line = shaped(index.data().toString(), option.font);
    const int top = option.rect.top() + (option.rect.height() - option.fontMetrics.height()) / 2;
    painter->drawStaticText(option.rect.left() + kIndent, top, line);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.rect.width(), option.fontMetrics.height() + kLineGap};
  }

 private:
  static constexpr int kIndent = 4;
  static constexpr int kLineGap = 2;
  static constexpr qsizetype kKept = 2048;

  const QStaticText& shaped(const QString& text, const QFont& font) const {
    auto found = kept_.find(text);
    if (found == kept_.end()) {
      if (kept_.size() >= kKept) kept_.clear();
      QStaticText line(text);
      line.setTextFormat(Qt::PlainText);
      line.prepare(QTransform(), font);
      found = kept_.insert(text, line);
    }
    return *found;
  }

  mutable QHash<QString, QStaticText> kept_;
};

}  // namespace

SearchResults::SearchResults(LineText lineText, QString nothingFound, QObject* parent)
    : QAbstractListModel(parent),
      lineText_(std::move(lineText)),
      nothingFound_(std::move(nothingFound)) {}

void SearchResults::search(const QString& query, int currentMap) {
  beginResetModel();
  FindNames(query.toUtf8().toStdString(), currentMap, found_);
  nothing_ = found_.empty() && !query.trimmed().isEmpty();
  endResetModel();
}

const FoundName* SearchResults::entry(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= found_.size()) return nullptr;
  return &found_[static_cast<std::size_t>(row)];
}

int SearchResults::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return nothing_ ? 1 : static_cast<int>(found_.size());
}

// Only the lines in view are asked for, so a query that finds thousands writes a screenful.
QVariant SearchResults::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (nothing_) return nothingFound_;
  const FoundName* found = entry(index.row());
  return found != nullptr ? QVariant(lineText_(*found)) : QVariant();
}

Qt::ItemFlags SearchResults::flags(const QModelIndex& index) const {
  if (nothing_) return Qt::ItemIsEnabled;
  return QAbstractListModel::flags(index);
}

SearchPage::SearchPage(SearchResults::LineText lineText, QString nothingFound)
    : results_(new SearchResults(std::move(lineText), std::move(nothingFound), this)) {}

// The field and the list are made when the page is first shown: a start that never searches
// pays nothing for them.
void SearchPage::build() {
  if (field_ != nullptr) return;
  field_ = new QLineEdit(this);
  list_ = new QListView(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(field_);
  layout->addWidget(list_);
  list_->setModel(results_);
  list_->setItemDelegate(new LineDelegate(list_));
  list_->setUniformItemSizes(true);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(field_);
  connect(field_, &QLineEdit::textChanged, this, [this] { refresh(); });
  field_->installEventFilter(this);
  list_->installEventFilter(this);
  // Presses on a line are held presses, as on the buttons; this filter, installed after the
  // held press's own, sees each press first and notes the line under it.
  auto* held = new HeldPress(list_->viewport());
  held->setParent(list_->viewport());  // it goes with the lines it watches
  list_->viewport()->installEventFilter(this);
  connect(held, &HeldPress::mouseDown, this,
          [this](Qt::MouseButton mouse) { emit lineMouseDown(pressedRow_, mouse); });
  connect(held, &HeldPress::mouseUp, this,
          [this](Qt::MouseButton mouse) { emit lineMouseUp(mouse); });
  // The line the pointer rests on, or the keys have chosen, is told, as a button is.
  list_->viewport()->setMouseTracking(true);
  restTimer_.setSingleShot(true);
  restTimer_.setInterval(PointerRest::kRestFor);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) { restOn(index.row()); });
  connect(&restTimer_, &QTimer::timeout, this, [this] {
    if (entry(restingRow_) != nullptr) emit lineRested(restingRow_);
  });
  if (isVisible()) {
    field_->show();
    list_->show();
  }
}

void SearchPage::restOn(int row) {
  restingRow_ = row;
  restTimer_.start();
}

QLineEdit* SearchPage::field() {
  build();
  return field_;
}

QListView* SearchPage::list() {
  build();
  return list_;
}

void SearchPage::refresh() {
  build();
  // Shown again with the same text and map, the list is already what a search would give.
  if (searched_ && field_->text() == searchedText_ && MapIndex == searchedMap_) return;
  searched_ = true;
  searchedText_ = field_->text();
  searchedMap_ = MapIndex;
  results_->search(searchedText_, searchedMap_);
  if (results_->entry(0) != nullptr) list_->setCurrentIndex(results_->index(0));
}

void SearchPage::showEvent(QShowEvent* event) {
  build();
  QWidget::showEvent(event);
  refresh();
}

bool SearchPage::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (list_ == nullptr) return false;
  if (watched == list_->viewport()) {
    if (type == QEvent::Leave) {
      restTimer_.stop();
      restingRow_ = -1;
    }
    if (type == QEvent::MouseMove) {
      const int row = list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row();
      if (row != restingRow_) restOn(row);
    }
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
      restTimer_.stop();  // the press chooses the line itself
      const QModelIndex index =
          list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
      pressedRow_ = entry(index.row()) != nullptr ? index.row() : -1;
      if (pressedRow_ >= 0) list_->setCurrentIndex(index);
    }
    return false;
  }
  if (watched == field_ && type == QEvent::ShortcutOverride) {
    // With nothing selected the field lets Ctrl+C and Ctrl+Insert copy the tone, as everywhere
    // in the window; with a selection it copies that, as a text field does.
    return static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) &&
           !field_->hasSelectedText();
  }
  if (type == QEvent::FocusOut) {
    endKeys();
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  auto& key = *static_cast<QKeyEvent*>(event);
  return watched == field_ ? fieldKey(key) : watched == list_ && listKey(key);
}

// Down goes to the list's first line; Return plays the line chosen in the list.
bool SearchPage::fieldKey(QKeyEvent& key) {
  if (key.type() == QEvent::KeyPress && key.key() == Qt::Key_Down) {
    if (results_->entry(0) == nullptr) return true;
    list_->setCurrentIndex(results_->index(0));
    list_->setFocus(Qt::OtherFocusReason);
    return true;
  }
  if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) return holdKey(key);
  return false;
}

// Up from the first line goes back to the field; anything typed goes there too.
bool SearchPage::listKey(QKeyEvent& key) {
  if (key.key() == Qt::Key_Space || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
    return holdKey(key);
  }
  if (key.type() != QEvent::KeyPress) return false;
  if (key.key() == Qt::Key_Up && list_->currentIndex().row() <= 0) {
    field_->setFocus(Qt::OtherFocusReason);
    return true;
  }
  if (!key.text().isEmpty() && key.text().at(0).isPrint()) {
    field_->setFocus(Qt::OtherFocusReason);
    QCoreApplication::sendEvent(field_, &key);
    return true;
  }
  return false;
}

// A key that plays the current line: its press (not its repeats) plays, its release ends it.
bool SearchPage::holdKey(QKeyEvent& key) {
  if (key.isAutoRepeat()) return true;
  const auto held = std::find(keysHeld_.begin(), keysHeld_.end(), key.key());
  if (key.type() == QEvent::KeyPress) {
    if (held != keysHeld_.end()) return true;
    keysHeld_.push_back(key.key());
    emit lineKeyDown(list_->currentIndex().row(), key.key());
  } else if (held != keysHeld_.end()) {
    keysHeld_.erase(held);
    emit lineKeyUp(key.key());
  }
  return true;
}

void SearchPage::endKeys() {
  const std::vector<int> held = std::move(keysHeld_);
  keysHeld_.clear();
  for (const int key : held) emit lineKeyUp(key);
}

}  // namespace kalvora
