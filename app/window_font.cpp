#include "app/window_font.h"

namespace kalvora {

namespace {
constexpr char kFontFace[] = "ＭＳ Ｐゴシック";
constexpr char kFontStandIn[] = "IPAPGothic";
constexpr int kFontPixels = 12;
}  // namespace

QFont WindowFont() {
  QFont::insertSubstitution(kFontFace, kFontStandIn);
  QFont font(kFontFace);
  font.setPixelSize(kFontPixels);
  font.setStyle(QFont::StyleNormal);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace kalvora
