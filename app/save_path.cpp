#include "app/save_path.h"

#include <QApplication>
#include <QFileDialog>
#include <utility>

#include "app/form_messages.h"

namespace kalvora {

namespace {
SavePathFunction& Replacement() {
  static SavePathFunction f;
  return f;
}
}  // namespace

QString AskSavePath(const QString& suggested) {
  if (Replacement()) return Replacement()(suggested);
  return QFileDialog::getSaveFileName(QApplication::activeWindow(),
                                      QString::fromUtf8(form::kSaveMidiFileTitle), suggested,
                                      QStringLiteral("Standard MIDI File (*.mid)"));
}

SavePathFunction SetSavePathFunction(SavePathFunction f) {
  return std::exchange(Replacement(), std::move(f));
}

}  // namespace kalvora
