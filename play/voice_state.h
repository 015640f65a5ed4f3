// What the next note sounds like. Every value goes into a MIDI data byte (the program less one),
// so each stays within its range.
#pragma once

#include <cstdint>

extern std::int32_t NoteNumber;     // 29..88 from the keyboard; 60 at start
extern std::int32_t ProgramNumber;  // 1..128
extern std::int32_t BankNumber;     // 0..127, sent as bank select MSB
extern std::int32_t MapIndex;     // 0 GM, 1 SC-55, 2 SC-88, 3 SC-88Pro, 4 SC-8850; bank select LSB
extern std::int32_t Velocity;     // 0..127
extern std::int32_t ChorusLevel;  // 0..127
extern std::int32_t ReverbLevel;  // 0..127
extern std::int32_t ModulationLevel;  // 0..127
extern std::int32_t PanPosition;      // 0..127, 64 is the centre

namespace kalvora {
inline constexpr std::int32_t kMapGm = 0;
inline constexpr std::int32_t kMapSc8850 = 4;

// What the voice is at start, before any control is touched; the effect page starts at these.
inline constexpr std::int32_t kStartNote = 60;
inline constexpr std::int32_t kStartProgram = 1;
inline constexpr std::int32_t kStartBank = 0;
inline constexpr std::int32_t kStartVelocity = 100;
inline constexpr std::int32_t kStartChorus = 0;
inline constexpr std::int32_t kStartReverb = 40;
inline constexpr std::int32_t kStartModulation = 0;
inline constexpr std::int32_t kStartPan = 64;
}  // namespace kalvora
