#pragma once

class QWidget;

namespace kalvora {
// SIGTERM, SIGINT and SIGHUP close the window as its close box would, so the device is closed
// and the settings are written when a session ends or a script stops the program.
void CloseOnTerminationSignals(QWidget* window);
}  // namespace kalvora
