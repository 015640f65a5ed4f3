// The program's texts are UTF-8 in the source and in the catalogue; Qt shows QStrings.
#pragma once

#include <QString>
#include <string_view>

namespace kalvora {

inline QString Text(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace kalvora
