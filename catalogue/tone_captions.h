// Captions of the program and bank buttons: "k: name" for the 128 programs of the current bank
// (buttons 1..128) and "b: name" for the current program in the 128 banks (buttons 129..256).
#pragma once

#include <cstdint>

#include "catalogue/caption_view.h"

namespace kalvora {
void WriteToneCaptions(CaptionView& view, std::int32_t program, std::int32_t bank,
                       std::int32_t map);
}  // namespace kalvora
