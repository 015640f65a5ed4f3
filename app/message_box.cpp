#include "app/message_box.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>

#include "app/window_font.h"
#include "play/host_services.h"
#include "ui/utf8_text.h"

namespace kalvora {

namespace {
// What a title bar holds beside its title: the window's icon, the close button and the
// margins, generously, since the window manager draws them in a size of its own.
constexpr int kTitleBarChrome = 96;

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

// Title bars are usually drawn in a bold face of the desktop's own font.
int MessageBoxMinimumWidth(const QString& title) {
  QFont titleFont = QGuiApplication::font();
  titleFont.setBold(true);
  return QFontMetrics(titleFont).horizontalAdvance(title) + kTitleBarChrome;
}

void ShowModalMessage(const QString& title, std::string_view text) {
  CentredMessageBox box(QMessageBox::NoIcon, title, Text(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setFont(WindowFont());
  // A modal box is dismissed, never minimised or maximised.
  box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowCloseButtonHint);
  // The box sizes itself to its text alone; a row as wide as the title bar needs keeps the title
  // whole.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(
        new QSpacerItem(MessageBoxMinimumWidth(title), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
        grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
}

void InstallModalMessages(const QString& title) {
  SetMessageFunction([title](std::string_view text) { ShowModalMessage(title, text); });
}

}  // namespace kalvora
