// The names the ALSA sequencer's ports are shown by.
#pragma once

#include <string>
#include <vector>

namespace kalvora {

// RtMidi names a sequencer port "client:port C:P", with the numeric address last. Users know the
// port as "client:port", so the address is dropped, except where two ports would then share a
// name (two units of one model): those keep it, so the list never shows two equal entries.
std::vector<std::string> SequencerDisplayNames(const std::vector<std::string>& rtmidiNames);

}  // namespace kalvora
