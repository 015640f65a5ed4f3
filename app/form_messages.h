// What the window's message boxes say about the devices and the settings file, beside the open's
// own failure texts (OpenFailureText).
#pragma once

namespace kalvora::form {

// At start for an open code without a text of its own, and after a switch whose open failed.
inline constexpr char kCannotOpenDevice[] = "ＭＩＤＩデバイスが開けません";
inline constexpr char kNoDevices[] = "ＭＩＤＩ音源がないのでこのソフトは利用できません";
inline constexpr char kSettingsUnreadable[] =
    "設定ファイルを読み込めません。このファイルは上書きしません:\n";
inline constexpr char kSettingsUnwritable[] = "設定ファイルを書き込めません:\n";
inline constexpr char kSettingsMoved[] =
    "\n設定は次のファイルに保存しました。次回からはこちらを読み込みます:\n";

}  // namespace kalvora::form
