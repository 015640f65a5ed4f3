#pragma once

#include <QString>
#include <string_view>

namespace kalvora {
// The program's one kind of message: modal, the text, one OK button, centred on the screen and
// titled with the program's title. Returns when the user dismisses it.
void ShowModalMessage(const QString& title, std::string_view text);
// The least width of a box titled title: enough for the title bar to show the whole title.
int MessageBoxMinimumWidth(const QString& title);
// Routes every message of the program to ShowModalMessage with the given title.
void InstallModalMessages(const QString& title);
}  // namespace kalvora
