#include "app/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include "midi/host_services.h"

namespace kalvora {

namespace {
// A message box finds its final size only as it is shown; it is centred then.
class CentredMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
};
}  // namespace

void ShowModalMessage(const QString& title, std::string_view text) {
  CentredMessageBox box(QMessageBox::NoIcon, title,
                        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                        QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void InstallModalMessages(const QString& title) {
  SetMessageFunction([title](std::string_view text) { ShowModalMessage(title, text); });
}

}  // namespace kalvora
