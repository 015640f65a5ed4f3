#include "app/open_failure_text.h"

#include <array>

#include "app/form_messages.h"

namespace kalvora {

namespace {
constexpr MMRESULT kLastError = 20;
// Texts of codes 1..13; 14 to 19 and everything above 20 share kCannotOpenDevice.
constexpr std::array<std::string_view, 14> kByCode{
    "",
    "ERROR",
    "BADDEVICEID",
    "NOTENABLED",
    "ALLOCATED",
    "指定されたデバイス ハンドルが無効です。",
    "NODRIVER",
    "メモリの割り当てまたはロックができません。",
    "NOTSUPPORTED",
    "BADERRNUM",
    "INVALFLAG",
    "INVALPARAM",
    "HANDLEBUSY",
    "INVALIDALIAS",
};
}  // namespace

std::string_view OpenFailureText(MMRESULT result) {
  if (result < kByCode.size()) return kByCode[result];
  if (result == kLastError) return "LASTERROR";
  return form::kCannotOpenDevice;
}

}  // namespace kalvora
