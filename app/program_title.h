#pragma once

#include <QString>

namespace kalvora {
// The title of the program's message boxes: the executable's file name without its folder, cut
// at its first ".", its first character as it is and the rest in lower case.
QString ProgramTitle(const QString& executablePath);
}  // namespace kalvora
