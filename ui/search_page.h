// The search page: a one-line field and, below it, the tones, drum sets and drum keys whose names
// hold what is typed. A line plays while the mouse holds it, or Space or Return holds it; the
// page only says which line a press is for, the window plays it as its own button would.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "catalogue/name_search.h"

class QLineEdit;
class QListView;

namespace kalvora {

// What the list shows: a line for each entry found, or one line that says nothing was found.
class SearchResults : public QAbstractListModel {
  Q_OBJECT
 public:
  using LineText = std::function<QString(const FoundName&)>;
  SearchResults(LineText lineText, QString nothingFound, QObject* parent);

  // The entries found for query (empty for an empty query) with the current map's first.
  void search(const QString& query, int currentMap);
  const FoundName* entry(int row) const;
  const std::vector<FoundName>& found() const { return found_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  LineText lineText_;
  QString nothingFound_;
  std::vector<FoundName> found_;
  bool nothing_ = false;  // a query that found nothing: one line says so
};

class SearchPage : public QWidget {
  Q_OBJECT
 public:
  SearchPage(SearchResults::LineText lineText, QString nothingFound);

  QLineEdit* field();
  QListView* list();
  const SearchResults& results() const { return *results_; }
  // The entry of line row, or null for no entry (the "nothing found" line, outside the list).
  const FoundName* entry(int row) const { return results_->entry(row); }
  // Searches for the text in the field, unless the text and the current map are those of the
  // last search.
  void refresh();

 signals:
  // A mouse button's press on line row (-1 where no line is), and that button's release.
  void lineMouseDown(int row, Qt::MouseButton button);
  void lineMouseUp(Qt::MouseButton button);
  // Space or Return pressed on line row (not its auto-repeat), and the same key's release or,
  // when the focus leaves first, its end.
  void lineKeyDown(int row, int key);
  void lineKeyUp(int key);
  // The pointer has rested on line row, or the keys have chosen it and stayed there, for
  // PointerRest::kRestFor: it may well be played next.
  void lineRested(int row);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void build();
  bool fieldKey(QKeyEvent& key);
  bool listKey(QKeyEvent& key);
  bool holdKey(QKeyEvent& key);
  void endKeys();
  void restOn(int row);

  SearchResults* results_;
  QLineEdit* field_ = nullptr;
  QListView* list_ = nullptr;
  bool searched_ = false;
  QString searchedText_;
  int searchedMap_ = 0;
  int pressedRow_ = -1;
  int restingRow_ = -1;
  QTimer restTimer_;
  std::vector<int> keysHeld_;
};

}  // namespace kalvora
