#include "ui/drum_name_layout.h"

#include <algorithm>

namespace kalvora {

namespace {
constexpr int kMargin = 4;       // from the page's edge next to the keys
constexpr int kColumnGap = 8;    // between two names on one line
constexpr int kObstacleGap = 6;  // from a control
constexpr int kPadding = 2;      // around the text inside its box
constexpr int kWhiteColumnMost = 200;

int BoxWidth(const QFontMetrics& metrics, const QString& text) {
  return metrics.horizontalAdvance(text) + 2 * kPadding;
}

struct Line {
  const NamedKey* key;
  int top;
  int left;  // the leftmost pixel its box may take
};
}  // namespace

std::vector<PlacedName> LayOutDrumNames(std::span<const NamedKey> keys, const QRect& page,
                                        std::span<const QRect> obstacles,
                                        const QFontMetrics& metrics) {
  const int height = metrics.height();
  const int whiteRight = page.right() - kMargin;
  // Each name on its key's line, inside the page, clear of the controls on that line; from the
  // top down, so that where the page's bottom edge squeezes the lowest names together, the lower
  // one moves aside.
  std::vector<Line> lines;
  for (const auto& key : keys) {
    if (key.name.isEmpty()) continue;
    const int top =
        std::clamp(key.key.center().y() - height / 2, page.top(), page.bottom() + 1 - height);
    int left = page.left() + kMargin;
    const QRect row(page.left(), top, page.width(), height);
    for (const QRect& obstacle : obstacles) {
      if (obstacle.intersects(row)) left = std::max(left, obstacle.right() + 1 + kObstacleGap);
    }
    lines.push_back({&key, top, left});
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.top < b.top; });

  // A white key's name takes at most half of its line, so the black keys' names beside it have
  // the other half.
  auto whiteRoom = [&](const Line& line) {
    return std::min(kWhiteColumnMost, (whiteRight - line.left + 1 - kColumnGap) / 2);
  };
  int whiteWidth = 0;
  for (const Line& line : lines) {
    if (!line.key->black)
      whiteWidth =
          std::max(whiteWidth, std::min(BoxWidth(metrics, line.key->name), whiteRoom(line)));
  }
  const int blackRight = whiteRight - whiteWidth - kColumnGap;

  std::vector<PlacedName> placed;
  auto place = [&](const Line& line, int right, int room) {
    // Left of any name already on this line.
    const int wanted = std::min(BoxWidth(metrics, line.key->name), room);
    for (bool moved = true; moved;) {
      moved = false;
      const QRect box(right - wanted + 1, line.top, wanted, height);
      for (const PlacedName& other : placed) {
        if (other.box.intersects(box)) {
          right = other.box.left() - kColumnGap;
          moved = true;
          break;
        }
      }
    }
    const int textRoom = std::min(room, right - line.left + 1) - 2 * kPadding;
    if (textRoom <= 0) return;
    const QString text = metrics.elidedText(line.key->name, Qt::ElideRight, textRoom);
    if (text.isEmpty()) return;
    const int width = BoxWidth(metrics, text);
    placed.push_back(
        {line.key->note, QRect(right - width + 1, line.top, width, height), line.key->black, text});
  };
  for (const Line& line : lines) {
    if (!line.key->black) place(line, whiteRight, whiteRoom(line));
  }
  for (const Line& line : lines) {
    if (!line.key->black) continue;
    // In the black keys' column where it has room there, else next to the white keys' names of
    // its line.
    const bool fits = blackRight - line.left + 1 >= BoxWidth(metrics, line.key->name) ||
                      blackRight - line.left + 1 >= (whiteRight - line.left + 1) / 2;
    place(line, fits ? blackRight : whiteRight, whiteRight - line.left + 1);
  }
  return placed;
}

}  // namespace kalvora
