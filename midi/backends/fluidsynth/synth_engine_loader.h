// Finds and loads the synth engine module.
#pragma once

#include <filesystem>
#include <vector>

#include "midi/backends/fluidsynth/synth_engine.h"

namespace kalvora {

// Where the module is looked for, in order: beside the program as installed, then where the
// build left it (so a program copied elsewhere, as the tests do, still finds it).
std::vector<std::filesystem::path> DefaultSynthEnginePaths();

// The first of paths that is a file, or empty.
std::filesystem::path FindSynthEngine(const std::vector<std::filesystem::path>& paths);

// The engine of the module at path, loaded once and kept for the life of the process; null when
// the file does not load as the module. Prints nothing.
SynthEngine* LoadSynthEngine(const std::filesystem::path& path);

}  // namespace kalvora
