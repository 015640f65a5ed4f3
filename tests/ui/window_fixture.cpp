#include "window_fixture.h"

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QToolTip>

#include "midi/midi_bytes.h"

namespace kalvora::test {

WindowFixture::WindowFixture(std::vector<std::string> devices, std::vector<OpenStatus> opens,
                             const QByteArray& settingsText, bool runFormCreate,
                             TForm1::ControlsBuilt built)
    : session_(std::make_unique<RecordingSession>(std::move(devices), std::move(opens))) {
  if (!settingsText.isNull()) {
    QFile file(settingsPath());
    if (file.open(QIODevice::WriteOnly)) file.write(settingsText);
  }
  form_ = std::make_unique<TForm1>(built);
  form_->setExecutablePath(executablePath().toStdString());
  form_->setSettingsFallbackFolder((folder_ / "config").string());
  if (runFormCreate) form_->FormCreate();
}

WindowFixture::~WindowFixture() {
  form_.reset();
  session_.reset();
}

QString WindowFixture::executablePath() const {
  return QString::fromStdString((folder_ / "kalvora").string());
}
QString WindowFixture::settingsPath() const {
  return QString::fromStdString((folder_ / "kalvora.ini").string());
}

QByteArray WindowFixture::settingsFileBytes() const {
  QFile file(settingsPath());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WindowFixture::show() {
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void WindowFixture::showActive() {
  show();
  form_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form_.get()));
}

QPoint WindowFixture::pixelOf(const QWidget* w) const { return pixelOf(w, w->rect().center()); }

QPoint WindowFixture::pixelOf(const QWidget* w, QPoint offset) const {
  return w->mapTo(form_.get(), offset);
}

void WindowFixture::press(QPoint pixel, Qt::MouseButton button) {
  QTest::mousePress(form_->windowHandle(), button, Qt::NoModifier, pixel);
}

void WindowFixture::release(QPoint pixel, Qt::MouseButton button) {
  QTest::mouseRelease(form_->windowHandle(), button, Qt::NoModifier, pixel);
}

void WindowFixture::click(const QWidget* w, Qt::MouseButton button) {
  press(pixelOf(w), button);
  release(pixelOf(w), button);
}

void WindowFixture::sendKey(QEvent::Type type, Qt::Key key, quint32 scanCode, bool autoRepeat) {
  QKeyEvent event(type, key, Qt::NoModifier, scanCode, 0, 0, QString(), autoRepeat);
  QCoreApplication::sendEvent(form_->windowHandle(), &event);
}

std::vector<std::vector<std::uint8_t>> WindowFixture::shortMessages() const {
  std::vector<std::vector<std::uint8_t>> messages;
  for (const auto& call : session_->log().of(RecordedCall::Kind::kShort))
    messages.push_back(call.bytes);
  return messages;
}

QStringList WindowFixture::noteEvents() const {
  QStringList events;
  for (const auto& m : shortMessages()) {
    if (m[0] == kNoteOn) events << QString("on %1").arg(m[1]);
    if (m[0] == kNoteOff) events << QString("off %1").arg(m[1]);
  }
  return events;
}

QString ToolTipOf(QWidget* control) {
  QToolTip::hideText();
  QHelpEvent rest(QEvent::ToolTip, control->rect().center(),
                  control->mapToGlobal(control->rect().center()));
  QApplication::sendEvent(control, &rest);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

}  // namespace kalvora::test
