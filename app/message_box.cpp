#include "app/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include "midi/host_services.h"

namespace kalvora {

void ShowModalMessage(const QString& title, std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, title,
                  QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                  QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = box.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    box.move(frame.topLeft());
  }
  box.exec();
}

void InstallModalMessages(const QString& title) {
  SetMessageFunction([title](std::string_view text) { ShowModalMessage(title, text); });
}

}  // namespace kalvora
