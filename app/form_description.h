// The window as described: where its labels, effect rows, map buttons and frames stand and what
// they say. The window is built from these tables, and its tests read them back.
#pragma once

#include "play/voice_state.h"
#include "ui/control_rect.h"

namespace kalvora::form {

inline constexpr char kCaption[] = "Kalvora";

inline constexpr ControlRect kPageControlRect{8, 8, 673, 577};
inline constexpr char kProgramTab[] = "プログラムナンバー";
inline constexpr char kBankTab[] = "バンクセレクト";
inline constexpr char kEffectTab[] = "エフェクト";
inline constexpr char kDrumTab[] = "ドラムセット";
inline constexpr char kDrumSetCaption[] = "ドラムセット=";
inline constexpr char kSearchTab[] = "音色検索";

// The search page's lines: "ＳＣ－８８５０  プログラム 1  バンク 0  Piano 1  ○".
inline constexpr char kSearchProgram[] = "プログラム";
inline constexpr char kSearchBank[] = "バンク";
inline constexpr char kNothingFound[] = "見つかりません";
// What the built-in synth plays for a tone or a drum set: a preset of its own, or another.
inline constexpr char kSynthHasTone[] = "○";
inline constexpr char kSynthPlaysInstead[] = "→ ";

inline constexpr ControlRect kSwitchButtonRect{24, 592, 97, 17};
inline constexpr char kSwitchCaption[] = "音源の変更";
inline constexpr char kSwitchHint[] = "このボタンはゆっくり押してください";

struct LabelText {
  int n;
  int left;
  int top;
  const char* text;
};

// Window-level labels: the status line, the version line and the octave names of the keyboard.
inline constexpr LabelText kWindowLabels[] = {
    {7, 128, 594, "音源="},
    {8, 160, 594, ""},
    {9, 16, 616, "プログラムナンバー="},
    {10, 128, 616, ""},
    {11, 168, 616, "バンクセレクト="},
    {12, 248, 616, ""},
    {2, 456, 616, "Kalvora Version 3.0"},
    {4, 768, 68, "C6"},
    {3, 768, 180, "C5"},
    {1, 768, 292, "C4"},
    {5, 768, 404, "C3"},
    {6, 768, 516, "C2"},
};
// The labels the program writes: the device in use, and the numbers of the last note, which
// stand on white.
inline constexpr int kDeviceNameLabel = 8;
inline constexpr int kProgramNumberLabel = 10;
inline constexpr int kBankNumberLabel = 12;

// One row of the effect page: its name label, then its value label (the next number), then its
// scroll bar below them.
struct EffectRow {
  int nameLabel;
  const char* name;
  int valueLeft;
  int position;  // the voice state's start value, also the value label's first text
  // The label that shows the scroll bar's position stands right after the name.
  constexpr int valueLabel() const { return nameLabel + 1; }
};

inline constexpr int kEffectLeft = 24;
inline constexpr int kEffectFirstTop = 32;
inline constexpr int kEffectPitch = 56;
inline constexpr int kScrollBarBelowLabel = 24;
inline constexpr ControlRect kScrollBarSize{0, 0, 137, 17};
inline constexpr int kLevelMax = 127;

inline constexpr EffectRow kEffectRows[] = {
    {14, "ベロシティー=", 96, kStartVelocity}, {16, "コーラス=", 80, kStartChorus},
    {18, "リバーブ=", 80, kStartReverb},       {20, "モジュレーション=", 120, kStartModulation},
    {22, "パンポット=", 88, kStartPan},
};

struct RadioText {
  int width;
  const char* caption;
};
inline constexpr int kRadioLeft = 432;
inline constexpr int kRadioFirstTop = 392;
inline constexpr int kRadioPitch = 24;
inline constexpr int kRadioHeight = 17;
inline constexpr RadioText kRadios[] = {
    {153, "ＳＣ－８８５０マップ"},
    {129, "ＳＣ－８８Ｐｒｏマップ"},
    {121, "ＳＣ－８８マップ"},
    {105, "ＳＣ－５５マップ"},
    {81, "ＧＭ音源"},
};
// The map buttons' words for a map and for a module, which the search page's lines leave out.
inline constexpr const char* kMapWords[] = {"マップ", "音源"};
inline constexpr ControlRect kRadioGroupRect{416, 360, 217, 161};
inline constexpr char kRadioGroupTitle[] = "マップ切り替え";

}  // namespace kalvora::form
