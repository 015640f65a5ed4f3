#include "ui/drum_name_layout.h"

#include <algorithm>

namespace kalvora {

namespace {
constexpr int kMargin = 4;        // from the page's edge next to the keys
constexpr int kColumnGap = 8;     // between the two columns
constexpr int kObstacleGap = 6;   // from a control
constexpr int kPadding = 2;       // around the text inside its box
constexpr int kWhiteColumnMost = 200;

int TextWidth(const QFontMetrics& metrics, const QString& text) {
  return metrics.horizontalAdvance(text) + 2 * kPadding;
}
}  // namespace

std::vector<PlacedName> LayOutDrumNames(std::span<const NamedKey> keys, const QRect& page,
                                        std::span<const QRect> obstacles,
                                        const QFontMetrics& metrics) {
  int whiteWidth = 0;
  for (const auto& key : keys) {
    if (!key.black) whiteWidth = std::max(whiteWidth, TextWidth(metrics, key.name));
  }
  whiteWidth = std::min(whiteWidth, kWhiteColumnMost);
  const int whiteRight = page.right() - kMargin;
  const int blackRight = whiteRight - whiteWidth - kColumnGap;
  const int height = metrics.height();

  // From the top down, so that where the page's bottom edge squeezes the lowest names together,
  // the lower one moves aside.
  std::vector<const NamedKey*> order;
  for (const auto& key : keys) {
    if (!key.name.isEmpty()) order.push_back(&key);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const NamedKey* a, const NamedKey* b) { return a->key.top() < b->key.top(); });

  std::vector<PlacedName> placed;
  for (const NamedKey* key : order) {
    // Centred on the key, inside the page.
    const int top = std::clamp(key->key.center().y() - height / 2, page.top(),
                               page.bottom() + 1 - height);
    const QRect row(page.left(), top, page.width(), height);
    // A name the page's bottom edge pushes onto another's line moves left of it.
    int right = key->black ? blackRight : whiteRight;
    const int wanted = std::min(TextWidth(metrics, key->name), kWhiteColumnMost);
    while (true) {
      const QRect box(right - wanted + 1, top, wanted, height);
      const auto clash = std::find_if(placed.begin(), placed.end(), [&](const PlacedName& other) {
        return other.box.intersects(box);
      });
      if (clash == placed.end()) break;
      right = clash->box.left() - kColumnGap;
    }
    int left = key->black || right != whiteRight ? page.left() + kMargin : right - whiteWidth + 1;
    for (const QRect& obstacle : obstacles) {
      if (obstacle.intersects(row)) left = std::max(left, obstacle.right() + 1 + kObstacleGap);
    }
    const int room = right - left + 1 - 2 * kPadding;
    if (room <= 0) continue;
    const QString text = metrics.elidedText(key->name, Qt::ElideRight, room);
    if (text.isEmpty()) continue;
    const int width = TextWidth(metrics, text);
    placed.push_back({QRect(right - width + 1, top, width, height), key->black, text});
  }
  return placed;
}

}  // namespace kalvora
