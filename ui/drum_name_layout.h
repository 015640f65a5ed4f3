// Where the names of a drum set's keys stand on the drum page: beside the keyboard, each at the
// height of its key, the white keys' names in the column next to the keys and the black keys'
// in the column beyond, so that neighbours never share a line. A name that would run into one of
// the page's controls is shortened to the room it has.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QString>
#include <span>
#include <vector>

namespace kalvora {

struct NamedKey {
  int note = 0;
  QRect key;  // the key, in the page's coordinates
  bool black = false;
  QString name;
};

struct PlacedName {
  int note = 0;
  QRect box;  // where the text stands
  bool black = false;
  QString text;  // the name, shortened when it had no room
};

// page is the page's rectangle, obstacles its controls that names must stay clear of.
std::vector<PlacedName> LayOutDrumNames(std::span<const NamedKey> keys, const QRect& page,
                                        std::span<const QRect> obstacles,
                                        const QFontMetrics& metrics);

}  // namespace kalvora
