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

// Saving the current tone as a MIDI file: the dialog's title, and what a folder that refuses the
// file is told with (the file and the system's reason follow).
inline constexpr char kSaveMidiFileTitle[] = "ＭＩＤＩファイルとして保存";
inline constexpr char kMidiFileUnwritable[] = "ＭＩＤＩファイルを保存できません:\n";

}  // namespace kalvora::form
