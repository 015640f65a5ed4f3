#include "app/program_title.h"

#include <QFileInfo>

namespace kalvora {

QString ProgramTitle(const QString& executablePath) {
  const QString name = QFileInfo(executablePath).fileName();
  const QString stem = name.left(name.indexOf(QLatin1Char('.')));
  if (stem.isEmpty()) return stem;
  return stem.left(1) + stem.mid(1).toLower();
}

}  // namespace kalvora
