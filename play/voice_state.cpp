#include "play/voice_state.h"

// Zero until start-up gives them their start values.
std::int32_t NoteNumber = 0;
std::int32_t ProgramNumber = 0;
std::int32_t BankNumber = 0;
std::int32_t MapIndex = 0;
std::int32_t Velocity = 0;
std::int32_t ChorusLevel = 0;
std::int32_t ReverbLevel = 0;
std::int32_t ModulationLevel = 0;
std::int32_t PanPosition = 0;
