// The one font of the window and of its message boxes.
#pragma once

#include <QFont>

namespace kalvora {
// The proportional Japanese Gothic face at 12 pixels, with its stand-in where it is missing.
QFont WindowFont();
}  // namespace kalvora
