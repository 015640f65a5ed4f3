// Where the user wants a file saved: the save dialog (which asks before an existing file is
// replaced), through a function tests replace, so nothing modal is shown under test.
#pragma once

#include <QString>
#include <functional>

namespace kalvora {

// suggested is the folder and name offered; the result is empty when the user cancels.
using SavePathFunction = std::function<QString(const QString& suggested)>;

QString AskSavePath(const QString& suggested);
// Installs a replacement and returns the previous one; an empty function restores the dialog.
SavePathFunction SetSavePathFunction(SavePathFunction f);

}  // namespace kalvora
