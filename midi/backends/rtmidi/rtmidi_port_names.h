// The names the ALSA sequencer's ports are shown by.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kalvora {

// RtMidi names a sequencer port "client:port C:P", with the numeric address last. Users know the
// port as "client:port", so the address is dropped, except where two ports would then share a
// name (two units of one model): those keep it, so the list never shows two equal entries.
std::vector<std::string> SequencerDisplayNames(const std::vector<std::string>& rtmidiNames);

struct SequencerAddress {
  int client = 0;
  int port = 0;
  bool operator==(const SequencerAddress&) const = default;
};
// The sequencer address at the end of a name of RtMidi's; nullopt without one.
std::optional<SequencerAddress> SequencerAddressOf(const std::string& rtmidiName);

// Where port number `port` of the `listed` names is in the listing `now`: under the same full
// name, address and all; or, when it was listed by its name alone, the one port that now has that
// name (a module plugged in again may come back under a new address). nullopt when it is gone,
// or when its name alone no longer tells which port it is.
std::optional<std::size_t> FindPortAgain(const std::vector<std::string>& listed, std::size_t port,
                                         const std::vector<std::string>& now);

}  // namespace kalvora
