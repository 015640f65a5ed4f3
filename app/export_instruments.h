// `--export-instruments DIR`: the five maps as instrument files for sequencers, written without a
// window, a display or a sound server.
#pragma once

#include <filesystem>
#include <string>

namespace kalvora {

// Writes one MIDNAM document per map (kalvora-GM.midnam .. kalvora-SC-8850.midnam) and kalvora.ins
// with all five into folder, made when missing. Each file is written whole or not at all (a
// temporary file, then a rename). Returns what went wrong, in one line; empty when all is written.
// The tone names must have been filled.
std::string ExportInstruments(const std::filesystem::path& folder);

}  // namespace kalvora
