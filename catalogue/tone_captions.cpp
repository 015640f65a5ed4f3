#include "catalogue/tone_captions.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

#include "catalogue/tone_names.h"

namespace kalvora {
namespace {

constexpr std::string_view kNumberSeparator = ": ";
// Room for "127: " and a name well beyond the longest in the list; longer names take the slow path.
constexpr std::size_t kCaptionBufferSize = 64;

// Writes "number: name" to the button. Runs 256 times per key press, so the text is put together
// on the stack rather than in a fresh string.
void WriteCaption(CaptionView& view, int button, int number, std::string_view name) {
  std::array<char, kCaptionBufferSize> buffer;
  char* const end = buffer.data() + buffer.size();
  // number is 0..128 here: three digits always fit.
  char* cursor = std::to_chars(buffer.data(), end, number).ptr;
  const std::size_t room = static_cast<std::size_t>(end - cursor);
  if (kNumberSeparator.size() + name.size() > room) {
    std::string caption(buffer.data(), cursor);
    caption.append(kNumberSeparator).append(name);
    view.setButtonCaption(button, caption);
    return;
  }
  cursor += kNumberSeparator.copy(cursor, kNumberSeparator.size());
  cursor += name.copy(cursor, name.size());
  view.setButtonCaption(
      button, std::string_view(buffer.data(), static_cast<std::size_t>(cursor - buffer.data())));
}

}  // namespace

void WriteToneCaptions(CaptionView& view, std::int32_t program, std::int32_t bank,
                       std::int32_t map) {
  for (int k = 1; k <= kProgramCount; ++k) {
    WriteCaption(view, k, k, ToneName(k, bank, map));
  }
  for (int b = 0; b < kBankCount; ++b) {
    WriteCaption(view, kFirstBankButton + b, b, ToneName(program, b, map));
  }
}

}  // namespace kalvora
