// The options that do their work and end the program before any window, display or device is
// made: --help, and --export-instruments DIR. Anything else is left to the window (Qt's own
// options among it).
#pragma once

#include <optional>
#include <ostream>

namespace kalvora {

// The exit status when argv asks for one of these options, after doing it; nothing otherwise.
std::optional<int> RunCommandLineOption(int argc, const char* const argv[], std::ostream& out,
                                        std::ostream& err);

}  // namespace kalvora
